#include "download/DownloadListCommands.h"

#include "common/DownloadPart.h"
#include "common/FileNameHelpers.h"
#include "common/TrimSpaces.h"
#include "download/DownloadList.h"
#include "download/DownloadScheduler.h"
#include "download/FileTypeDetection.h"
#include "download/ListOperations.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringEncoder>

namespace {

const QString StopFirst = QStringLiteral("停止下载以后，才能执行此操作！");
const QString NoSuchFile = QStringLiteral("该文件不存在！");
const QString OpenFailed = QStringLiteral("打开失败！");

// Files above this size are too large for the text viewer.
constexpr qint64 TextViewerLimit = 2 * 1024 * 1024;

} // namespace

DownloadListCommands::BusyTests DownloadListCommands::busyTestsOf(DownloadScheduler &scheduler)
{
    return {
        [&scheduler] { return scheduler.downloadsActive(); },
        [&scheduler] { return scheduler.isRunning() || scheduler.state().TransferBusy; },
        [&scheduler] { return scheduler.state().TransferBusy; },
    };
}

DownloadListCommands::DownloadListCommands(
    DownloadList &list, UserDialogs &dialogs, Shell &shell, BusyTests busy, QObject *parent)
    : QObject(parent), m_list(list), m_dialogs(dialogs), m_shell(shell), m_busy(std::move(busy)),
      m_random(QRandomGenerator::global())
{ }

void DownloadListCommands::setRandomGenerator(QRandomGenerator *generator)
{
    m_random = generator ? generator : QRandomGenerator::global();
}

bool DownloadListCommands::refuseWhile(bool busy, const QString &message, bool error)
{
    if (!busy)
        return false;
    m_dialogs.message(message, error ? UserDialogs::Style::Error : UserDialogs::Style::Information);
    return true;
}

DownloadListCommands::MenuStates DownloadListCommands::menuStates() const
{
    const bool busy = m_busy.runningOrTransferBusy();
    return { !busy, !busy, !busy, busy };
}

bool DownloadListCommands::sortByColumn(int column)
{
    if (refuseWhile(m_busy.runningOrTransferBusy(), QStringLiteral("停止下载后方可排序！")))
        return false;
    m_sortColumn = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    SortRowsByColumn(m_list, column, m_sortOrder);
    return true;
}

bool DownloadListCommands::shuffle()
{
    if (refuseWhile(m_busy.downloadsActive(), StopFirst))
        return false;
    ShuffleRows(m_list, *m_random);
    m_dialogs.message(QStringLiteral("随机排序完成！"), UserDialogs::Style::Information);
    return true;
}

int DownloadListCommands::requeueSelected(const QList<int> &rows)
{
    return RequeueSelectedRows(m_list, rows);
}

int DownloadListCommands::requeueFailed()
{
    return RequeueFailedRows(m_list);
}

int DownloadListCommands::requeueWebPages()
{
    return RequeueWebPageRows(m_list);
}

int DownloadListCommands::requeueFailedAndWebPages()
{
    return RequeueFailedAndWebPageRows(m_list);
}

int DownloadListCommands::requeueSmallerThan()
{
    bool ok = false;
    const QString answer = TrimSpaces(
        m_dialogs.inputText(QStringLiteral("请输入数字："), QString(), QString(), &ok));
    if (!ok || !ReadsAsNumber(answer))
        return 0;
    return RequeueCompleteRowsBelow(m_list, answer.toFloat());
}

QString DownloadListCommands::rowCountText(int rows)
{
    return QString::number(rows) + u'条';
}

void DownloadListCommands::announceRowCount()
{
    Q_EMIT rowCountTextChanged(rowCountText(m_list.size()));
}

