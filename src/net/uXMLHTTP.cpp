#include "uXMLHTTP.h"

#include "common/SafeFiles.h"
#include "platform/curl/CurlRequest.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTickMs = 10;
constexpr int kLastStatus = 600;

QStringList buildDescriptions()
{
    struct Entry
    {
        int code;
        QString text;
    };
    // The texts are kept exactly as users have always seen them, odd
    // characters included.
    const Entry entries[] = {
        { 100, u"客户必须继续发出请求"_s },
        { 101, u"客户要求服务器根据请求转换HTTP协议版本"_s },
        { 200, u"交易成功"_s },
        { 201, u"提示知道新文件的URL"_s },
        { 202, u"接受和处理?但处理未完成"_s },
        { 203, u"返回信息不确定或不完整"_s },
        { 204, u"请求收到，但返回信息为空"_s },
        { 205, u"服务器完成了请求，用户代理必须复位当前已经浏览过的文件"_s },
        { 206, u"服务器已经完成了部分用户的GET请求"_s },
        { 300, u"请求的资源可在多处得到"_s },
        { 301, u"删除请求数据"_s },
        { 302, u"在其他地址发现了请求数据"_s },
        { 303, u"建议客户访问其他URL或访问方式"_s },
        { 304, u"客户端已经执行了GET，但文件未变化"_s },
        { 305, u"请求的资源必须从服务器指定的地址得到"_s },
        { 306, u"前一版本HTTP中使用的代码，现行版本中不再使用"_s },
        { 307, u"申明请求的资源临时性删除"_s },
        { 400, u"错误请求，如语法错误"_s },
        { 401, u"请求授权失败"_s },
        { 402, u"保留有效ChargeTo头响应"_s },
        { 403, u"请求不允许"_s },
        { 404, u"没有发现文件?查询或URl"_s },
        { 405, u"用户在Request -Line字段定义的方法不允许"_s },
        { 406, u"根据用户发送的Accept拖，请求资源不可访问"_s },
        { 407, u"类似401，用户必须首先在代理服务器上得到授权"_s },
        { 408, u"客户端没有在用户指定的饿时间内完成请求"_s },
        { 409, u"对当前资源状态，请求不能完成"_s },
        { 410, u"服务器上不再有此资源且无进一步的参考地址"_s },
        { 411, u"服务器拒绝用户定义的Content -Length属性请求"_s },
        { 412, u"一个或多个请求头字段在当前请求中错误"_s },
        { 413, u"请求的资源大于服务器允许的大小"_s },
        { 414, u"请求的资源URL长于服务器允许的长度"_s },
        { 415, u"请求资源不支持请求项目格式"_s },
        { 416,
            u"请求中包含Range请求头字段，在当前请求资源范围内没有range指示值，请求也不包含If-Range请求头字段"_s },
        { 417,
            u"服务器不满足请求Expect头字段指定的期望值，如果是代理服务器，可能是下一级服务器不能满足请求"_s },
        { 500, u"服务器产生内部错误"_s },
        { 501, u"服务器不支持请求的函数"_s },
        { 502, u"服务器暂时不可用，有时是为了防止发生系统过载"_s },
        { 503, u"服务器过载或暂停维修"_s },
        { 504, u"关口过载，服务器使用另一个关口或服务来响应用户，等待时间设定值较长"_s },
        { 505, u"服务器不支持或拒绝支请求头中指定的HTTP版本"_s },
    };
    QStringList table(kLastStatus + 1);
    for (const Entry &entry : entries)
        table[entry.code] = entry.text;
    return table;
}

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar ch : text) {
        if (ch.unicode() > 0x7f || !isTokenChar(char(ch.unicode())))
            return false;
    }
    return true;
}

