#include "copytool/CopyMoveTool.h"

#include "common/FileNameHelpers.h"
#include "common/SafeFiles.h"
#include "common/SettingsStore.h"
#include "common/TextMode.h"
#include "common/TrimSpaces.h"
#include "platform/AppPaths.h"
#include "platform/UserDialogs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {

constexpr qint64 kPiece = 1 << 20;

// A copy keeps its source's name exactly: no trimming, and a full-width dot
// is a character like any other.
QString exactName(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

// Reads the source into a new body file beside `target`, with the source's
// permission bits and modification time.
bool copyIntoBody(const QString &source, const QString &target, BodyFile &body)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !body.open(target))
        return false;
    // Read to the end, not to the size seen at the start: a file that still
    // grows, or a pipe, is copied whole.
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty())
            break;
        if (!body.write(piece))
            return false;
    }
    return in.error() == QFileDevice::NoError && body.keepModeAndTimeOf(in.handle());
}

// The stem and the rest of a name for the counter: split at the last dot
// (text mode) when fewer than 7 characters follow it and the stem is more
// than spaces; the dot and what follows stay as they are. A counter in
// brackets at the stem's end goes, so report[007].pdf is tried as report.pdf.
void splitForCounter(const QString &name, QString *stem, QString *rest)
{
    const qsizetype dot = textLastIndexOf(name, u".");
    if (dot > 0 && name.size() - dot - 1 < 7
        && !TrimSpaces(QStringView(name).first(dot)).isEmpty()) {
        *stem = name.left(dot);
        *rest = name.mid(dot);
    } else {
        *stem = name;
        rest->clear();
    }
    QString plain;
    SplitBracketNumber(*stem, &plain);
    *stem = plain;
}

// Places the body under the first free name of stem+rest, stem[001]+rest,
// stem[002]+rest ... in `folder`. A name is never replaced, not even one that
// appeared after it was found free: the next counter is tried then.
bool placeRenamed(
    BodyFile &body, const QString &sourceName, const QString &folder, QString *newName)
{
    QString stem;
    QString rest;
    splitForCounter(sourceName, &stem, &rest);
    for (int n = 0;; ++n) {
        const QString counter
            = n == 0 ? QString() : QStringLiteral("[%1]").arg(n, 3, 10, QLatin1Char('0'));
        const QString name = stem + counter + rest;
        if (NameTaken(folder + name))
            continue;
        switch (body.place(folder + name, BodyFile::Mode::NoReplace)) {
        case BodyFile::Result::Placed:
            if (newName)
                *newName = n == 0 ? QString() : name;
            return true;
        case BodyFile::Result::Taken:
            continue;
        case BodyFile::Result::Failed:
            return false;
        }
    }
}

} // namespace

bool CopyFileWhole(const QString &source, const QString &target)
{
    BodyFile body;
    return copyIntoBody(source, target, body)
        && body.place(target, BodyFile::Mode::Replace) == BodyFile::Result::Placed;
}

bool 复制相同文件自动重命名(const QString &source, const QString &folder, QString *newName)
{
    if (newName)
        newName->clear();
    if (!FileExists(source))
        return false;
    const QString name = exactName(source);
    BodyFile body;
    return copyIntoBody(source, folder + name, body) && placeRenamed(body, name, folder, newName);
}

PlaceOutcome PlaceFile(const QString &source, const QString &destination, int opIndex, bool move)
{
    if (SameFolder(folderOf(source), destination))
        return PlaceOutcome::AlreadyThere;
    const QString name = exactName(source);
    const QString target = destination + name;

    BodyFile body;
    PlaceOutcome outcome = PlaceOutcome::Failed;
    bool placed = false;
    if (!NameTaken(target)) {
        if (!copyIntoBody(source, target, body))
            return PlaceOutcome::Failed;
        // A file that appeared at the name meanwhile is a collision like any other.
        const BodyFile::Result result = body.place(target, BodyFile::Mode::NoReplace);
        if (result == BodyFile::Result::Failed)
            return PlaceOutcome::Failed;
        placed = result == BodyFile::Result::Placed;
        outcome = PlaceOutcome::Copied;
    }
    if (!placed) {
        bool overwrite = false;
        bool rename = false;
        const QFileInfo from(source);
        const QFileInfo there(target);
        switch (opIndex) {
        case int(CollisionRule::Skip):
            return PlaceOutcome::Skipped;
        case int(CollisionRule::Overwrite):
            overwrite = true;
            break;
        case int(CollisionRule::Rename):
            rename = true;
            break;
        case int(CollisionRule::OverwriteWhenSizeAndTimeEqual):
            overwrite = from.size() == there.size() && from.lastModified() == there.lastModified();
            rename = !overwrite;
            break;
        case int(CollisionRule::OverwriteWhenSizeEqual):
            overwrite = from.size() == there.size();
            rename = !overwrite;
            break;
        default:
            return PlaceOutcome::Skipped;
        }
        if (!body.isOpen() && !copyIntoBody(source, target, body))
            return PlaceOutcome::Failed;
        if (overwrite) {
            // The file there is replaced only by the complete copy.
            placed = body.place(target, BodyFile::Mode::Replace) == BodyFile::Result::Placed;
            outcome = PlaceOutcome::Overwritten;
        } else if (rename) {
            placed = placeRenamed(body, name, destination, nullptr);
            outcome = PlaceOutcome::Renamed;
        }
    }
    if (!placed)
        return PlaceOutcome::Failed;
    if (move)
        QFile::remove(source);
    return outcome;
}