int DownloadListCommands::clearRows(const std::function<int()> &remove)
{
    if (refuseWhile(m_busy.downloadsActive(), StopFirst) || m_list.size() == 0)
        return 0;
    struct Row
    {
        quint64 id;
        QString folder;
        QString key;
    };
    QList<Row> before;
    before.reserve(m_list.size());
    for (int row = 0; row < m_list.size(); ++row)
        before.append({ m_list.at(row).Id, m_list.at(row).Folder, m_list.at(row).Key });
    const int removed = remove();
    // A cleared row can no longer be continued: its kept part goes.
    QList<std::pair<QString, QString>> gone;
    for (const Row &row : std::as_const(before)) {
        if (m_list.rowOfId(row.id) < 0)
            gone.append({ row.folder, DownloadList::选择url(row.key) });
    }
    RemovePartsOf(gone);
    announceRowCount();
    return removed;
}

int DownloadListCommands::clearSelected(const QList<int> &rows)
{
    return clearRows([&] { return RemoveRowsAt(m_list, rows); });
}

int DownloadListCommands::clearSelectedAsking(const QList<int> &rows)
{
    if (rows.isEmpty() || m_list.size() == 0)
        return 0;
    // A refusal first: a question whose Yes would be refused is no use.
    if (refuseWhile(m_busy.downloadsActive(), StopFirst))
        return 0;
    if (m_dialogs.message(QStringLiteral("确定要从列表中清除选中的%1项吗？").arg(rows.size()),
            UserDialogs::Style::QuestionYesNo)
        != UserDialogs::Answer::Yes)
        return 0;
    return clearSelected(rows);
}

int DownloadListCommands::clearFailed()
{
    return clearRows([&] { return RemoveRowsWithStatus(m_list, Status::Failed); });
}

int DownloadListCommands::clearCompleted()
{
    return clearRows([&] { return RemoveRowsWithStatus(m_list, Status::Completed); });
}

int DownloadListCommands::clearAll()
{
    if (refuseWhile(m_busy.downloadsActive(), StopFirst))
        return 0;
    if (m_dialogs.message(
            QStringLiteral("您确定要清空列表的所有信息吗？"), UserDialogs::Style::YesNo)
        != UserDialogs::Answer::Yes)
        return 0;
    const int removed = m_list.size();
    // A cleared row can no longer be continued: its kept part goes.
    QList<std::pair<QString, QString>> gone;
    gone.reserve(m_list.size());
    for (int row = 0; row < m_list.size(); ++row)
        gone.append({ m_list.at(row).Folder, DownloadList::选择url(m_list.at(row).Key) });
    RemovePartsOf(gone);
    m_list.clear();
    announceRowCount();
    return removed;
}

int DownloadListCommands::deleteWebPageFiles()
{
    return DeleteWebPageRowFiles(m_list);
}

int DownloadListCommands::deleteFailedFiles()
{
    return DeleteFailedRowFiles(m_list);
}

int DownloadListCommands::cancelSelected(const QList<int> &rows)
{
    if (refuseWhile(m_busy.transferBusy(), QStringLiteral("停止下载后方可设置！"), true))
        return 0;
    return CancelWaitingRows(m_list, rows);
}

int DownloadListCommands::checkFiles()
{
    return MarkMissingFiles(m_list);
}

bool DownloadListCommands::rowFile(int row, QString *path) const
{
    if (row < 0 || row >= m_list.size())
        return false;
    *path = m_list.at(row).savedFilePath();
    return FileExists(*path);
}

void DownloadListCommands::openFile(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    QString path;
    if (!rowFile(row, &path)) {
        m_dialogs.message(NoSuchFile, UserDialogs::Style::Error);
        return;
    }
    if (!m_shell.openDocument(path))
        m_dialogs.message(OpenFailed, UserDialogs::Style::Error);
}

void DownloadListCommands::openFinishedFile(int row)
{
    if (row >= 0 && row < m_list.size() && m_list.at(row).StatusCode == Status::Completed)
        openFile(row);
}

