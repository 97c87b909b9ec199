#include "CurlRequest.h"

#include "common/DownloadPart.h"
#include "platform/CookieJar.h"

#include <QCoreApplication>

#include <cstring>

// What libcurl's callbacks point at. It outlives the request when the request
// is cancelled or deleted while libcurl is still on the stack: `owner` is then
// null and the callbacks stop the transfer.
struct CurlRequest::Easy
{
    CURL *handle = nullptr;
    CurlRequest *owner = nullptr;
    curl_slist *headers = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Easy() { curl_slist_free_all(headers); }
};

namespace {

bool startsWithCaseless(const QByteArray &line, const QByteArray &prefix)
{
    return line.size() >= prefix.size()
        && line.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

bool hasHeaderLine(const QList<QByteArray> &lines, const QByteArray &name)
{
    const QByteArray prefix = name + ':';
    return std::any_of(lines.cbegin(), lines.cend(),
        [&prefix](const QByteArray &l) { return startsWithCaseless(l, prefix); });
}

// The number after the first space of "HTTP/1.1 200 OK", 0 when there is none.
int statusCodeOf(const QByteArray &statusLine)
{
    const qsizetype first = statusLine.indexOf(' ');
    if (first < 0)
        return 0;
    const qsizetype second = statusLine.indexOf(' ', first + 1);
    return QByteArrayView(statusLine)
        .sliced(first + 1, (second < 0 ? statusLine.size() : second) - first - 1)
        .toInt();
}

QByteArray urlBytes(const QString &text)
{
    // QUrl percent-encodes spaces and non-ASCII letters the way a browser would.
    const QUrl url(text.trimmed());
    if (url.isValid() && !url.scheme().isEmpty())
        return url.toEncoded();
    return text.trimmed().toUtf8();
}

QByteArray defaultUserAgent()
{
    const QByteArray version = QCoreApplication::applicationVersion().toLatin1();
    QByteArray agent = "Mozilla/5.0 (X11; Linux x86_64) Quillmoor";
    if (!version.isEmpty())
        agent += '/' + version;
    return agent;
}

} // namespace

CurlRequest::CurlRequest(QObject *parent) : QObject(parent), m_jar(CookieJar::shared())
{
    m_userAgent = defaultUserAgent();
}

CurlRequest::~CurlRequest()
{
    releaseEasy();
}

void CurlRequest::setHeaderText(const QString &text)
{
    m_headerLines.clear();
    const QList<QByteArray> lines = text.toUtf8().split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (!line.isEmpty())
            m_headerLines.append(line);
    }
}

void CurlRequest::setCookieJar(CookieJar *jar)
{
    m_jar = jar;
}

CookieJar *CurlRequest::cookieJar() const
{
    return m_jar;
}

void CurlRequest::start()
{
    cancel();
    m_driver = &CurlDriver::instance();
    m_running = true;
    m_stage = Stage::Idle;
    m_hopUrl = QUrl::fromEncoded(urlBytes(m_url));
    m_hopMethod = m_method.isEmpty() ? QByteArrayLiteral("GET") : m_method;
    m_hopBody = m_body;
    m_redirects = 0;
    m_tooManyRedirects = false;
    m_headersComplete = false;
    m_code = 0;
    m_statusLine.clear();
    m_lines.clear();
    m_headers.clear();
    m_contentLength = -1;
    m_bytesReceived = 0;
    m_excess = false;
    m_error = CURLE_OK;
    m_errorString.clear();
    startHop();
}

void CurlRequest::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    m_stage = Stage::Idle;
    // The handle goes with the transfer; the next start() takes a fresh one.
    releaseEasy();
}

void CurlRequest::releaseEasy()
{
    Easy *easy = m_easy;
    m_easy = nullptr;
    if (!easy)
        return;
    easy->owner = nullptr;
    if (m_driver) {
        m_driver->discard(easy->handle, [easy] { delete easy; });
    } else {
        curl_easy_cleanup(easy->handle);
        delete easy;
    }
}

void CurlRequest::resetHop()
{
    m_hopStarted = false;
    m_hopIsRedirect = false;
    m_hopCode = 0;
    m_hopLines.clear();
    m_hopHeaders.clear();
}

