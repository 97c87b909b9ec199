#include "download/RowToolTip.h"

#include "common/SafeFiles.h"

#include <QRegularExpression>
#include <QSet>

#include <cerrno>

namespace {

QString withDetail(const QString &lead, const QString &detail)
{
    return lead + u'（' + detail + u'）';
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

QString httpLead(int status)
{
    if (status == 401 || status == 403)
        return QStringLiteral("服务器拒绝访问，可能需要先登录");
    if (status == 404 || status == 410)
        return QStringLiteral("服务器上没有这个文件");
    if (status == 407)
        return QStringLiteral("代理服务器要求身份验证");
    if (status == 429)
        return QStringLiteral("服务器认为请求太频繁，暂时拒绝");
    if (status == 503)
        return QStringLiteral("服务器暂时无法提供服务");
    if (status >= 500)
        return QStringLiteral("服务器出错");
    return QStringLiteral("服务器拒绝了请求");
}

// The texts the file system's errors are reported with (FileErrorText).
bool isFileSystemError(const QString &reason)
{
    static const QSet<QString> texts = [] {
        QSet<QString> all;
        for (int err = 1; err < 134; ++err)
            all.insert(FileErrorText(err));
        return all;
    }();
    return texts.contains(reason);
}

QString fileSystemLead(const QString &reason)
{
    if (reason == FileErrorText(EEXIST))
        return QStringLiteral("同名文件已存在，无法替换");
    if (reason == FileErrorText(ENOSPC) || reason == FileErrorText(EDQUOT))
        return QStringLiteral("磁盘空间不足，无法保存文件");
    if (reason == FileErrorText(EACCES) || reason == FileErrorText(EPERM)
        || reason == FileErrorText(EROFS))
        return QStringLiteral("没有权限写入文件");
    return QStringLiteral("无法保存文件");
}

// libcurl's error texts, by what they are about.
QString transferLead(const QString &reason)
{
    const auto has = [&reason](const char16_t *word) {
        return reason.contains(QStringView(word), Qt::CaseInsensitive);
    };
    if (has(u"proxy"))
        return QStringLiteral("无法通过代理服务器连接");
    if (has(u"resolve"))
        return QStringLiteral("找不到服务器（域名无法解析）");
    if (has(u"timed out") || has(u"timeout"))
        return QStringLiteral("连接服务器超时");
    if (has(u"connect"))
        return QStringLiteral("无法连接到服务器");
    if (has(u"ssl") || has(u"tls") || has(u"certificate"))
        return QStringLiteral("安全连接（TLS）失败");
    if (has(u"redirect"))
        return QStringLiteral("服务器的转向次数太多");
    if (has(u"empty reply") || has(u"recv failure") || has(u"send failure") || has(u"partial file")
        || has(u"connection reset") || has(u"transfer closed"))
        return QStringLiteral("连接中断");
    return QStringLiteral("网络传输出错");
}

} // namespace

QString ExplainFailureReason(const QString &reason)
{
    if (reason.isEmpty())
        return StatusText::DownloadFailed;
    if (hasChinese(reason))
        return reason;

    static const QRegularExpression http(QStringLiteral("^HTTP (\\d{3})$"));
    const QRegularExpressionMatch status = http.match(reason);
    if (status.hasMatch())
        return withDetail(httpLead(status.captured(1).toInt()), reason);

    // The transfers' own reasons.
    struct Known
    {
        const char16_t *start;
        const char *lead;
    };
    static const Known known[] = {
        { u"no answer in", "服务器没有回应" },
        { u"no data for", "长时间没有收到数据，下载中断" },
        { u"no size in", "服务器长时间没有给出文件大小" },
        { u"empty body", "服务器返回的文件是空的" },
        { u"received ", "文件没有下载完整" },
        { u"more bytes than the announced", "收到的数据比服务器声明的文件大小还多" },
        { u"two different Content-Length", "服务器给出了两个不同的文件大小" },
        { u"stopped", "下载被停止" },
        { u"not saved", "文件没有保存下来" },
        { u"no folder given", "没有指定保存文件夹" },
    };
    for (const Known &entry : known) {
        if (reason.startsWith(QStringView(entry.start)))
            return withDetail(QString::fromUtf8(entry.lead), reason);
    }
    if (isFileSystemError(reason))
        return withDetail(fileSystemLead(reason), reason);
    return withDetail(transferLead(reason), reason);
}

QString DownloadRowToolTip(const DownloadItem &item)
{
    switch (item.StatusCode) {
    case Status::Failed:
        return ExplainFailureReason(item.FailureReason);
    case Status::Completed:
        if (item.Percent == StatusText::LargeFileSkipped)
            return QStringLiteral("文件超过设置的大小上限，没有下载（大文件，跳过）");
        if (item.Percent == StatusText::ExistsSkipped)
            return QStringLiteral("同名文件已存在，按设置跳过（已存在，跳过）");
        return {};
    case Status::Waiting:
        // A row the server asked to come back later says when it will.
        return item.RetryNote;
    default:
        return {};
    }
}
