#include "search/Harvester.h"

#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/UserDialogs.h"
#include "search/AnalysisList.h"
#include "search/NextPageLink.h"
#include "search/ResultExtraction.h"
#include "search/SaveFolderSource.h"

#include <cmath>
#include <utility>

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
        if (m_phase == Phase::WaitingForLoad)
            QTimer::singleShot(0, this, &Harvester::checkWait);
    });
}

void Harvester::addThisPage()
{
    if (m_folders.askOnExtract())
        m_folders.askSaveFolder(); // a cancelled dialog leaves the folder as it was
    m_browser.requestDocument(
        this,
        [this](DocumentPtr document) {
            const QString folder = m_folders.askOnExtract() ? m_folders.saveFolder() : QString();
            AddPageEntries(document.get(), m_list, folder);
            Q_EMIT columnsNeedFitting();
            Q_EMIT thisPageAdded();
        },
        extractionScope());
}

void Harvester::addAllClicked(const QString &limitText)
{
    const std::optional<double> limit = parseNumericText(limitText);
    if (!limit) {
        m_dialogs.message(QStringLiteral("最大页码数必须是数字！"), UserDialogs::Style::Error);
        return;
    }
    m_limit = wholeNumberPart(*limit);
    Q_EMIT limitEditableChanged(false);
    if (!m_running) {
        startRun();
        return;
    }
    // The stop click gives Text1 back at once; the run ends at its next check.
    requestStop();
    Q_EMIT limitEditableChanged(true);
    Q_EMIT columnsNeedFitting();
}

void Harvester::requestStop()
{
    m_stop = true;
    if (m_phase == Phase::WaitingForLoad || m_phase == Phase::Pausing)
        QTimer::singleShot(0, this, &Harvester::checkWait);
}

void Harvester::startRun()
{
    ++m_run;
    m_running = true;
    m_stop = false;
    m_pagesTaken = 0;
    Q_EMIT runningChanged(true);
    if (m_folders.askOnExtract())
        m_folders.askSaveFolder(); // once per run; cancelling does not stop it
    nextRound();
}

void Harvester::nextRound()
{
    // Lets the window's events run between pages; a stop seen here ends the run.
    const quint64 run = m_run;
    QTimer::singleShot(0, this, [this, run] {
        if (run != m_run || !m_running)
            return;
        if (m_stop) {
            endRun();
            return;
        }
        下一页([this, run](bool opened) {
            if (run != m_run || !m_running)
                return;
            if (opened)
                afterNextPage();
            else
                endRun();
        });
    });
}

void Harvester::下一页(std::function<void(bool)> done)
{
    if (m_nextPageDone) {
        done(false); // one step at a time
        return;
    }
    m_nextPageDone = std::move(done);
    m_phase = Phase::Reading;
    const quint64 step = ++m_step;
    m_browser.requestDocument(
        this,
        [this, step](DocumentPtr document) {
            if (step != m_step)
                return;
            const QString folder = m_folders.askOnExtract() ? m_folders.saveFolder() : QString();
            AddPageEntries(document.get(), m_list, folder);
            ++m_pagesTaken;
            Q_EMIT pageTaken(m_pagesTaken);
            const Element next = document ? findNextLink(*document) : Element();
            if (next.isNull()) {
                finishNextPage(false);
                return;
            }
            m_waitStart = m_clock.nowSeconds();
            m_pageLoading = true;
            if (!document->click(next)) {
                finishNextPage(false);
                return;
            }
            m_phase = Phase::WaitingForLoad;
            m_poll.start();
        },
        extractionScope());
}

void Harvester::finishNextPage(bool opened)
{
    m_poll.stop();
    m_phase = Phase::Idle;
    ++m_step;
    if (auto done = std::exchange(m_nextPageDone, nullptr))
        done(opened);
}

void Harvester::checkWait()
{
    const double elapsed = std::abs(m_clock.nowSeconds() - m_waitStart);
    if (m_phase == Phase::WaitingForLoad) {
        if ((!m_browser.isBusy() && !m_pageLoading) || m_stop) {
            m_phase = Phase::Pausing;
            m_waitStart = m_clock.nowSeconds();
            checkWait();
        } else if (elapsed > LoadTimeoutSeconds) {
            finishNextPage(false); // the page is not taken
        }
    } else if (m_phase == Phase::Pausing) {
        if (elapsed >= m_pauseSeconds || m_stop)
            finishNextPage(true);
    }
}

void Harvester::afterNextPage()
{
    // After a stop the limit no longer matters: the run ends either way.
    if (!m_limitEnabled || m_stop) {
        nextRound();
        return;
    }
    m_phase = Phase::CheckingLimit;
    const quint64 run = m_run;
    DocumentScope anchors;
    anchors.tags = QStringList { QStringLiteral("A") };
    m_browser.requestDocument(
        this,
        [this, run](DocumentPtr document) {
            if (run != m_run || !m_running)
                return;
            m_phase = Phase::Idle;
            if (提取当前页码数(document.get()) >= m_limit)
                endRun();
            else
                nextRound();
        },
        anchors);
}

void Harvester::endRun()
{
    // A step still waiting belongs to this run: it is dropped.
    m_poll.stop();
    m_nextPageDone = nullptr;
    ++m_step;
    m_phase = Phase::Idle;
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    Q_EMIT runningChanged(false);
    Q_EMIT limitEditableChanged(true);
    Q_EMIT columnsNeedFitting();
    Q_EMIT runFinished();
}