void CurlRequest::startHop()
{
    resetHop();
    // Every hop gets a handle of its own. libcurl 7.88 can free a header it
    // still points at when a reset handle goes on after a hostile response
    // (a folded first header line); a new handle carries nothing over, and
    // connections are still reused through the shared multi handle.
    releaseEasy();
    m_easy = new Easy;
    m_easy->handle = curl_easy_init();
    m_easy->owner = this;
    CURL *h = m_easy->handle;
    m_easy->errorBuffer[0] = '\0';

    const QByteArray url = m_hopUrl.toEncoded();
    curl_easy_setopt(h, CURLOPT_URL, url.constData()); // libcurl copies strings
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Bigger reads mean fewer wake-ups and callbacks on fast links.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    // Status lines keep their reason phrase ("200 OK"), which callers read.
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(m_connectTimeout));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_PROXY, m_proxy.trimmed().toUtf8().constData());
    // An empty list sends every host through the proxy, whatever NO_PROXY says.
    curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, m_userAgent.constData());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_easy->errorBuffer);
    // Bodies sent with gzip, deflate or br are handed out decoded. Nothing is
    // asked for (the header line is left out below unless the caller sets
    // one); this only turns the decoding on.
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");

    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlRequest::headerCallback);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, m_easy);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlRequest::writeCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, m_easy);
    curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &CurlRequest::socketOptionCallback);
    curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, m_easy);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &CurlRequest::prereqCallback);
    // libcurl tells of bytes beyond the announced length only in its info
    // texts; the debug hook catches that one remark and prints nothing.
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &CurlRequest::debugCallback);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, m_easy);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, m_easy);

    if (m_hopMethod == "GET" && m_hopBody.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        // CURLOPT_RANGE, not CURLOPT_RESUME_FROM: a server that ignores the
        // range and answers 200 is then no error.
        if (!m_range.isEmpty())
            curl_easy_setopt(h, CURLOPT_RANGE, m_range.constData());
    } else if (m_hopMethod == "HEAD") {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else {
        if (m_hopMethod == "POST")
            curl_easy_setopt(h, CURLOPT_POST, 1L);
        else
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, m_hopMethod.constData());
        if (!m_hopBody.isEmpty() || m_hopMethod == "POST") {
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_hopBody.size()));
            curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, m_hopBody.constData());
        }
    }

    QList<QByteArray> lines = m_headerLines;
    if (m_jar && !hasHeaderLine(lines, "Cookie")) {
        const QByteArray cookies = m_jar->cookieHeaderFor(m_hopUrl);
        if (!cookies.isEmpty())
            lines.append("Cookie: " + cookies);
    }
    // Always the server's own answer, never a copy kept on the way.
    if (m_noCache && !hasHeaderLine(lines, "Cache-Control"))
        lines.append("Cache-Control: no-cache");
    if (m_noCache && !hasHeaderLine(lines, "Pragma"))
        lines.append("Pragma: no-cache");
    // No 100-continue round trip before a body.
    if (!hasHeaderLine(lines, "Expect"))
        lines.append("Expect:");
    if (!hasHeaderLine(lines, "Accept-Encoding"))
        lines.append("Accept-Encoding:");
    curl_slist_free_all(m_easy->headers);
    m_easy->headers = nullptr;
    for (const QByteArray &line : std::as_const(lines))
        m_easy->headers = curl_slist_append(m_easy->headers, line.constData());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, m_easy->headers);

    Easy *easy = m_easy;
    m_driver->start(h, this);
    if (m_redirects == 0)
        enterStage(easy, Stage::Resolving);
}

bool CurlRequest::enterStage(Easy *easy, Stage stage)
{
    if (easy->owner != this)
        return false;
    m_stage = stage;
    Q_EMIT stageChanged(stage);
    // `this` may be gone now; only `easy` is sure to live.
    return easy->owner != nullptr;
}

size_t CurlRequest::headerCallback(char *data, size_t size, size_t count, void *userp)
{
    auto *easy = static_cast<Easy *>(userp);
    const size_t bytes = size * count;
    if (!easy->owner)
        return 0;
    return easy->owner->onHeaderLine(easy, QByteArray(data, qsizetype(bytes))) ? bytes : 0;
}

size_t CurlRequest::writeCallback(char *data, size_t size, size_t count, void *userp)
{
    auto *easy = static_cast<Easy *>(userp);
    const size_t bytes = size * count;
    if (!easy->owner)
        return bytes == 0 ? 1 : 0; // anything but `bytes` stops the transfer
    return easy->owner->onBody(easy, data, bytes) ? bytes : 0;
}

