#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class AppPaths;
class QThread;
class UserDialogs;

// What to do when the destination already holds a file of the same name;
// the values are the option indices of the copy/move window.
enum class CollisionRule {
    Skip = 1,
    Overwrite = 2,
    Rename = 3,
    OverwriteWhenSizeAndTimeEqual = 4, // else rename
    OverwriteWhenSizeEqual = 5, // else rename
};

// Every copy is written in pieces to an unnamed file beside its target and
// named only when complete, so nothing is replaced by a part of a copy. A
// copy keeps its source's permission bits and modification time (as the
// size-and-time rule expects of a copy), and its source's name exactly.

// Copies source to target, replacing what stands there (a link itself, never
// the file it points to).
bool CopyFileWhole(const QString &source, const QString &target);

// Copies source into folder (ending "/") under the first free name of
// stem.ext, stem[001].ext, stem[002].ext ..., where stem is the source's name
// before its last dot, without a trailing counter in brackets, and ".ext" the
// rest of the name as it stands. The base name is never cut, and a name that
// is taken meanwhile is never replaced: the next counter is tried. *newName
// gets the numbered name used, or stays empty when stem.ext was free.
bool 复制相同文件自动重命名(
    const QString &source, const QString &folder, QString *newName = nullptr);

enum class PlaceOutcome {
    AlreadyThere, // the source lies in the destination folder
    Copied, // no file of that name was there
    Overwritten,
    Renamed,
    Skipped, // by the rule, or no rule chosen
    Failed,
};

// One file of a run: places source into destination (ending "/") by the
// option index (1 to 5; any other value does nothing on a collision). In move
// mode the source is deleted only when the copy just made is in place, so a
// skipped or failed file keeps its source. Runs on a worker thread.
PlaceOutcome PlaceFile(const QString &source, const QString &destination, int opIndex, bool move);

// The copy/move run behind the window Form_Copy_Move: the caller fills
// SourceFiles and MoveMode, the window keeps the box text and the option in
// step and calls 执行 on each start click. Each file is copied on a worker
// thread, one after the other, so the window stays responsive while a large
// file is copied.
class CopyMoveTool : public QObject
{
    Q_OBJECT
public:
    CopyMoveTool(UserDialogs &dialogs, const AppPaths &paths, QObject *parent = nullptr);
    ~CopyMoveTool() override;

    QStringList SourceFiles;
    bool MoveMode = false;

    // "移动文件..." or "复制文件...".
    QString caption() const;
    // A copy of files another window hands over: they join SourceFiles, the
    // run copies, and handedOverCaption() names how many there are.
    void copyHandedOver(const QStringList &files);
    // "复制文件：12 个文件...", the caption that replaces caption() then.
    QString handedOverCaption() const;

    // Reads the folder history, the destination and the option, as the
    // window does when it opens.
    void load();
    QStringList history() const { return m_history; }
    QString boxText() const { return m_boxText; }
    void setBoxText(const QString &text) { m_boxText = text; }
    int opIndex() const { return m_opIndex; }
    void setOpIndex(int index) { m_opIndex = index; }

    // True from a start until the last file is handled or a stop is seen.
    bool isRunning() const { return m_active; }
    // CopyRunning: false once a stop was requested.
    bool copyRunning() const { return m_copyRunning; }
    QString destination() const { return m_destination; }

    // A start click, or a stop click while a run is active.
    void 执行(bool showMessage);
    // Lets the current file finish and the run end without its message.
    void stopQuietly();

Q_SIGNALS:
    void boxTextChanged(const QString &text);
    void historyChanged();
    void progressChanged(int value, int maximum);
    void currentFileChanged(const QString &name);
    // Start button caption: true "停止", false "开始".
    void runningChanged(bool running);
    void runFinished();

private:
    void nextFile();
    void fileDone();
    void finishRun();
    void setCurrentFile(const QString &name);

    UserDialogs &m_dialogs;
    const AppPaths &m_paths;
    QStringList m_history;
    QString m_boxText;
    int m_opIndex = 4;
    QString m_destination;

    bool m_active = false;
    bool m_copyRunning = false;
    bool m_showMessage = false;
    QStringList m_runFiles; // the files of this run, fixed at its start
    int m_position = 0;
    int m_maximum = 0;
    QThread *m_worker = nullptr;
};