// Header bytes are usually ASCII; UTF-8 where a server sends it, else Latin-1.
QString headerString(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QByteArray charsetOf(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype eq = part.indexOf('=');
        if (eq < 0 || part.first(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

uXMLHTTP::uXMLHTTP(QObject *parent) : QObject(parent), m_tmrReader(new QTimer(this))
{
    m_tmrReader->setObjectName(u"tmrReader"_s);
    m_tmrReader->setInterval(kTickMs);
    connect(m_tmrReader, &QTimer::timeout, this, &uXMLHTTP::onTick);
}

uXMLHTTP::~uXMLHTTP()
{
    m_tmrReader->stop();
    if (m_request)
        m_request->cancel();
}

const QStringList &uXMLHTTP::HttpStatusDescriptions()
{
    static const QStringList table = buildDescriptions();
    return table;
}

bool uXMLHTTP::Open_(
    const QString &method, const QString &url, const QString &savePath, QString *error)
{
    m_done = false;
    // A new request starts over, whether or not it can be opened.
    if (m_request)
        m_request->cancel();
    m_readyState = 0;
    m_sent = false;
    m_requestHeaders.clear();
    resetResponse();

    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // Checked before upper-casing: some non-ASCII letters upper-case to ASCII.
    if (!isToken(method.trimmed()))
        return fail(u"无效的请求方法：%1"_s.arg(method));
    const QString upper = method.trimmed().toUpper();
    // Requests that would turn the connection into something else.
    if (upper == "CONNECT"_L1 || upper == "TRACE"_L1 || upper == "TRACK"_L1)
        return fail(u"不允许的请求方法：%1"_s.arg(upper));
    const QString address = url.trimmed();
    const QUrl parsed(address, QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (address.isEmpty() || !parsed.isValid() || parsed.host().isEmpty()
        || (scheme != "http"_L1 && scheme != "https"_L1))
        return fail(u"无效的URL：%1"_s.arg(url));

    m_method = upper.toLatin1();
    m_url = address;
    m_readyState = 1;
    m_pollingAllowed = true;
    m_savePath = savePath;
    if (error)
        error->clear();
    return true;
}

void uXMLHTTP::SetRequestHeader(const QString &name, const QString &value)
{
    if (m_readyState != 1 || m_sent)
        return;
    const QString trimmedName = name.trimmed();
    if (!isToken(trimmedName) || value.contains(u'\r') || value.contains(u'\n')
        || value.contains(QChar(0)))
        return;
    const QByteArray key = trimmedName.toLatin1();
    const QByteArray bytes = value.trimmed().toUtf8();
    for (auto &[existing, existingValue] : m_requestHeaders) {
        if (existing.compare(key, Qt::CaseInsensitive) == 0) {
            existingValue += ", " + bytes;
            return;
        }
    }
    m_requestHeaders.append({ key, bytes });
}

void uXMLHTTP::Send_(const QString &body)
{
    Send_(body.toUtf8());
}

void uXMLHTTP::Send_(const QByteArray &body)
{
    if (m_readyState == 1 && !m_sent) {
        if (!m_request) {
            m_request = std::make_unique<CurlRequest>();
            // The object adds no request headers of its own.
            m_request->setNoCache(false);
            connect(m_request.get(), &CurlRequest::headersReceived, this, &uXMLHTTP::onHeaders);
            connect(m_request.get(), &CurlRequest::dataReceived, this, &uXMLHTTP::onData);
            connect(m_request.get(), &CurlRequest::finished, this,
                [this](int curlCode, const QString &) { onFinished(curlCode); });
        }
        QList<QByteArray> lines;
        for (const auto &[name, value] : std::as_const(m_requestHeaders)) {
            // libcurl drops a header given as "Name:"; "Name;" sends it empty.
            lines.append(
                value.isEmpty() ? QByteArray(name + ';') : QByteArray(name + ": " + value));
        }
        m_request->setUrl(m_url);
        m_request->setMethod(m_method);
        m_request->setBody(m_method == "GET" || m_method == "HEAD" ? QByteArray() : body);
        m_request->setHeaderLines(lines);
        m_sent = true;
        m_request->start();
    }
    // Nothing to poll without a request under way (a failed Open_ leaves the
    // object unsent): a timer would tick for ever.
    if (m_pollingAllowed && m_sent)
        m_tmrReader->start();
    else
        m_tmrReader->stop();
}

void uXMLHTTP::Abort_()
{
    m_tmrReader->stop();
    if (m_request)
        m_request->cancel();
    m_readyState = 0;
    m_sent = false;
    resetResponse();
}

int uXMLHTTP::Status() const
{
    if (m_readyState < 2 || m_networkError || !m_request || !m_request->headersComplete())
        return 0;
    return m_request->responseCode();
}

QString uXMLHTTP::StatusText() const
{
    if (Status() == 0)
        return {};
    return headerString(m_request->reasonPhrase());
}

QString uXMLHTTP::GetResponseHeader(const QString &name) const
{
    if (Status() == 0)
        return {};
    const QList<QByteArray> values = m_request->headerValues(name.trimmed().toUtf8());
    return headerString(values.join(", "));
}

QString uXMLHTTP::GetAllResponseHeaders() const
{
    if (Status() == 0)
        return {};
    QByteArray text;
    const CurlRequest::HeaderList headers = m_request->headers();
    for (const auto &[name, value] : headers)
        text += name + ": " + value + "\r\n";
    return headerString(text);
}

QByteArray uXMLHTTP::ResponseBody() const
{
    return m_body;
}

QString uXMLHTTP::ResponseText() const
{
    if (m_body.isEmpty())
        return {};
    // A byte-order mark says more than any header.
    if (const std::optional<QStringConverter::Encoding> bom
        = QStringConverter::encodingForData(m_body)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(m_body);
    }
    const QByteArray charset
        = charsetOf(m_request ? m_request->header("Content-Type") : QByteArray());
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(m_body);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    return utf8.decode(m_body);
}

void uXMLHTTP::resetResponse()
{
    m_body.clear();
    m_networkError = false;
}

void uXMLHTTP::onHeaders()
{
    m_readyState = 2;
}

void uXMLHTTP::onData(const QByteArray &data)
{
    m_readyState = 3;
    m_body += data;
}

void uXMLHTTP::onFinished(int curlCode)
{
    m_readyState = 4;
    if (curlCode != 0) {
        // As a network error: no status, headers or body survive.
        m_body.clear();
        m_networkError = true;
    }
}

void uXMLHTTP::onTick()
{
    QPointer<uXMLHTTP> self(this);
    Q_EMIT OnReadyStateChange();
    // The handler may have deleted, aborted or reopened this object.
    if (!self || ReadyState() != 4)
        return;
    m_tmrReader->stop();
    m_done = true;
    const int status = Status();
    if (status == 200) {
        saveBody();
        Q_EMIT OnDateArrived();
    } else if (status >= 0 && status <= kLastStatus) {
        Q_EMIT OnDateErr(HttpStatusDescriptions().at(status));
    }
}

void uXMLHTTP::saveBody() const
{
    if (m_savePath.isEmpty() || m_body.isEmpty())
        return;
    // Written beside the target and moved into place, so a failure never
    // leaves a half file where the old one was. Failures are ignored.
    BodyFile body;
    if (body.open(m_savePath) && body.write(m_body))
        body.place(m_savePath, BodyFile::Mode::Replace);
}