int CurlRequest::socketOptionCallback(void *userp, curl_socket_t, curlsocktype purpose)
{
    auto *easy = static_cast<Easy *>(userp);
    if (!easy->owner)
        return CURL_SOCKOPT_ERROR;
    if (purpose == CURLSOCKTYPE_IPCXN && !easy->owner->enterStage(easy, Stage::Connecting))
        return CURL_SOCKOPT_ERROR;
    return CURL_SOCKOPT_OK;
}

int CurlRequest::debugCallback(CURL *, curl_infotype type, char *data, size_t size, void *userp)
{
    static constexpr char kExcess[] = "Excess found";
    auto *easy = static_cast<Easy *>(userp);
    if (type == CURLINFO_TEXT && easy->owner && size >= sizeof(kExcess) - 1
        && std::memcmp(data, kExcess, sizeof(kExcess) - 1) == 0)
        easy->owner->m_excess = true;
    return 0;
}

int CurlRequest::prereqCallback(void *userp, char *, char *, int, int)
{
    auto *easy = static_cast<Easy *>(userp);
    if (!easy->owner)
        return CURL_PREREQFUNC_ABORT;
    CurlRequest *self = easy->owner;
    if (!self->enterStage(easy, Stage::Connected) || !self->enterStage(easy, Stage::Sending))
        return CURL_PREREQFUNC_ABORT;
    return CURL_PREREQFUNC_OK;
}

bool CurlRequest::onHeaderLine(Easy *easy, QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);

    if (line.startsWith("HTTP/")) {
        // A new response: the first of this hop, or the real one after a 1xx.
        const bool first = !m_hopStarted;
        resetHop();
        m_hopStarted = true;
        m_hopCode = statusCodeOf(line);
        // Room for a usual response's header lines at once.
        m_hopLines.reserve(16);
        m_hopHeaders.reserve(16);
        m_hopLines.append(line);
        if (first && (!enterStage(easy, Stage::Sent) || !enterStage(easy, Stage::Receiving)))
            return false;
        return true;
    }
    if (!m_hopStarted)
        return true;

    if (!line.isEmpty()) {
        if ((line.startsWith(' ') || line.startsWith('\t')) && !m_hopHeaders.isEmpty()) {
            m_hopHeaders.last().second += ' ' + line.trimmed(); // folded line
            m_hopLines.last() += ' ' + line.trimmed();
            return true;
        }
        m_hopLines.append(line);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m_hopHeaders.append({ line.first(colon).trimmed(), line.mid(colon + 1).trimmed() });
        return true;
    }

    // The blank line: this response's headers are complete.
    if (m_hopCode >= 100 && m_hopCode < 200) {
        m_hopStarted = true;
        m_hopLines.clear();
        m_hopHeaders.clear();
        m_hopCode = 0;
        return true;
    }
    if (m_jar) {
        QList<QByteArray> setCookies;
        for (const auto &[name, value] : std::as_const(m_hopHeaders)) {
            if (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
                setCookies.append(value);
        }
        if (!setCookies.isEmpty())
            m_jar->setCookiesFromResponse(m_hopUrl, setCookies);
    }
    bool hasLocation = false;
    for (const auto &header : std::as_const(m_hopHeaders))
        hasLocation = hasLocation || header.first.compare("Location", Qt::CaseInsensitive) == 0;
    const bool redirectStatus = m_hopCode == 301 || m_hopCode == 302 || m_hopCode == 303
        || m_hopCode == 307 || m_hopCode == 308;
    if (m_followRedirects && redirectStatus && hasLocation) {
        m_hopIsRedirect = true;
        m_tooManyRedirects = m_redirects >= kMaxRedirects;
        return true;
    }

    m_headersComplete = true;
    m_code = m_hopCode;
    m_lines = m_hopLines;
    m_statusLine = m_lines.value(0);
    m_headers = m_hopHeaders;
    bool ok = false;
    const qint64 length = header("Content-Length").toLongLong(&ok);
    m_contentLength = ok && length >= 0 ? length : -1;
    // An encoded body's Content-Length counts the encoded bytes, not those
    // handed out: no size is announced for what the caller receives.
    const QByteArray encoding = header("Content-Encoding").trimmed();
    if (!encoding.isEmpty() && encoding.compare("identity", Qt::CaseInsensitive) != 0)
        m_contentLength = -1;
    if (!enterStage(easy, Stage::HeadersReceived))
        return false;
    Q_EMIT headersReceived();
    return easy->owner != nullptr;
}

