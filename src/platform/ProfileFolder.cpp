#include "platform/ProfileFolder.h"

#include <QStandardPaths>

namespace ProfileFolder {

QString defaultDataPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/QtWebEngine/Quillmoor");
}

QString cookieDatabase(const QString &dataPath)
{
    return dataPath + QStringLiteral("/Cookies");
}

} // namespace ProfileFolder