CopyMoveTool::CopyMoveTool(UserDialogs &dialogs, const AppPaths &paths, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_paths(paths)
{ }

CopyMoveTool::~CopyMoveTool()
{
    // A file being copied is finished first; nothing is left half-written.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void CopyMoveTool::copyHandedOver(const QStringList &files)
{
    SourceFiles += files;
    MoveMode = false;
}

QString CopyMoveTool::handedOverCaption() const
{
    return QStringLiteral("复制文件：") + QString::number(SourceFiles.size())
        + QStringLiteral(" 个文件...");
}

QString CopyMoveTool::caption() const
{
    return MoveMode ? QStringLiteral("移动文件...") : QStringLiteral("复制文件...");
}

void CopyMoveTool::load()
{
    m_history.clear();
    LoadComboList(m_history, m_paths.saveListPath());
    m_boxText = ReadSetting(Settings::CopyMoveDestination, m_paths);
    m_opIndex = ReadSetting(Settings::CopyMoveOption).trimmed().toInt();
    Q_EMIT historyChanged();
    Q_EMIT boxTextChanged(m_boxText);
}

void CopyMoveTool::执行(bool showMessage)
{
    const QString folder = CreateFolderPath(m_boxText, m_dialogs);
    m_boxText = folder;
    Q_EMIT boxTextChanged(m_boxText);
    if (folder.isEmpty()) {
        m_dialogs.message(QStringLiteral("创建文件夹出错！"), UserDialogs::Style::Error);
        return;
    }
    if (!m_boxText.endsWith(u'/')) {
        m_boxText += u'/';
        Q_EMIT boxTextChanged(m_boxText);
    }
    m_destination = m_boxText;
    WriteSetting(Settings::CopyMoveDestination, m_destination);
    WriteSetting(Settings::CopyMoveOption, QString::number(m_opIndex));

    const QString trimmed = TrimSpaces(m_boxText);
    bool known = false;
    for (const QString &entry : std::as_const(m_history))
        known = known || entry.toLower() == trimmed.toLower();
    if (!known) {
        m_history.append(trimmed);
        Q_EMIT historyChanged();
    }
    SaveComboList(m_history, m_paths.saveListPath());
    setCurrentFile({});

    SourceFiles.removeIf([](const QString &path) { return !FileExists(path); });
    if (SourceFiles.isEmpty())
        return;

    if (m_copyRunning) {
        m_copyRunning = false;
        Q_EMIT runningChanged(false);
        return;
    }
    // A stop was asked and the last file is still being finished.
    if (m_active)
        return;

    m_active = true;
    m_copyRunning = true;
    m_showMessage = showMessage;
    m_runFiles = SourceFiles;
    m_position = 0;
    m_maximum = int(m_runFiles.size()) + 1;
    Q_EMIT runningChanged(true);
    Q_EMIT progressChanged(0, m_maximum);
    nextFile();
}

void CopyMoveTool::stopQuietly()
{
    m_showMessage = false;
    if (m_copyRunning) {
        m_copyRunning = false;
        Q_EMIT runningChanged(false);
    }
}

void CopyMoveTool::nextFile()
{
    if (!m_copyRunning || m_position >= m_runFiles.size()) {
        finishRun();
        return;
    }
    const QString source = m_runFiles.at(m_position);
    ++m_position;
    Q_EMIT progressChanged(m_position, m_maximum);
    if (SameFolder(folderOf(source), m_destination)) {
        fileDone();
        return;
    }
    setCurrentFile(exactName(source));

    const QString destination = m_destination;
    const int opIndex = m_opIndex;
    const bool move = MoveMode;
    m_worker = QThread::create(
        [source, destination, opIndex, move] { PlaceFile(source, destination, opIndex, move); });
    connect(m_worker, &QThread::finished, this, [this] {
        delete m_worker;
        m_worker = nullptr;
        fileDone();
    });
    m_worker->start();
}

void CopyMoveTool::fileDone()
{
    // Through the event loop, so clicks queued during the file are seen first.
    QMetaObject::invokeMethod(this, &CopyMoveTool::nextFile, Qt::QueuedConnection);
}

void CopyMoveTool::finishRun()
{
    const bool wasRunning = m_copyRunning;
    m_active = false;
    m_copyRunning = false;
    Q_EMIT progressChanged(0, m_maximum);
    setCurrentFile({});
    if (wasRunning)
        Q_EMIT runningChanged(false);
    if (m_showMessage) {
        m_dialogs.message(
            MoveMode ? QStringLiteral("移动文件完成！") : QStringLiteral("复制文件完成！"),
            UserDialogs::Style::Information);
    }
    Q_EMIT runFinished();
}

void CopyMoveTool::setCurrentFile(const QString &name)
{
    Q_EMIT currentFileChanged(name);
}