bool CurlRequest::onBody(Easy *easy, const char *data, size_t size)
{
    if (m_hopIsRedirect || !m_headersComplete)
        return true; // the body of a redirect is not the document
    m_bytesReceived += qint64(size);
    Q_EMIT dataReceived(QByteArray(data, qsizetype(size)));
    if (!easy->owner)
        return false;
    Q_EMIT progress(m_bytesReceived, m_contentLength);
    return easy->owner != nullptr;
}

void CurlRequest::transferDone(CURL *, CURLcode result)
{
    if (!m_running || !m_easy)
        return;
    if (result == CURLE_OK && m_hopIsRedirect) {
        if (m_tooManyRedirects) {
            finish(CURLE_TOO_MANY_REDIRECTS);
            return;
        }
        char *target = nullptr;
        curl_easy_getinfo(m_easy->handle, CURLINFO_REDIRECT_URL, &target);
        QUrl next = target ? QUrl::fromEncoded(QByteArray(target)) : QUrl();
        if (!next.isValid() || next.isEmpty()) {
            finish(CURLE_URL_MALFORMAT);
            return;
        }
        // As browsers do: 303 always, and 301/302 after a POST, turn into GET.
        if (m_hopCode == 303 && m_hopMethod != "HEAD") {
            m_hopMethod = "GET";
            m_hopBody.clear();
        } else if ((m_hopCode == 301 || m_hopCode == 302) && m_hopMethod == "POST") {
            m_hopMethod = "GET";
            m_hopBody.clear();
        }
        // A user and password go to the host they were given for, never to
        // another one.
        if (next.host() != m_hopUrl.host() || next.port() != m_hopUrl.port()
            || next.scheme() != m_hopUrl.scheme())
            next.setUserInfo({});
        m_hopUrl = next;
        ++m_redirects;
        startHop();
        return;
    }
    finish(result);
}

void CurlRequest::finish(CURLcode result)
{
    m_running = false;
    m_error = result;
    if (result == CURLE_OK) {
        m_errorString.clear();
    } else {
        const QByteArray detail = m_easy ? QByteArray(m_easy->errorBuffer) : QByteArray();
        m_errorString = detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(result))
                                         : QString::fromUtf8(detail);
    }
    Easy *easy = m_easy;
    const QString message = m_errorString;
    if (!enterStage(easy, result == CURLE_OK ? Stage::Finished : Stage::Failed))
        return;
    Q_EMIT finished(int(result), message);
}

QByteArray CurlRequest::reasonPhrase() const
{
    // "HTTP/1.1 404 Not Found" -> "Not Found"
    const qsizetype first = m_statusLine.indexOf(' ');
    if (first < 0)
        return {};
    const qsizetype second = m_statusLine.indexOf(' ', first + 1);
    return second < 0 ? QByteArray() : m_statusLine.mid(second + 1).trimmed();
}

QByteArray CurlRequest::headerText() const
{
    return m_lines.join("\r\n");
}

QByteArray CurlRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QList<QByteArray> CurlRequest::headerValues(const QByteArray &name) const
{
    QList<QByteArray> values;
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            values.append(value);
    }
    return values;
}

QString ResponseRefusal(const CurlRequest &request)
{
    const int status = request.responseCode();
    if (status >= 400)
        return QStringLiteral("HTTP ") + QString::number(status);
    const QList<QByteArray> lengths = request.headerValues("Content-Length");
    for (const QByteArray &length : lengths) {
        if (length.trimmed() != lengths.first().trimmed())
            return QStringLiteral("two different Content-Length headers");
    }
    return {};
}

PartAnswer PartAnswerOf(const CurlRequest &request)
{
    PartAnswer facts;
    facts.status = request.responseCode();
    facts.contentRange = request.header("Content-Range");
    facts.contentLength = request.header("Content-Length");
    facts.contentEncoding = request.header("Content-Encoding");
    facts.etag = request.header("ETag");
    facts.lastModified = request.header("Last-Modified");
    return facts;
}

#include "moc_CurlRequest.cpp"
