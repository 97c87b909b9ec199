#include "FixtureServer.h"
#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "download/DownloadList.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/ui/fFileDownload.h"

#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QTreeView>

namespace {

// The download window in the middle of a run: finished files, a failed one,
// a web page that came instead of a file, two files still arriving and rows
// still waiting.
void shootDownloadWindow(ShotContext &context)
{
    using Response = FixtureServer::Response;
    const struct
    {
        const char *path;
        const char *title;
    } rows[] = {
        { "/papers/deep-soil-carbon.pdf", "Deep soil carbon under long-term grassland" },
        { "/papers/graphene-sensors.pdf", "石墨烯柔性传感器的制备与性能研究" },
        { "/papers/glacier-retreat.pdf", "Glacier retreat and meltwater timing in the Alps" },
        { "/papers/protein-folding.pdf", "蛋白质折叠中间态的单分子观测" },
        { "/html/login-required", "Bayesian inference for sparse sensor networks" },
        { "/papers/urban-heat.pdf", "Urban heat islands: a review of mitigation measures" },
        { "/withdrawn/chapter.pdf", "Lost in the archive: a withdrawn chapter" },
        { "/papers/coral-bleaching.pdf", "珊瑚白化的温度阈值与恢复过程" },
        { "/slow/4000000", "Handbook of Computational Fluid Dynamics" },
        { "/slow/3000000", "机器学习在材料科学中的应用" },
        { "/papers/wait-1.pdf", "Quantum dots for solar energy conversion" },
        { "/papers/wait-2.pdf", "区域气候模式的降尺度方法比较" },
    };
    qint64 size = 180000;
    for (const auto &row : rows) {
        const QByteArray path(row.path);
        if (path.startsWith("/papers/"))
            context.site.route(path, Response::pattern(size += 97531, "application/pdf"));
    }
    context.site.route("/withdrawn/chapter.pdf", Response::status(404, "Not Found"));

    fFileDownload *window = context.windows.openDownloadWindow();
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    window->setWindowState(Qt::WindowNoState);
    window->setGeometry(screen);
    DownloadList &list = window->list();
    const QString folder = context.workFolder + QStringLiteral("文献/");
    const auto addRows = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            list.addItem(context.site.urlText(QString::fromLatin1(rows[i].path)),
                QString::fromUtf8(rows[i].title), QStringLiteral("pdf"), folder,
                context.site.urlText(QStringLiteral("/search?query=climate")));
        }
    };
    addRows(0, 10);
    window->show();
    auto *connections = window->findChild<QComboBox *>(QStringLiteral("Combo1"));
    connections->setCurrentIndex(2);
    window->session().scheduler().start();
    // The two slow files hold both connections, so the rows added then wait.
    context.waitUntil(
        [&list] {
            return list.at(8).StatusCode == Status::Downloading
                && list.at(9).StatusCode == Status::Downloading && !list.at(8).Received.isEmpty()
                && !list.at(9).Received.isEmpty();
        },
        30000);
    connections->setCurrentIndex(1);
    addRows(10, int(std::size(rows)));
    context.waitUntil([&list] { return list.at(7).StatusCode >= Status::Completed; }, 10000);
    context.waitUntil([] { return false; }, 2500);
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView3"));
    view->selectionModel()->select(view->model()->index(2, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    context.save(window, QStringLiteral("download-window"));
    window->endWithProgram();
}

} // namespace

QUILLMOOR_SHOT(b_download_window, shootDownloadWindow);
