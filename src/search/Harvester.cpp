#include "search/Harvester.h"

#include "common/FileNameHelpers.h"
#include "common/RetryWait.h"
#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/UserDialogs.h"
#include "search/AnalysisList.h"
#include "search/NextPageLink.h"
#include "search/ResultExtraction.h"
#include "search/SaveFolderSource.h"

#include <QUrl>

#include <cmath>
#include <utility>

namespace {

// One page, however its address is written: the fragment is no part of it.
QString pageKey(const QString &address)
{
    return QUrl(address)
        .adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments)
        .toString(QUrl::FullyEncoded);
}

// An address as a message shows it: never with a password.
QString shown(const QString &address)
{
    return WithoutCredentials(address);
}

// Grace after a page load was stopped for "加入本页到列表".
constexpr double kStoppedPageGraceSeconds = 1.0;

} // namespace

Harvester::Harvester(Browser &browser, AnalysisList &list, SaveFolderSource &folders,
    UserDialogs &dialogs, const Clock &clock, QObject *parent)
    : QObject(parent), m_browser(browser), m_list(list), m_folders(folders), m_dialogs(dialogs),
      m_clock(clock)
{
    m_poll.setInterval(200);
    connect(&m_poll, &QTimer::timeout, this, &Harvester::checkWait);
    // Only the top-level document ends the wait; inner frames have their own
    // signal.
    connect(&m_browser, &Browser::documentComplete, this, [this] {
        m_pageLoading = false;
        if (m_phase == Phase::Loading)
            QTimer::singleShot(0, this, &Harvester::checkWait);
    });
    connect(&m_browser, &Browser::renderProcessCrashed, this, &Harvester::onRendererCrashed);
}

QString Harvester::progressText() const
{
    return HarvestProgressText(m_pagesTaken, m_entriesTaken, m_pagesWithoutEntries);
}

void Harvester::addThisPage()
{
    if (m_folders.askOnExtract())
        m_folders.askSaveFolder(); // a cancelled dialog leaves the folder as it was
    const quint64 request = ++m_thisPageRequest;
    m_thisPagePending = true;
    m_thisPageStopped = false;
    m_thisPageStart = m_clock.nowSeconds();
    m_poll.start();
    m_browser.requestDocument(
        this,
        [this, request](DocumentPtr document) {
            if (request != m_thisPageRequest || !m_thisPagePending)
                return;
            m_thisPagePending = false;
            const QString folder = m_folders.askOnExtract() ? m_folders.saveFolder() : QString();
            AddPageEntries(document.get(), m_list, folder);
            Q_EMIT columnsNeedFitting();
            Q_EMIT thisPageAdded();
        },
        extractionScope());
}

void Harvester::checkThisPage()
{
    if (!m_thisPagePending)
        return;
    const double elapsed = std::abs(m_clock.nowSeconds() - m_thisPageStart);
    if (!m_thisPageStopped && elapsed > LoadTimeoutSeconds) {
        // A page that never finishes (a picture that never comes) is taken as
        // far as it came: stopping its load lets the document be read.
        m_thisPageStopped = true;
        m_thisPageStart = m_clock.nowSeconds();
        m_browser.stop();
    } else if (m_thisPageStopped && elapsed > kStoppedPageGraceSeconds) {
        m_thisPagePending = false;
        ++m_thisPageRequest;
        Q_EMIT columnsNeedFitting();
        Q_EMIT thisPageAdded();
    }
}

void Harvester::addAllClicked(const QString &limitText)
{
    const std::optional<double> limit = parseNumericText(limitText);
    if (!limit) {
        m_dialogs.message(QStringLiteral("最大页码数必须是数字！"), UserDialogs::Style::Error);
        return;
    }
    if (m_mode == Mode::Step)
        return; // a step of its own is under way
    m_limit = wholeNumberPart(*limit);
    Q_EMIT limitEditableChanged(false);
    if (m_running) {
        requestStop(); // the stop click
        return;
    }
    if (m_folders.askOnExtract())
        m_folders.askSaveFolder(); // once per run; cancelling does not stop it
    beginRun(QString(), Scope::AllPages);
}

bool Harvester::startRun(const QString &firstUrl, Scope scope)
{
    if (m_running || m_mode == Mode::Step)
        return false;
    beginRun(firstUrl, scope);
    return true;
}

