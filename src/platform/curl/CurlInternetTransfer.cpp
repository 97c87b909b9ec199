#include "CurlInternetTransfer.h"

#include "CurlRequest.h"
#include "common/DownloadPart.h"
#include "platform/CookieJar.h"

#include <QPointer>
#include <QStringDecoder>

namespace {

// Header bytes as text: UTF-8 when they are valid UTF-8, else one byte per
// character, so that no byte is lost.
QString headerBytesToText(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

} // namespace

CurlInternetTransfer::CurlInternetTransfer(CookieJar *jar, QObject *parent)
    : QObject(parent), m_request(new CurlRequest(this))
{
    m_request->setCookieJar(jar ? jar : CookieJar::shared());
    connect(m_request, &CurlRequest::stageChanged, this,
        [this](CurlRequest::Stage stage) { onStage(int(stage)); });
    connect(m_request, &CurlRequest::headersReceived, this, &CurlInternetTransfer::headersReceived);
    connect(m_request, &CurlRequest::dataReceived, this, &CurlInternetTransfer::onData);
    connect(m_request, &CurlRequest::finished, this, &CurlInternetTransfer::onFinished);
}

CurlInternetTransfer::~CurlInternetTransfer() = default;

void CurlInternetTransfer::setProxy(const QString &proxy)
{
    m_proxy = proxy.trimmed();
}

QString CurlInternetTransfer::proxy() const
{
    return m_proxy;
}

void CurlInternetTransfer::execute(const QString &url, const QString &method,
    const QByteArray &body, const QString &headerText, const QByteArray &range)
{
    begin(url, method, body, headerText, false, range);
}

void CurlInternetTransfer::fetchWhole(const QString &url, const QString &headerText)
{
    begin(url, QStringLiteral("GET"), {}, headerText, true);
}

void CurlInternetTransfer::begin(const QString &url, const QString &method, const QByteArray &body,
    const QString &headerText, bool whole, const QByteArray &range)
{
    cancel();
    m_buffer.clear();
    m_readPos = 0;
    m_failed = false;
    m_whole = whole;
    m_lastUrl = url;
    m_code = 0;
    m_text.clear();
    m_request->setUrl(url);
    m_request->setMethod(method.trimmed().toUpper().toLatin1());
    m_request->setBody(body);
    m_request->setHeaderText(headerText);
    m_request->setRange(range);
    m_request->setProxy(m_proxy);
    m_request->start();
}

bool CurlInternetTransfer::stillExecuting() const
{
    return m_request->isRunning();
}

bool CurlInternetTransfer::headersComplete() const
{
    return m_request->headersComplete();
}

QString CurlInternetTransfer::allHeaders() const
{
    return headerBytesToText(m_request->headerText());
}

QString CurlInternetTransfer::header(const QString &name) const
{
    return headerBytesToText(m_request->header(name.toLatin1()));
}

QByteArray CurlInternetTransfer::getChunk(int maxBytes)
{
    const qsizetype available = m_buffer.size() - m_readPos;
    const qsizetype take = qMin<qsizetype>(qMax(maxBytes, 0), available);
    if (take <= 0)
        return {};
    QByteArray chunk = m_buffer.mid(m_readPos, take);
    m_readPos += take;
    // Drop what was read once it is the larger part, so the buffer stays small
    // without moving bytes on every call.
    if (m_readPos == m_buffer.size()) {
        m_buffer.clear();
        m_readPos = 0;
    } else if (m_readPos > 64 * 1024 && m_readPos * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_readPos);
        m_readPos = 0;
    }
    return chunk;
}

qint64 CurlInternetTransfer::bufferedBytes() const
{
    return m_buffer.size() - m_readPos;
}

bool CurlInternetTransfer::atEnd() const
{
    return !m_request->isRunning() && bufferedBytes() == 0;
}

bool CurlInternetTransfer::failed() const
{
    return m_failed;
}

