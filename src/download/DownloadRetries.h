#pragma once

#include <QByteArray>
#include <QString>

class Clock;
struct DownloadItem;

// The error answer to one try of a row: its status and the headers that say
// when to come back.
struct ErrorAnswer
{
    int httpStatus = 0;
    QByteArray retryAfter; // the Retry-After header, empty when absent
    QByteArray date; // the answer's Date header, empty when absent
};

struct RetryStep
{
    enum Kind {
        NotRetried, // no 429 or 503: the row fails as any error answer does
        Waiting, // the row waits for its next try
        GaveUp // the row failed: too many tries, or too long a wait
    };
    Kind kind = NotRetried;
    // Waiting: what is awaited ("服务器繁忙，5 秒后重试（HTTP 503）");
    // GaveUp: the row's failure reason.
    QString text;
};

// A try of `address` got an error answer. A 429 or 503 is asked again after
// its Retry-After (or 5 s, then 20 s): the row waits (status 1, "等待重新下载")
// until NotBefore. The third such answer of one address, or a wait over
// 300 s, fails the row with the reason (and the time to come back). Any other
// answer leaves the row to the caller, its count of tries forgotten.
//
// The count belongs to the address asked: both methods ask the first of a
// row's "|" alternatives, and a row whose address changed (the user rotated
// or replaced it) starts again from its first try.
RetryStep TakeErrorAnswer(
    DownloadItem &item, const QString &address, const ErrorAnswer &answer, const Clock &clock);

// The tooltip text of a row that waits for its next try: the answer and the
// local time of the try, "服务器繁忙（HTTP 503），将于 2024-03-01 12:00:05 再试".
// Empty for any other row.
QString RetryTooltip(const DownloadItem &item, const Clock &clock);