void Harvester::beginRun(const QString &firstUrl, Scope scope)
{
    m_mode = Mode::Run;
    m_scope = scope;
    m_running = true;
    m_stop = false;
    m_pagesTaken = 0;
    m_entriesTaken = 0;
    m_pagesWithoutEntries = 0;
    m_takenPages.clear();
    m_endMessage.clear();
    m_pauseAfterLoad = false;
    Q_EMIT runningChanged(true);
    Q_EMIT progressChanged(0, 0, 0);
    if (!m_running)
        return; // stopped by a receiver

    m_tries = 0;
    if (!firstUrl.isEmpty()) {
        openPage(firstUrl);
        return;
    }
    // The page shown is the first page: it is taken once it has loaded, and
    // its answer counts as any other page's.
    m_pageAddress = m_browser.url();
    m_pageLoading = false;
    enterPhase(Phase::Loading);
    QTimer::singleShot(0, this, &Harvester::checkWait); // never inside the click
}

void Harvester::enterPhase(Phase phase)
{
    m_phase = phase;
    m_phaseStart = m_clock.nowSeconds();
    ++m_step;
    if (phase == Phase::Idle) {
        if (!m_thisPagePending)
            m_poll.stop();
    } else {
        m_poll.start();
    }
}

void Harvester::openPage(const QString &address)
{
    m_pageAddress = address;
    m_pageLoading = true;
    enterPhase(Phase::Loading);
    m_browser.navigate(address);
}

void Harvester::checkWait()
{
    checkThisPage();
    const double elapsed = std::abs(m_clock.nowSeconds() - m_phaseStart);
    switch (m_phase) {
    case Phase::Idle:
        if (!m_thisPagePending)
            m_poll.stop();
        break;
    case Phase::Loading:
        if (!m_browser.isBusy() && !m_pageLoading) {
            loadEnded();
        } else if (elapsed > LoadTimeoutSeconds) {
            failPage(QStringLiteral("%1 秒内未能打开").arg(LoadTimeoutSeconds));
            m_browser.stop();
        }
        break;
    case Phase::RetryWaiting:
        if (elapsed >= m_retryDelay)
            openPage(m_pageAddress);
        break;
    case Phase::Pausing:
        if (elapsed >= m_pauseSeconds) {
            if (m_mode == Mode::Step)
                finishStep(true);
            else
                readPage();
        }
        break;
    case Phase::Reading:
        if (elapsed > LoadTimeoutSeconds) {
            const bool loading = m_browser.isBusy();
            failPage(QStringLiteral("%1 秒内未能读取页面").arg(LoadTimeoutSeconds));
            if (loading)
                m_browser.stop();
        }
        break;
    }
}

void Harvester::loadEnded()
{
    const PageLoad load = m_browser.lastLoad();
    if (!load.url.isEmpty())
        m_pageAddress = load.url;
    if (load.httpStatus >= 400) {
        ++m_tries;
        const RetryDecision decision
            = DecideRetry(load.httpStatus, m_tries, std::nullopt, m_clock.wallClockUtc());
        if (decision.kind == RetryDecision::Retry) {
            m_retryDelay = decision.delaySeconds;
            enterPhase(Phase::RetryWaiting);
            Q_EMIT retryWaiting(decision.reason);
            return;
        }
        failPage(decision.reason);
        return;
    }
    if (!load.ok) {
        failPage(load.error.isEmpty() ? QStringLiteral("页面未能打开") : load.error);
        return;
    }
    m_tries = 0;
    afterLoad();
}

void Harvester::afterLoad()
{
    if (m_pauseAfterLoad) {
        enterPhase(Phase::Pausing);
        checkWait(); // a pause of 0 s goes on at once
        return;
    }
    if (m_mode == Mode::Step)
        finishStep(true);
    else
        readPage();
}

void Harvester::readPage()
{
    enterPhase(Phase::Reading);
    const quint64 step = m_step;
    m_browser.requestDocument(
        this,
        [this, step](DocumentPtr document) {
            if (step == m_step && m_phase == Phase::Reading)
                pageRead(document.get());
        },
        extractionScope());
}

void Harvester::takeEntries(const Document *document)
{
    const QString folder = m_folders.askOnExtract() ? m_folders.saveFolder() : QString();
    const int before = m_list.size();
    const int found = AddPageEntries(document, m_list, folder);
    ++m_pagesTaken;
    m_entriesTaken += m_list.size() - before;
    if (found == 0)
        ++m_pagesWithoutEntries;
    if (document)
        m_takenPages.insert(pageKey(document->url()));
    Q_EMIT progressChanged(m_pagesTaken, m_entriesTaken, m_pagesWithoutEntries);
}

