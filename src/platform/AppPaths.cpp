#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString AppPaths::saveListPath() const
{
    return programFolder() + QStringLiteral("/SaveList.dat");
}

QString AppPaths::dataFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString SystemAppPaths::chooseProgramFolder(
    const QString &executableFolder, const QString &dataFolder)
{
    if (!executableFolder.isEmpty()) {
        const QFileInfo info(QDir::cleanPath(executableFolder));
        if (info.isDir() && info.isWritable() && info.fileName() != QStringLiteral("bin"))
            return QDir::cleanPath(executableFolder);
    }
    return QDir::cleanPath(dataFolder);
}

QString SystemAppPaths::programFolder() const
{
    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString folder = chooseProgramFolder(exeFolder, data);
    if (folder == QDir::cleanPath(data))
        QDir().mkpath(data);
    return folder;
}
