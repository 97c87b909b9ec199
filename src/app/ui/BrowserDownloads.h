#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QWebEngineDownloadRequest;
class QWebEngineProfile;
class UserDialogs;
class fFileDownload;

// Downloads the program's browsers start (an attachment, a file the engine
// does not display) are not saved by the engine: each is cancelled, and the
// user is asked "加入下载列表：NAME？". Yes adds a row to the download list
// (the address, the page as referring page, the file name without its
// extension as title); No drops it.
class BrowserDownloads : public QObject
{
    Q_OBJECT
public:
    // `downloadWindow` gives the open download window, made hidden when there
    // is none.
    BrowserDownloads(
        UserDialogs &dialogs, std::function<fFileDownload *()> downloadWindow, QObject *parent);

    // Watches the profile's downloads; once is enough, later calls do nothing.
    void watch(QWebEngineProfile *profile);

    // What a browser offered.
    struct Offer
    {
        QUrl address;
        QUrl page; // the page that started it; may be empty
        QString fileName; // the engine's suggested file name
    };
    // The question and its answer, outside the engine's signal.
    void ask(const Offer &offer);

private:
    void requested(QWebEngineDownloadRequest *request);

    UserDialogs &m_dialogs;
    std::function<fFileDownload *()> m_downloadWindow;
    QPointer<QWebEngineProfile> m_profile;
};
