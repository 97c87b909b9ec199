#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class DownloadList;
class DownloadScheduler;
class QRandomGenerator;
class Shell;
class UserDialogs;

// The commands of the download window's list menu "列表操作(&D)" (also the
// list's pop-up menu), its header clicks, clicks and double clicks, and the
// list tools of the menu "工具(&T)". Each method runs the command's busy test,
// asks what must be asked, does the operation and shows the closing message;
// the window only connects its menus and the view's signals to them. Rows are
// positions in the list; the selection itself belongs to the view.
class DownloadListCommands : public QObject
{
    Q_OBJECT
public:
    // The three ways the list operations decide that downloading is active.
    struct BusyTests
    {
        // The scheduler runs, the single connection executes, or a
        // multi-connection transfer exists.
        std::function<bool()> downloadsActive;
        // The scheduler runs, or a transfer holds TransferBusy.
        std::function<bool()> runningOrTransferBusy;
        // A transfer holds TransferBusy.
        std::function<bool()> transferBusy;
    };
    // The busy tests of one download window, read from its scheduler.
    static BusyTests busyTestsOf(DownloadScheduler &scheduler);

    DownloadListCommands(DownloadList &list, UserDialogs &dialogs, Shell &shell, BusyTests busy,
        QObject *parent = nullptr);

    // The shuffle draws from this generator; by default the system's.
    void setRandomGenerator(QRandomGenerator *generator);

    // Entry states of the list menu by the right-button rule (Busy-B), taken
    // each time the menu or its pop-up opens.
    struct MenuStates
    {
        bool clearEnabled; // submenu "清除"
        bool emptyEnabled; // "清空"
        bool selectAllEnabled; // "全选"
        bool stopEnabled; // "停止下载"
    };
    MenuStates menuStates() const;

    // Column header click: sorts by that column in the opposite of the last
    // order (the list starts as ascending, so the first click sorts
    // descending). Numbers sort as numbers, texts after them. False when
    // refused while downloading.
    bool sortByColumn(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // "随机排序列表(打乱)".
    bool shuffle();

    // Submenu "重新下载"; each answers the number of rows queued again.
    int requeueSelected(const QList<int> &rows); // "选中项"
    int requeueFailed(); // "出错项"
    int requeueWebPages(); // "网页类型文件(HTM/HTML/xml)项"
    int requeueFailedAndWebPages(); // "重新下载出错项和网页类型文件项"
    int requeueSmallerThan(); // "文件大小小于指定数字的项" (asks for the number)

    // Submenu "清除" and "清空"; each answers the number of rows removed.
    int clearSelected(const QList<int> &rows); // "选中项"
    // The Delete key: asks "确定要从列表中清除选中的N项吗？", then clears as
    // "选中项" does. Nothing selected: nothing happens.
    int clearSelectedAsking(const QList<int> &rows);
    int clearFailed(); // "全部出错项"
    int clearCompleted(); // "完成项"
    int clearAll(); // "清空" (asks first)

    // Submenu "删除文件"; each answers the number of rows emptied.
    int deleteWebPageFiles(); // "网页类型文件(HTM/HTML/xml)项"
    int deleteFailedFiles(); // "出错项"

    // "取消下载选中项": the selected waiting rows fail. The number cancelled.
    int cancelSelected(const QList<int> &rows);
    // "检查文件是否存在": the number of rows whose file is missing.
    int checkFiles();

    // Commands on one row (the view's current selected row, or -1).
    void openFile(int row); // "打开下载文件"
    // The Enter key: a completed row's file opens as "打开下载文件" opens it;
    // other rows do nothing.
    void openFinishedFile(int row);
    void openFolder(int row); // "打开所在文件夹"
    void openAsText(int row); // "用记事本打开文件"
    void copyName(int row); // "复制名称"

    // Submenu "导出名称": "全部" and "未完成项". True when a file was written.
    bool exportAllNames();
    bool exportUnfinishedNames();

    // The replace button of "网址批量替换": false (and a message) when the
    // text to find is empty, and the dialog stays; otherwise every address is
    // replaced, closeDialog runs and the closing message follows.
    bool replaceUrls(const QString &find, const QString &replacement,
        const std::function<void()> &closeDialog = {});

    // "检查并纠正磁盘文件类型" and "打开文件判断类型".
    int correctFileTypes();
    void showFileType();

    // Double click on a row: a completed row's file opens, a failed row waits
    // again; -1 (no row) and other rows do nothing.
    void doubleClicked(int row);
    // Click on a row: the text of status-bar panel 2, the row's file path
    // when the file exists, else empty.
    QString clickedPanelText(int row) const;
    // Click on status-bar panel 2: its text, when not empty, opens as an
    // address in the web browser.
    void openPanelAddress(const QString &text);

    // "12条": the row count as Label1 shows it.
    static QString rowCountText(int rows);

Q_SIGNALS:
    // Label1 gets a new text after a clear.
    void rowCountTextChanged(const QString &text);

private:
    bool refuseWhile(bool busy, const QString &message, bool error = false);
    bool exportNames(bool unfinishedOnly);
    void announceRowCount();
    // The busy test, the removal, the new row count: the clear commands' frame.
    int clearRows(const std::function<int()> &remove);
    // The row's saved-file path when the row exists and its file is there.
    bool rowFile(int row, QString *path) const;

    DownloadList &m_list;
    UserDialogs &m_dialogs;
    Shell &m_shell;
    BusyTests m_busy;
    QRandomGenerator *m_random;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
