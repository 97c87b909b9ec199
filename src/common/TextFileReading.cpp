#include "common/TextFileReading.h"

#include <QFile>
#include <QStringDecoder>

QString DecodeFileText(const QByteArray &bytes)
{
    if (const std::optional<QStringConverter::Encoding> marked
        = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decode(*marked);
        return decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder system(QStringConverter::System);
    return system(bytes);
}

bool ReadTextFile(const QString &path, QString *text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *text = DecodeFileText(bytes);
    return true;
}
