#include "net/VersionCheck.h"

#include "net/uXMLHTTP.h"

#include <algorithm>

namespace {

bool allDigits(const QString &part)
{
    return !part.isEmpty()
        && std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Decimal digits without leading zeros ("0" for zero).
QString normalised(const QString &digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits.at(first) == u'0')
        ++first;
    return digits.mid(first);
}

// Sum of decimal digit strings, exact at any length.
QString addDecimal(const QString &a, const QString &b)
{
    QString sum;
    int carry = 0;
    for (qsizetype i = a.size() - 1, j = b.size() - 1; i >= 0 || j >= 0 || carry; --i, --j) {
        const int digit
            = (i >= 0 ? a.at(i).digitValue() : 0) + (j >= 0 ? b.at(j).digitValue() : 0) + carry;
        sum.prepend(QChar(u'0' + digit % 10));
        carry = digit / 10;
    }
    return normalised(sum);
}

QString weightedValue(const QString &a, const QString &b, const QString &c)
{
    return addDecimal(addDecimal(a + QStringLiteral("0000000"), b + QStringLiteral("0000")), c);
}

bool greater(const QString &x, const QString &y)
{
    if (x.size() != y.size())
        return x.size() > y.size();
    return x > y;
}

} // namespace

bool IsNewerVersionText(const QString &trimmedText, const AppVersion &running)
{
    const QStringList parts = trimmedText.split(QLatin1Char('.'));
    if (parts.size() != 3 || !std::all_of(parts.cbegin(), parts.cend(), allDigits))
        return false;
    const QString remote = weightedValue(parts.at(0), parts.at(1), parts.at(2));
    const QString own = weightedValue(QString::number(running.major),
        QString::number(running.minor), QString::number(running.revision));
    return greater(remote, own);
}

QString NewerVersionNotice(const QString &versionText)
{
    return QStringLiteral("有最新版本：V") + versionText + QStringLiteral("可以下载升级");
}

VersionCheck::VersionCheck(QString versionFileUrl, AppVersion running, QObject *parent)
    : QObject(parent), m_url(std::move(versionFileUrl)), m_running(running)
{ }

VersionCheck::~VersionCheck() = default;

bool VersionCheck::CheckNewerVersion()
{
    if (m_url.isEmpty())
        return false;
    if (!m_request) {
        m_request = std::make_unique<uXMLHTTP>();
        connect(m_request.get(), &uXMLHTTP::OnDateArrived, this, &VersionCheck::onArrived);
        connect(m_request.get(), &uXMLHTTP::OnDateErr, this, [this] { Q_EMIT failed(); });
    }
    if (!m_request->Open_(QStringLiteral("GET"), m_url))
        return false;
    m_request->Send_();
    return true;
}

void VersionCheck::onArrived()
{
    // A version file usually ends with a line break; it counts as space.
    const QString text = m_request->ResponseText().trimmed();
    // Only a short text can be a version; a page sent in its place is not.
    if (!text.isEmpty() && text.size() < 21 && IsNewerVersionText(text, m_running)) {
        Q_EMIT newerVersion(text, NewerVersionNotice(text));
        return;
    }
    Q_EMIT upToDate();
}
