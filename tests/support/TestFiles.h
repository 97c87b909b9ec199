#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Part files left in a folder; a transfer must never leave one behind.
inline QStringList partFiles(const QString &folder)
{
    return QDir(folder).entryList({ QStringLiteral(".qm-*") }, QDir::Files | QDir::Hidden);
}
