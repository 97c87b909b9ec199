#include "search/AnalysisRun.h"

#include "common/FileNameHelpers.h"
#include "download/DownloadList.h"
#include "download/SavedFileNaming.h"
#include "platform/UserDialogs.h"
#include "search/AnalysisList.h"
#include "search/DownloadTarget.h"
#include "search/SaveFolderSource.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

// Work done in one pass before the window's events get their turn.
constexpr qint64 SliceMs = 15;

bool passes(const AnalysisItem &item, AnalysisFilter filter)
{
    switch (filter) {
    case AnalysisFilter::NotAnalysed:
        return item.Status.isEmpty();
    case AnalysisFilter::Failed:
        return item.Status == AnalysisStatus::Failed;
    case AnalysisFilter::Selected:
        return item.Selected;
    case AnalysisFilter::All:
        return true;
    }
    return false;
}

} // namespace

AnalysisRun::AnalysisRun(AnalysisList &list, SaveFolderSource &folders, UserDialogs &dialogs,
    DownloadTarget &target, QObject *parent)
    : QObject(parent), m_list(list), m_folders(folders), m_dialogs(dialogs), m_target(target)
{ }

AnalysisRun::StartChoice AnalysisRun::startClicked()
{
    if (m_list.isEmpty()) {
        m_dialogs.message(
            QStringLiteral("请先检索，添加到列表！"), UserDialogs::Style::Information);
        return StartChoice::None;
    }
    if (!m_list.hasSelection()) {
        AnalyseItems(AnalysisFilter::All);
        return StartChoice::Started;
    }
    return StartChoice::ChooseFilter;
}

void AnalysisRun::AnalyseItems(AnalysisFilter filter)
{
    if (m_running)
        return;
    m_running = true;
    m_idle = false;
    m_filter = filter;
    Q_EMIT started();
    // The panel shows before the save-folder dialog or the first row.
    QTimer::singleShot(0, this, &AnalysisRun::begin);
}

void AnalysisRun::begin()
{
    // Stopped (or the window closed) before the first row: no dialog either.
    if (m_list.isEmpty() || m_idle) {
        end();
        return;
    }
    // Asked on extraction: the rows carry their folder (or take SaveFolder).
    if (!m_folders.askOnExtract()) {
        m_folders.askSaveFolder();
        if (m_folders.dialogCancelled()) {
            end();
            return;
        }
    }
    m_next = 0;
    m_total = m_list.size(); // rows added during the run are not visited
    workSlice();
}

void AnalysisRun::workSlice()
{
    if (!m_running)
        return;
    // A stop that came with the events since the last slice: no further row.
    if (m_idle) {
        end();
        return;
    }
    QElapsedTimer slice;
    slice.start();
    while (m_next < m_total && m_next < m_list.size()) {
        const int row = m_next++;
        const bool pass = passes(m_list.at(row), m_filter);
        if (pass) {
            m_list.setStatus(row, AnalysisStatus::Analysing);
            HandOffItem(row);
        }
        if (pass || m_filter == AnalysisFilter::Selected) {
            if (m_idle) {
                end();
                return;
            }
            if (slice.elapsed() >= SliceMs) {
                Q_EMIT progress(m_next, m_total);
                QTimer::singleShot(0, this, &AnalysisRun::workSlice);
                return;
            }
        }
    }
    Q_EMIT progress(m_next, m_total);
    end();
}

void AnalysisRun::HandOffItem(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    const AnalysisItem item = m_list.at(row);
    if (item.Link.isEmpty()) {
        m_list.setStatus(row, AnalysisStatus::Failed);
        return;
    }
    const QString title = TitleOnOneLine(item.Title);
    const QString folder = item.Folder.isEmpty() ? m_folders.saveFolder() : item.Folder;
    const QString name = CleanFileName(
        m_folders.useOriginalFileName() ? FileNameFromPath(item.Link, true) : title);
    // An address already in the download list is not added twice.
    DownloadList &downloads = m_target.downloadList();
    if (downloads.addItem(item.Link, name, item.Type, folder, item.SourcePage)) {
        downloads.update(downloads.size() - 1, [&item](DownloadItem &added) {
            added.Doi = item.Doi;
            added.Kind = item.Kind;
        });
    }
    m_list.setStatus(row, AnalysisStatus::Succeeded);
}

void AnalysisRun::end()
{
    m_running = false;
    m_idle = true;
    Q_EMIT finished();
    m_target.显示下载窗口(false);
}