void CurlInternetTransfer::cancel()
{
    m_request->cancel();
}

QString CurlInternetTransfer::lastUrl() const
{
    return m_lastUrl;
}

int CurlInternetTransfer::responseCode() const
{
    if (m_failed)
        return m_code;
    return m_request->responseCode();
}

QString CurlInternetTransfer::responseText() const
{
    if (m_failed)
        return m_text;
    return headerBytesToText(m_request->reasonPhrase());
}

QString CurlInternetTransfer::refusal() const
{
    return ResponseRefusal(*m_request);
}

PartAnswer CurlInternetTransfer::partAnswer() const
{
    return PartAnswerOf(*m_request);
}

QString CurlInternetTransfer::stateText(int state, int responseCode, const QString &responseText)
{
    const QString codeAndText = QString::number(responseCode) + QLatin1Char(':') + responseText;
    switch (state) {
    case 0:
        return QStringLiteral("0 无状态可报告。");
    case 1:
        return QStringLiteral("1 正在查询所指定的主机的 IP 地址...");
    case 2:
        return QStringLiteral("2 已成功地找到所指定的主机的 IP 地址。");
    case 3:
        return QStringLiteral("3 正在与主机连接...");
    case 4:
        return QStringLiteral("4 已与主机连接成功。");
    case 5:
        return QStringLiteral("5 正在向主机发送请求...");
    case 6:
        return QStringLiteral("6 发送请求已成功。");
    case 7:
        return QStringLiteral("7 正在接收主机的响应...");
    case 8:
        return QStringLiteral("8 已成功地接收到主机的响应。");
    case 9:
        return QStringLiteral("9 正在解除与主机的连接...");
    case 10:
        return QStringLiteral("10 已成功地与主机解除了连接。");
    case 11:
        return QStringLiteral("11 与主机通讯时出现了错误:") + codeAndText;
    case 12:
        return QStringLiteral("12 该请求已经完成，并且所有数据均已接收到。");
    default:
        return codeAndText;
    }
}

void CurlInternetTransfer::onStage(int stage)
{
    using Stage = CurlRequest::Stage;
    switch (Stage(stage)) {
    case Stage::Resolving:
        Q_EMIT stateChanged(1);
        break;
    case Stage::Connecting:
        // The address is known once a socket is opened for it.
        Q_EMIT stateChanged(2);
        Q_EMIT stateChanged(3);
        break;
    case Stage::Connected:
        Q_EMIT stateChanged(4);
        break;
    case Stage::Sending:
        Q_EMIT stateChanged(5);
        break;
    case Stage::Sent:
        Q_EMIT stateChanged(6);
        break;
    case Stage::Receiving:
        Q_EMIT stateChanged(7);
        break;
    case Stage::HeadersReceived:
        Q_EMIT stateChanged(8);
        break;
    case Stage::Idle:
    case Stage::Finished: // reported by onFinished, after the last bytes
    case Stage::Failed:
        break;
    }
}

void CurlInternetTransfer::onData(const QByteArray &data)
{
    m_buffer.append(data);
    if (!m_whole)
        Q_EMIT readyRead();
}

void CurlInternetTransfer::onFinished(int curlCode, const QString &message)
{
    m_failed = curlCode != 0;
    if (m_failed) {
        m_code = curlCode;
        m_text = message;
    }
    QPointer<CurlInternetTransfer> self(this);
    Q_EMIT stateChanged(m_failed ? 11 : 12);
    if (!self || stillExecuting())
        return; // a slot started something else
    if (m_whole) {
        QByteArray body = m_failed ? QByteArray() : m_buffer.mid(m_readPos);
        m_buffer.clear();
        m_readPos = 0;
        Q_EMIT wholeBodyReady(body);
        if (!self || stillExecuting())
            return;
    }
    Q_EMIT finished();
}

#include "moc_CurlInternetTransfer.cpp"
