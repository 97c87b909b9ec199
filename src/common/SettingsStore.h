#pragma once

#include <QString>
#include <QStringList>

class AppPaths;

// The per-user settings: text values addressed by section and key under the
// program title. Reading a missing key gives the caller's default and creates
// nothing; writing creates section and key as needed.
QString ReadSetting(const QString &section, const QString &key, const QString &defaultValue);
QString ReadSetting(const QString &section, const QString &key, int defaultValue);
QString ReadSetting(const QString &section, const QString &key, double defaultValue);
void WriteSetting(const QString &section, const QString &key, const QString &value);

namespace Settings {

// Where a key's default comes from when it is not a fixed text.
enum class DefaultKind {
    Text, // defaultText as it stands
    ProgramFolder, // the folder that holds the program
    HomeSubfolder, // defaultText as a folder in the user's home
};

struct Key
{
    QString section;
    QString key;
    QString defaultText;
    DefaultKind defaultKind = DefaultKind::Text;

    QString defaultValue(const AppPaths &paths) const;
};

// Every key the program reads or writes, with its default.
inline const Key DownloadMethod { QStringLiteral("设置"), QStringLiteral("下载方式"),
    QStringLiteral("2") };
inline const Key ProxyEnabled { QStringLiteral("设置"), QStringLiteral("代理服务器有效"),
    QStringLiteral("0") };
inline const Key ProxyAddress { QStringLiteral("设置"), QStringLiteral("代理服务器网址"),
    QString() };
inline const Key ProxyPort { QStringLiteral("设置"), QStringLiteral("代理服务器端口"), QString() };
inline const Key MaxFileSizeMB { QStringLiteral("设置"), QStringLiteral("文件最大值"),
    QStringLiteral("10") };
inline const Key AskSaveFolderOnExtract { QStringLiteral("设置"),
    QStringLiteral("提取网页信息时提示下载保存路径"), QStringLiteral("1") };
// A fixed folder at the top of the user's own space, as the drive root is on a
// desktop with drive letters.
inline const Key SaveFolder { QStringLiteral("设置"), QStringLiteral("下载文件保存路径"),
    QStringLiteral("12345"), DefaultKind::HomeSubfolder };
inline const Key LastOpenedFolder { QStringLiteral("设置"), QStringLiteral("最后一次打开的目录"),
    QString(), DefaultKind::ProgramFolder };
// 0-based position in the connection-count selector "1".."6": "2" is three.
inline const Key ConnectionCountIndex { QStringLiteral("下载"), QStringLiteral("线程"),
    QStringLiteral("2") };
inline const Key DuplicateFilePolicy { QStringLiteral("专利下载"), QStringLiteral("重复文件名设置"),
    QStringLiteral("重命名") };
inline const Key CopyMoveDestination { QStringLiteral("Form_Copy_Move"),
    QStringLiteral("目的文件夹"), QString(), DefaultKind::ProgramFolder };
inline const Key CopyMoveOption { QStringLiteral("Form_Copy_Move"), QStringLiteral("OpIndex"),
    QStringLiteral("4") };
// The maker's web site: the version file and the program page live under it.
// Empty: no version request, and the maker's menu entries are hidden.
inline const Key SiteAddress { QStringLiteral("设置"), QStringLiteral("软件网址"), QString() };

// Window placement keys; their section is the window's object name.
namespace Placement {
inline const QString DownloadWindowSection = QStringLiteral("fFileDownload");
inline const QString Resolution = QStringLiteral("分辨率");
inline const QString Top = QStringLiteral("上");
inline const QString Left = QStringLiteral("左");
inline const QString Width = QStringLiteral("宽");
inline const QString Height = QStringLiteral("高");
inline const QString DefaultResolution = QStringLiteral("000");
// Twips; a pixel is 15 twips.
inline constexpr int DefaultTop = 100;
inline constexpr int DefaultLeft = 100;
inline constexpr int DefaultWidth = 15000;
inline constexpr int DefaultHeight = 10000;
inline constexpr int MinimumWidth = 4000;
inline constexpr int MinimumHeight = 3000;
// Written as the resolution when the window closes maximised.
inline const QString MaximisedResolution = QStringLiteral("0*0");
} // namespace Placement

} // namespace Settings

// Keyed access with the key's own default; folder defaults come from the
// running program's folder unless paths are given.
QString ReadSetting(const Settings::Key &key);
QString ReadSetting(const Settings::Key &key, const AppPaths &paths);
void WriteSetting(const Settings::Key &key, const QString &value);

// The folder history file (SaveList.dat): one entry a line in the system code
// page. Loading replaces the list by the first 100 non-empty lines, trimmed of
// spaces, without case-insensitive repeats (first spelling wins); a file that
// is missing or cannot be opened leaves the list as it was.
void LoadComboList(QStringList &list, const QString &path);
// Rewrites the file, every entry ended by CR LF; an empty list as one CR LF.
// False when the file could not be written (it is then left as it was).
bool SaveComboList(const QStringList &list, const QString &path);
