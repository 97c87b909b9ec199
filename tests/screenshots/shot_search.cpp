#include "FixtureServer.h"
#include "LiteratureSite.h"
#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "common/SettingsStore.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisList.h"
#include "search/Harvester.h"
#include "search/SearchBrowsing.h"
#include "search/SearchCore.h"
#include "search/ui/fWebSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QScreen>
#include <QTreeView>

namespace {

// The search window on a result page, with the entries of two result pages
// taken into the to-analyse list.
void shootSearchWindow(ShotContext &context)
{
    WriteSetting(SearchBrowsing::HomePage.section, SearchBrowsing::HomePage.key,
        context.site.urlText(QStringLiteral("/")));
    // Entries are taken without asking for a folder first.
    WriteSetting(Settings::AskSaveFolderOnExtract.section, Settings::AskSaveFolderOnExtract.key,
        QStringLiteral("0"));
    fWebSearch *window = context.windows.showSearchWindow();
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    window->setGeometry(screen);

    const QString query = QStringLiteral("soil carbon pages-4");
    WebEngineBrowser &browser = window->browser();
    for (int page = 1; page <= 2; ++page) {
        const QString address = context.site.urlText(LiteratureSite::searchPath(query, page));
        browser.navigate(address);
        context.waitUntil([&] { return !browser.isBusy() && browser.url() == address; }, 20000);
        bool added = false;
        QObject::connect(
            &window->harvester(), &Harvester::thisPageAdded, window, [&added] { added = true; },
            Qt::SingleShotConnection);
        window->core().addThisPage();
        context.waitUntil([&added] { return added; }, 20000);
    }
    window->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
    auto *list = window->findChild<QTreeView *>(QStringLiteral("ListView1"));
    list->selectionModel()->select(
        list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    context.waitUntil([] { return false; }, 1500);
    context.save(window, QStringLiteral("search-window"));
    // Gone before the browser profile goes with the application.
    delete window;
}

} // namespace

QUILLMOOR_SHOT(ab_search_window, shootSearchWindow);
