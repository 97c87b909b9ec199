#include "download/DownloadRetries.h"

#include "common/RetryWait.h"
#include "download/DownloadItem.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

RetryStep TakeErrorAnswer(
    DownloadItem &item, const QString &address, const ErrorAnswer &answer, const Clock &clock)
{
    RetryStep step;
    if (!IsRetryableStatus(answer.httpStatus)) {
        item.forgetRetries();
        return step;
    }
    const QDateTime wallNow = clock.wallClockUtc();
    const int tries = (item.RetryAddress == address ? item.RetryTries : 0) + 1;
    const RetryDecision decision = DecideRetry(answer.httpStatus, tries,
        RetryAfterDelaySeconds(answer.retryAfter, answer.date, wallNow), wallNow);
    step.text = decision.reason;
    item.Received.clear();
    item.Percent.clear();
    if (decision.kind == RetryDecision::Fail) {
        step.kind = RetryStep::GaveUp;
        item.forgetRetries();
        item.StatusCode = Status::Failed;
        item.FailureReason = decision.reason;
        item.Size = StatusText::DownloadFailed;
        return step;
    }
    step.kind = RetryStep::Waiting;
    item.StatusCode = Status::Waiting;
    item.FailureReason.clear();
    item.Size = StatusText::WaitingAgain;
    item.NotBefore = clock.nowSeconds() + decision.delaySeconds;
    item.RetryTries = tries;
    item.RetryStatus = answer.httpStatus;
    item.RetryAddress = address;
    item.RetryNote = RetryTooltip(item, clock);
    return step;
}

QString RetryTooltip(const DownloadItem &item, const Clock &clock)
{
    if (item.StatusCode != Status::Waiting || item.RetryTries <= 0)
        return {};
    const double ahead = std::max(0.0, item.NotBefore - clock.nowSeconds());
    const QDateTime next = clock.wallClockUtc().addMSecs(qint64(std::ceil(ahead) * 1000));
    return RetryText::httpStatus(item.RetryStatus)
        + QStringLiteral("，将于 %1 再试")
              .arg(next.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}
