#include "copytool/CopyMoveTool.h"

#include "common/FileNameHelpers.h"
#include "common/PartFile.h"
#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"
#include "platform/AppPaths.h"
#include "platform/UserDialogs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

namespace {

constexpr qint64 kPiece = 1 << 20;

QString nameWithExtension(const QString &base, const QString &extension)
{
    return extension.isEmpty() ? base : base + u'.' + extension;
}

} // namespace

bool CopyFileWhole(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QDateTime modified = QFileInfo(source).lastModified();
    auto part = createPartFile(target);
    if (!part)
        return false;
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty())
            break;
        if (part->write(piece) != piece.size())
            return false; // the part file goes with `part`
    }
    if (!in.atEnd() || !part->flush())
        return false;
    part->setFileTime(modified, QFileDevice::FileModificationTime);
    return placePartFile(part, target);
}

bool 复制相同文件自动重命名(const QString &source, const QString &folder, QString *newName)
{
    if (newName)
        newName->clear();
    if (!FileExists(source))
        return false;
    QString extension;
    QString base;
    SplitPath(source, &extension, &base);
    QString stem;
    SplitBracketNumber(base, &stem);
    QString candidate = folder + nameWithExtension(stem, extension);
    QString name;
    for (int n = 1; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n) {
        name = nameWithExtension(
            stem + QStringLiteral("[%1]").arg(n, 3, 10, QLatin1Char('0')), extension);
        candidate = folder + name;
    }
    if (!CopyFileWhole(source, candidate))
        return false;
    if (newName)
        *newName = name;
    return true;
}

PlaceOutcome PlaceFile(const QString &source, const QString &destination, int opIndex, bool move)
{
    QString extension;
    QString base;
    const QString folder = SplitPath(source, &extension, &base);
    if (SameFolder(folder, destination))
        return PlaceOutcome::AlreadyThere;
    const QString target = destination + nameWithExtension(base, extension);

    PlaceOutcome outcome = PlaceOutcome::Failed;
    bool placed = false;
    if (!FileExists(target) && !QFileInfo(target).isSymLink()) {
        placed = CopyFileWhole(source, target);
        outcome = PlaceOutcome::Copied;
    } else {
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
        if (overwrite) {
            // The file there is replaced only once the copy is complete.
            placed = CopyFileWhole(source, target);
            outcome = PlaceOutcome::Overwritten;
        } else if (rename) {
            placed = 复制相同文件自动重命名(source, destination);
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
    QString extension;
    QString base;
    const QString folder = SplitPath(source, &extension, &base);
    if (SameFolder(folder, m_destination)) {
        fileDone();
        return;
    }
    setCurrentFile(nameWithExtension(base, extension));

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
