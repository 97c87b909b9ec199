#pragma once

#include "EventWait.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FixtureServer.h"
#include "RecordingSoundPlayer.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/MultiConnectionTransfer.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/AppPaths.h"
#include "platform/CookieJar.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

// Switches the scheduler on without letting its timer tick during the test:
// the test runs the passes itself, against the fake clock.
inline void switchOnQuietly(DownloadScheduler &scheduler)
{
    scheduler.start();
    scheduler.Timer_Down().setInterval(24 * 3600 * 1000);
}

// One download window's worth of parts over a fake clock, scripted dialogs,
// recorded sounds, a fixture server and a fresh temporary folder.
class DownloadTestRig
{
public:
    DownloadTestRig()
    {
        useTestLocations();
        QDir(m_dir.path()).mkpath(QStringLiteral("program"));
        QDir(m_dir.path()).mkpath(QStringLiteral("dl"));
        server.listen();
    }

    FakeClock clock;
    FakeDialogs dialogs;
    RecordingSoundPlayer player;
    FixtureServer server;
    CookieJar jar;

private:
    QTemporaryDir m_dir;
    FixedAppPaths m_paths { m_dir.path() + QStringLiteral("/program") };

public:
    DownloadSession session { clock, dialogs, m_paths, player, &jar };

    DownloadList &list() { return session.list(); }
    DownloadOptions &options() { return session.options(); }
    DownloadScheduler &scheduler() { return session.scheduler(); }
    SingleConnectionTransfer &single() { return session.single(); }
    MultiConnectionTransfer &multi() { return session.multi(); }

    QString programFolder() const { return m_paths.programFolder(); }
    // The download folder, ending with a separator.
    QString folder() const { return m_dir.path() + QStringLiteral("/dl/"); }
    QString path(const QString &fileName) const { return folder() + fileName; }

    int addRow(const QString &serverPath, const QString &name, const QString &type = {},
        const QString &referer = {})
    {
        list().addItem(server.urlText(serverPath), name, type, folder(), referer);
        return list().size() - 1;
    }

    // Runs a method-1 transfer of a row to its end.
    bool runSingle(int row, int timeoutMs = 20000)
    {
        bool ended = false;
        QEventLoop loop;
        QObject::connect(&single(), &SingleConnectionTransfer::transferEnded, &loop, [&] {
            ended = true;
            loop.quit();
        });
        single().Inet下载当前文件(row);
        if (!ended && single().isRunning()) {
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return ended;
    }

    // Runs the waiting rows with the given method (three connections for
    // method 2), a pass a second later whenever no transfer runs, until the
    // list is finished and every transfer has ended; the scheduler is off
    // afterwards.
    bool runWaitingRows(int method)
    {
        options().method = method;
        options().connections = 3;
        scheduler().state().LastTransferEnd = clock.nowSeconds() - 10;
        switchOnQuietly(scheduler());
        const bool done = waitUntil([&] {
            if (!single().isRunning() && multi().instanceCount() == 0) {
                clock.advance(1);
                scheduler().schedulingPass();
            }
            return list().检测是否下载列表完毕() && !single().isRunning()
                && multi().instanceCount() == 0;
        });
        scheduler().Timer_Down().stop();
        settle();
        return done;
    }

    // Lets events run until the predicate holds (real event loop, no naps).
    template<typename Predicate> bool waitUntil(Predicate done, int timeoutMs = 20000)
    {
        return waitForCondition(done, timeoutMs);
    }

    // Lets pending events run until none is left to do right now.
    void settle(int rounds = 20)
    {
        for (int i = 0; i < rounds; ++i) {
            QEventLoop loop;
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
};
