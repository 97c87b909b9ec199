#pragma once

#include "common/AppVersion.h"

#include <QObject>
#include <QString>

#include <memory>

class uXMLHTTP;

// The text of the version file, trimmed, when it names a version newer than
// `running`: three parts of decimal digits, weighted a × 10000000 + b × 10000
// + c and compared exactly. Anything else (two parts, letters, an equal or
// older version) gives false.
bool IsNewerVersionText(const QString &trimmedText, const AppVersion &running);

// "有最新版本：V2.0.1230可以下载升级".
QString NewerVersionNotice(const QString &versionText);

// Asks the maker's site once for the newest version number. With no address
// nothing is sent and nothing is reported.
class VersionCheck : public QObject
{
    Q_OBJECT
public:
    VersionCheck(QString versionFileUrl, AppVersion running, QObject *parent = nullptr);
    ~VersionCheck() override;

    // Sends the request; the answer arrives as one of the signals below.
    // False when nothing was sent (no address, or an address that cannot be
    // requested).
    bool CheckNewerVersion();

Q_SIGNALS:
    // The site names a newer version; `notice` is the text to show.
    void newerVersion(const QString &versionText, const QString &notice);
    // The request failed (no network, an HTTP error).
    void failed();
    // The answer arrived and named no newer version (or was no version).
    void upToDate();

private:
    void onArrived();

    QString m_url;
    AppVersion m_running;
    std::unique_ptr<uXMLHTTP> m_request;
};
