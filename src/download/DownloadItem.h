#pragma once

#include <QString>

namespace Status {
inline constexpr int Waiting = 1;
inline constexpr int Downloading = 2;
inline constexpr int Completed = 3;
inline constexpr int Failed = 4;
} // namespace Status

// One row of the download list. Numbers are kept as decimal text because the
// same columns also carry status texts.
struct DownloadItem
{
    // The row's identity in its list: given when the row is added, never
    // reused by that list, and kept through sorts, shuffles and changes of
    // the key. Whatever finds its row again after waiting (a transfer, a
    // timed retry) looks it up with DownloadList::rowOfId, never by key or
    // position. 0 for an item in no list.
    quint64 Id = 0;
    QString Key; // one address, or alternatives joined by "|"
    QString Name; // file name without extension
    QString Type; // extension without dot; may be empty
    QString Size; // total bytes, a size status text, or empty
    QString Received; // bytes written so far, "不存在", or empty
    QString Percent; // "37%", a percent status text, or empty
    QString Folder; // save folder
    QString Referer; // page the link was found on; may be empty
    int StatusCode = 1;
    QString Doi; // the paper's DOI when known, else empty
    QString Kind; // content kind ("article", "chapter", ...; ContentKindName), or empty
    // Why the row failed, in one line (libcurl's error text, "HTTP 404", the
    // file system's error); empty when it did not fail. Never holds a
    // password: addresses appear without user and password.
    QString FailureReason;
    // The row's own earlier file, which its next download may replace once.
    // Queueing a row again keeps its file instead of deleting it and notes
    // the path here; the skip test and the rename counter do not count this
    // path as taken, and a new body of its type is placed over it. Cleared
    // when a new body has been placed; a failed retry leaves file and note.
    QString ReplaceableFile;

    // Polite retries of an answer 429 or 503, for this run only: never saved,
    // so a list restored later carries no clock reading of an earlier run.
    // The row is not taken before NotBefore (seconds of the injected clock;
    // any time once the clock has passed it). RetryTries counts the tries of
    // RetryAddress that got such an answer, RetryStatus is the last one; 0
    // when the row waits for nothing.
    double NotBefore = 0;
    int RetryTries = 0;
    int RetryStatus = 0;
    QString RetryAddress;
    // When the next try comes, as the row's tooltip says it while it waits.
    QString RetryNote;

    // A transfer takes the row: it is being downloaded and shows no progress
    // yet.
    void startDownloading()
    {
        StatusCode = Status::Downloading;
        FailureReason.clear();
        Size.clear();
        Received.clear();
        Percent.clear();
    }

    // The count of polite retries starts again: a successful answer, a
    // failure of another kind, or the user queued the row again.
    void forgetRetries()
    {
        NotBefore = 0;
        RetryTries = 0;
        RetryStatus = 0;
        RetryAddress.clear();
        RetryNote.clear();
    }

    // Folder + Name, then "." + Type when Type is not empty. Folder is used as
    // it stands: the scheduler gives it its final separator before a transfer.
    QString savedFilePath() const
    {
        if (Type.isEmpty())
            return Folder + Name;
        return Folder + Name + QLatin1Char('.') + Type;
    }
};

// Texts written into the rows.
namespace StatusText {
inline const QString Unknown = QStringLiteral("未知");
inline const QString DownloadFailed = QStringLiteral("下载失败");
inline const QString DownloadCancelled = QStringLiteral("下载取消");
inline const QString WaitingAgain = QStringLiteral("等待重新下载");
inline const QString LargeFileSkipped = QStringLiteral("大文件，跳过");
inline const QString ExistsSkipped = QStringLiteral("已存在，跳过");
inline const QString CannotReplace = QStringLiteral("无法替换");
inline const QString NotPresent = QStringLiteral("不存在");
} // namespace StatusText