void Harvester::pageRead(Document *document)
{
    if (m_mode == Mode::Step) {
        takeEntries(document);
        const NextPage next = document ? findNextPage(*document) : NextPage();
        if (next.isNull() || !followNextPage(*document, next))
            finishStep(false);
        return;
    }

    if (!document) {
        failPage(QStringLiteral("页面无法读取"));
        return;
    }
    // A next link that was redirected back to a page taken already.
    if (m_takenPages.contains(pageKey(document->url()))) {
        endRun(HarvestEnd::PageRepeated, shown(document->url()));
        return;
    }
    takeEntries(document);
    if (!m_running)
        return; // stopped by a receiver of the progress
    if (m_scope == Scope::ThisPage) {
        endRun(HarvestEnd::OnePage);
        return;
    }
    const NextPage next = findNextPage(*document);
    if (next.isNull()) {
        endRun(HarvestEnd::LastPage);
        return;
    }
    // The page whose number reaches the limit is the last one taken.
    if (m_limitEnabled && 提取当前页码数(document) >= m_limit) {
        endRun(HarvestEnd::PageLimit, QString::number(m_limit));
        return;
    }
    if (m_takenPages.contains(pageKey(next.address))) {
        endRun(HarvestEnd::PageRepeated, shown(next.address));
        return;
    }
    if (!followNextPage(*document, next)) {
        m_pageAddress = next.address;
        failPage(QStringLiteral("下一页链接无法点击"));
    }
}

bool Harvester::followNextPage(Document &document, const NextPage &next)
{
    m_tries = 0;
    m_pauseAfterLoad = true;
    if (next.anchor.isNull()) {
        // rel="next" may stand on a LINK element, which cannot be clicked:
        // its address is opened.
        openPage(next.address);
        return true;
    }
    m_pageAddress = next.address;
    m_pageLoading = true;
    enterPhase(Phase::Loading);
    if (!document.click(next.anchor)) {
        m_pageLoading = false;
        return false;
    }
    return true;
}

void Harvester::failPage(const QString &detail)
{
    if (m_mode == Mode::Step) {
        finishStep(false);
        return;
    }
    const QString address = shown(m_pageAddress);
    QString text = address;
    if (!detail.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("，")) + detail;
    endRun(m_pagesTaken == 0 ? HarvestEnd::FirstPageFailed : HarvestEnd::PageFailed, text);
}

void Harvester::onRendererCrashed(const QString &detail)
{
    m_pageLoading = false;
    if (m_mode == Mode::Step) {
        finishStep(false);
        return;
    }
    if (!m_running)
        return;
    const QString address = shown(m_browser.url());
    endRun(HarvestEnd::RendererCrashed,
        address.isEmpty() ? detail : address + QStringLiteral("，") + detail);
}

void Harvester::requestStop()
{
    m_stop = true;
    if (m_mode == Mode::Step) {
        // The step's waits end; it has opened its page as far as it came.
        if (m_phase == Phase::Loading || m_phase == Phase::Pausing
            || m_phase == Phase::RetryWaiting)
            finishStep(true);
        return;
    }
    if (!m_running)
        return;
    // A page still loading is stopped with the run, so no document is left
    // waiting for it.
    const bool loading
        = m_phase == Phase::Loading || (m_phase == Phase::Reading && m_browser.isBusy());
    endRun(HarvestEnd::Stopped);
    if (loading && m_browser.isBusy())
        m_browser.stop();
}

void Harvester::endRun(HarvestEnd reason, const QString &detail)
{
    enterPhase(Phase::Idle);
    m_mode = Mode::None;
    if (!m_running)
        return;
    m_running = false;
    m_endReason = reason;
    m_endMessage = HarvestEndMessage(reason, detail);
    Q_EMIT runningChanged(false);
    Q_EMIT limitEditableChanged(true);
    Q_EMIT columnsNeedFitting();
    Q_EMIT runEnded(reason, m_endMessage);
}

void Harvester::下一页(std::function<void(bool)> done)
{
    if (m_mode != Mode::None) {
        done(false); // one step at a time, and none during a run
        return;
    }
    m_mode = Mode::Step;
    m_stepDone = std::move(done);
    m_stop = false;
    m_pauseAfterLoad = false;
    readPage();
}

void Harvester::finishStep(bool opened)
{
    enterPhase(Phase::Idle);
    m_mode = Mode::None;
    if (auto done = std::exchange(m_stepDone, nullptr))
        done(opened);
}
