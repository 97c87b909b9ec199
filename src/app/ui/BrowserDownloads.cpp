#include "app/ui/BrowserDownloads.h"

#include "common/FileNameHelpers.h"
#include "download/DownloadSession.h"
#include "download/InputLines.h"
#include "download/ui/fFileDownload.h"
#include "platform/UserDialogs.h"

#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

BrowserDownloads::BrowserDownloads(
    UserDialogs &dialogs, std::function<fFileDownload *()> downloadWindow, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_downloadWindow(std::move(downloadWindow))
{ }

void BrowserDownloads::watch(QWebEngineProfile *profile)
{
    if (!profile || m_profile == profile)
        return;
    if (m_profile)
        disconnect(m_profile, nullptr, this, nullptr);
    m_profile = profile;
    connect(profile, &QWebEngineProfile::downloadRequested, this, &BrowserDownloads::requested);
}

void BrowserDownloads::requested(QWebEngineDownloadRequest *request)
{
    if (request->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    Offer offer;
    offer.address = request->url();
    if (const QWebEnginePage *page = request->page())
        offer.page = page->url();
    offer.fileName = request->suggestedFileName();
    // The engine saves nothing itself: the download list fetches the file
    // with the shared cookies, or nothing is fetched.
    request->cancel();
    // The question opens its own event loop: never inside the engine's signal.
    QTimer::singleShot(0, this, [this, offer] { ask(offer); });
}

void BrowserDownloads::ask(const Offer &offer)
{
    const QString name = offer.fileName.isEmpty() ? offer.address.fileName() : offer.fileName;
    InputLine line;
    line.Key = offer.address.toString(QUrl::FullyEncoded);
    // blob: and data: addresses live only inside the page: nothing can fetch
    // them again.
    if (!IsDownloadAddress(line.Key)) {
        m_dialogs.message(
            QStringLiteral("无法加入下载列表：") + name, UserDialogs::Style::Information);
        return;
    }
    if (m_dialogs.message(QStringLiteral("加入下载列表：") + name + QStringLiteral("？"),
            UserDialogs::Style::QuestionYesNo)
        != UserDialogs::Answer::Yes)
        return;
    line.Title = FileNameFromPath(name, true);
    if (offer.page.isValid() && IsDownloadAddress(offer.page.toString(QUrl::FullyEncoded)))
        line.Referer = offer.page.toString(QUrl::FullyEncoded);
    if (fFileDownload *window = m_downloadWindow())
        window->addAddressLines({ line });
}
