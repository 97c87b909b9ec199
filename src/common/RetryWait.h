#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// When to ask a server again after it answered 429 (too many requests) or 503
// (busy), shared by the downloads and the harvest of result pages.
namespace RetryRules {
// Tries of one address, the first included.
inline constexpr int kMaxTries = 3;
// A longer wait is not made: the try fails and says when to come back.
inline constexpr double kLongestWaitSeconds = 300;
// Waits before the second and the third try when the answer names none.
inline constexpr double kWaitsWithoutHeader[] = { 5, 20 };
} // namespace RetryRules

// The delay a Retry-After header asks for, in seconds: delta-seconds (digits
// only) or an HTTP date (IMF-fixdate, or the obsolete RFC 850 and asctime
// forms), counted from the answer's Date header, or from wallNowUtc when that
// is missing or unreadable. A date in the past gives 0. Nullopt when the value
// is neither (or empty).
std::optional<double> RetryAfterDelaySeconds(
    const QByteArray &retryAfter, const QByteArray &dateHeader, const QDateTime &wallNowUtc);

// The time an HTTP date names, in UTC; invalid when the text is no HTTP date.
// A two-digit year (RFC 850) is read relative to `reference`: never more than
// 50 years after it.
QDateTime ParseHttpDate(const QByteArray &text, const QDateTime &reference);

// True for the answers that are asked again: 429 and 503.
bool IsRetryableStatus(int httpStatus);

struct RetryDecision
{
    enum Kind { Retry, Fail };
    Kind kind = Fail;
    // Retry: seconds to wait before the next try.
    double delaySeconds = 0;
    // Retry: what is awaited; Fail: why it failed. The program's own words,
    // the technical detail after them.
    QString reason;
};

// What to do after an answer of 400 or more. triesSoFar counts the tries made,
// the one that got this answer included (1 after the first answer).
// retryAfterSeconds is RetryAfterDelaySeconds of the answer, nullopt without
// a usable header. Only 429 and 503 are tried again: after the header's delay,
// else after 5 s and then 20 s; a delay over 300 s is not waited for and the
// third such answer fails. When wallNowUtc is valid, the reason of a delay
// that is too long also names the local time to come back.
RetryDecision DecideRetry(int httpStatus, int triesSoFar, std::optional<double> retryAfterSeconds,
    const QDateTime &wallNowUtc = {});

// The texts of failed and retried answers, for the window and the command line.
namespace RetryText {
// The program's words for an HTTP status, e.g. "服务器繁忙（HTTP 503）".
QString httpStatus(int httpStatus);
// "服务器繁忙，5 秒后重试（HTTP 503）"
QString retrying(int httpStatus, double delaySeconds);
// "服务器繁忙，已试 3 次（HTTP 503）"
QString gaveUp(int httpStatus, int tries);
// "服务器要求 600 秒后再试（HTTP 429）", with "，即 <local time> 之后" when
// comeBackUtc is valid.
QString waitTooLong(int httpStatus, double delaySeconds, const QDateTime &comeBackUtc = {});
} // namespace RetryText
