#pragma once

#include <QString>

// Object names of the program's windows; the is-window-open test compares
// them without regard to case.
namespace WindowName {
inline const QString Cover = QStringLiteral("fCover");
inline const QString WebSearch = QStringLiteral("fWebSearch");
inline const QString FileDownload = QStringLiteral("fFileDownload");
inline const QString Options = QStringLiteral("fOption");
inline const QString SaveFolder = QStringLiteral("fSeleFileSavePath");
inline const QString UrlReplace = QStringLiteral("UrlReplace");
inline const QString About = QStringLiteral("frmAbout");
} // namespace WindowName

// True when a window of this object name is the one asked for.
inline bool SameWindowName(const QString &objectName, const QString &wanted)
{
    return !wanted.isEmpty() && objectName.compare(wanted, Qt::CaseInsensitive) == 0;
}

// The program title that every caption ends with.
inline const QString ProgramTitle = QStringLiteral("Quillmoor");

// A window's caption: its own caption, "-", and the program title.
inline QString WindowCaption(const QString &own)
{
    return own + QLatin1Char('-') + ProgramTitle;
}