void DownloadListCommands::openFolder(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    const QString folder = m_list.at(row).Folder;
    if (!FolderExists(folder)) {
        m_dialogs.message(QStringLiteral("文件夹不存在！"), UserDialogs::Style::Error);
        return;
    }
    QString path;
    if (rowFile(row, &path)) {
        if (!m_shell.showFileInFolder(path))
            m_dialogs.message(OpenFailed, UserDialogs::Style::Error);
        return;
    }
    if (!m_shell.openFolder(folder))
        m_dialogs.message(OpenFailed, UserDialogs::Style::Error);
}

void DownloadListCommands::openAsText(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    QString path;
    if (!rowFile(row, &path)) {
        m_dialogs.message(NoSuchFile, UserDialogs::Style::Error);
        return;
    }
    if (QFileInfo(path).size() > TextViewerLimit) {
        m_dialogs.message(QStringLiteral("该文件太大，超过了2M，不便于用记事本打开！"),
            UserDialogs::Style::Error);
        return;
    }
    m_shell.openTextViewer(path);
}

void DownloadListCommands::copyName(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    m_shell.copyToClipboard(m_list.at(row).Name);
}

bool DownloadListCommands::exportAllNames()
{
    return exportNames(false);
}

bool DownloadListCommands::exportUnfinishedNames()
{
    return exportNames(true);
}

bool DownloadListCommands::exportNames(bool unfinishedOnly)
{
    if (m_list.size() == 0)
        return false;
    const QString fileName = m_dialogs.saveFileName(QStringLiteral("*.txt|*.txt"), QString());
    if (fileName.isEmpty())
        return false;
    QStringEncoder encode(QStringConverter::System);
    const QByteArray bytes = encode(NameListText(m_list, unfinishedOnly));
    // Written beside the target and moved into place, so a failed write
    // leaves an earlier file of that name as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_dialogs.message(file.errorString(), UserDialogs::Style::Error);
        return false;
    }
    return true;
}

bool DownloadListCommands::replaceUrls(
    const QString &find, const QString &replacement, const std::function<void()> &closeDialog)
{
    if (TrimSpaces(find).isEmpty()) {
        m_dialogs.message(QStringLiteral("请输入字符串！"), UserDialogs::Style::Error);
        return false;
    }
    const UrlReplaceResult result = ReplaceInUrls(m_list, find, replacement);
    if (closeDialog)
        closeDialog();
    QString text = QStringLiteral("全部网址替换完成！");
    if (result.keptKeys > 0) {
        text += u'\n' + QString::number(result.keptKeys)
            + QStringLiteral("项替换后的网址与其他项重复，这些项保留了原网址。");
    }
    m_dialogs.message(text, UserDialogs::Style::Information);
    return true;
}

int DownloadListCommands::correctFileTypes()
{
    return CheckAndCorrectFileTypes(m_list, m_busy.downloadsActive, m_dialogs);
}

void DownloadListCommands::showFileType()
{
    OpenFileAndShowType(m_dialogs);
}

void DownloadListCommands::doubleClicked(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    const DownloadItem &item = m_list.at(row);
    if (item.StatusCode == Status::Completed) {
        QString path;
        if (!rowFile(row, &path)) {
            m_dialogs.message(QStringLiteral("文件不存在！"), UserDialogs::Style::Error);
            return;
        }
        if (!m_shell.openDocument(path))
            m_dialogs.message(OpenFailed, UserDialogs::Style::Error);
        return;
    }
    if (item.StatusCode != Status::Failed)
        return;
    // The file stays until the retry has placed a new one.
    m_list.update(row, [](DownloadItem &changed) {
        NoteEarlierFile(changed);
        changed.StatusCode = Status::Waiting;
        changed.forgetRetries();
        changed.Size.clear();
        changed.Received.clear();
        changed.Percent.clear();
    });
}

QString DownloadListCommands::clickedPanelText(int row) const
{
    QString path;
    return rowFile(row, &path) ? path : QString();
}

void DownloadListCommands::openPanelAddress(const QString &text)
{
    if (!text.isEmpty())
        m_shell.openUrl(text);
}
