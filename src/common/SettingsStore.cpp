#include "common/SettingsStore.h"

#include "common/TrimSpaces.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"));
}

QString path(const QString &section, const QString &key)
{
    return section + u'/' + key;
}

constexpr int MaxHistoryLines = 100;

} // namespace

QString ReadSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    const QVariant value = store().value(path(section, key));
    if (!value.isValid())
        return defaultValue;
    // An unquoted value with commas, as a hand-edited file may hold, comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

QString ReadSetting(const QString &section, const QString &key, int defaultValue)
{
    return ReadSetting(section, key, QString::number(defaultValue));
}

QString ReadSetting(const QString &section, const QString &key, double defaultValue)
{
    return ReadSetting(section, key, QString::number(defaultValue, 'g', 15));
}

void WriteSetting(const QString &section, const QString &key, const QString &value)
{
    store().setValue(path(section, key), value);
}

QString Settings::Key::defaultValue(const AppPaths &paths) const
{
    switch (defaultKind) {
    case DefaultKind::ProgramFolder:
        return paths.programFolder();
    case DefaultKind::HomeSubfolder:
        return QDir::homePath() + u'/' + defaultText;
    case DefaultKind::Text:
        break;
    }
    return defaultText;
}

QString ReadSetting(const Settings::Key &key)
{
    return ReadSetting(key, SystemAppPaths());
}

QString ReadSetting(const Settings::Key &key, const AppPaths &paths)
{
    return ReadSetting(key.section, key.key, key.defaultValue(paths));
}

void WriteSetting(const Settings::Key &key, const QString &value)
{
    WriteSetting(key.section, key.key, value);
}

void LoadComboList(QStringList &list, const QString &path)
{
    QFile file(path);
    // A directory or an unreadable file counts as no history at all.
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;

    list.clear();
    QSet<QString> seen;
    int counted = 0;
    // Returns false once the 100 lines are used up.
    auto take = [&](QStringView line) {
        const QString entry = TrimSpaces(line);
        if (entry.isEmpty())
            return true;
        if (++counted > MaxHistoryLines)
            return false;
        const QString folded = entry.toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            list.append(entry);
        }
        return true;
    };

    // Read in pieces so that a huge file is not taken into memory. A line ends
    // at CR or LF; the empty line between the two of a CR LF is skipped anyway.
    QStringDecoder decode(QStringConverter::System);
    QString pending;
    bool more = true;
    while (more) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty())
            break; // end of file or a read error: keep what was read
        pending += decode(chunk);
        qsizetype start = 0;
        for (qsizetype i = 0; i < pending.size() && more; ++i) {
            const QChar c = pending.at(i);
            if (c == u'\r' || c == u'\n') {
                more = take(QStringView(pending).sliced(start, i - start));
                start = i + 1;
            }
        }
        pending.remove(0, start);
    }
    if (more)
        take(pending);
}

bool SaveComboList(const QStringList &list, const QString &path)
{
    QStringEncoder encode(QStringConverter::System);
    QByteArray bytes;
    if (list.isEmpty())
        bytes = "\r\n";
    for (const QString &entry : list) {
        bytes += encode(entry);
        bytes += "\r\n";
    }
    // Written whole or not at all: a failed write keeps the earlier history.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}
