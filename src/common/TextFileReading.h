#pragma once

#include <QByteArray>
#include <QString>

// Text of a file's bytes: UTF-16 or UTF-8 when a byte order mark says so,
// else UTF-8 when the bytes are valid UTF-8, else the system code page.
QString DecodeFileText(const QByteArray &bytes);

// Reads a whole text file and decodes it as DecodeFileText does. False, with
// the system's description in *error, when it cannot be read.
bool ReadTextFile(const QString &path, QString *text, QString *error = nullptr);
