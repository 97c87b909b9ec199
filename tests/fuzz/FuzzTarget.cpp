#include "FuzzTarget.h"

QString FuzzInput::text() const
{
    if (m_bytes.isEmpty())
        return {};
    const QByteArray rest = m_bytes.mid(1);
    if (m_bytes.at(0) & 1) {
        QString text;
        text.reserve(rest.size() / 2);
        for (qsizetype i = 0; i + 1 < rest.size(); i += 2)
            text.append(QChar(char16_t(uchar(rest[i]) | (uchar(rest[i + 1]) << 8))));
        return text;
    }
    return QString::fromUtf8(rest);
}

QStringList FuzzInput::texts(int count) const
{
    QStringList parts;
    for (const QByteArray &piece : m_bytes.split('\x1f'))
        parts.append(QString::fromUtf8(piece));
    while (parts.size() < count)
        parts.append(QString());
    return parts.mid(0, count);
}

void FuzzInput::require(bool condition, const QString &what) const
{
    if (!condition)
        throw FuzzFailure { what };
}

QList<FuzzTarget> &fuzzTargets()
{
    static QList<FuzzTarget> targets;
    return targets;
}

int addFuzzTarget(FuzzTarget target)
{
    fuzzTargets().append(std::move(target));
    return int(fuzzTargets().size());
}
