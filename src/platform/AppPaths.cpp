#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString AppPaths::saveListPath() const
{
    return programFolder() + QStringLiteral("/SaveList.dat");
}

QString SystemAppPaths::programFolder() const
{
    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QFileInfo info(exeFolder);
    if (!exeFolder.isEmpty() && info.isDir() && info.isWritable())
        return QDir::cleanPath(exeFolder);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return QDir::cleanPath(data);
}
