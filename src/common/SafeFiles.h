#pragma once

#include <QByteArray>
#include <QString>

// File-system rules every download follows:
// - nothing is written through a symbolic link at a target path: files are
//   created with O_EXCL and O_NOFOLLOW and moved into place with link and
//   rename, which act on the name itself;
// - a name a running transfer reserved stays taken, for this process and any
//   other, until that transfer ends; a reservation left by a transfer that no
//   longer runs is no file at all;
// - a body grows in an unnamed file beside its target, so a crash or a kill
//   leaves neither a partial body under the final name nor a temporary file.

// The two bytes of a reserved name's placeholder (the 16-bit integer 1).
inline constexpr char kPlaceholderBytes[] = { '\x01', '\x00' };

// True when something other than a folder stands at the path: a file, a
// symbolic link (dangling or not) or any other entry. A placeholder whose
// transfer no longer runs does not count.
bool NameTaken(const QString &path);

// True when the path holds a placeholder (the bytes 01 00) that no running
// transfer, in this process or another, holds.
bool IsDeadPlaceholder(const QString &path);

// Removes the placeholder of a transfer that no longer runs; true when one
// was there and is gone.
bool RemoveDeadPlaceholder(const QString &path);

// Names reserved by this process's running transfers. A reservation is a
// placeholder at the name, locked for as long as it is held, so every other
// transfer (here or in another process) sees the name taken; reservations in
// one folder share one file, so reserving creates no new file.
namespace NameReservations {
// Places a placeholder at the path when nothing stands there (a dead
// placeholder is cleared first). False when the name is taken or the
// placeholder cannot be made; *error gets the reason then.
bool reserve(const QString &path, QString *error = nullptr);
// Removes the placeholder of a reservation of this process that still
// stands at the path; anything else there is left alone.
void release(const QString &path);
// Ends this process's reservation of the path: true when its placeholder
// still stood there and is now gone, so the name is free for this transfer's
// own file.
bool take(const QString &path);
} // namespace NameReservations

// The body of one download: an unnamed file in the target's folder (or, where
// the file system has none, a short-named hidden one that is removed unless
// placed). It gets the permissions of any new file (0666 less the umask).
class BodyFile
{
public:
    BodyFile();
    ~BodyFile();
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Opens a new body file in the folder of targetPath.
    bool open(const QString &targetPath);
    // Takes up the plain file at `path` (never through a link) to write on at
    // its end; the file is locked while it is open, so two transfers never
    // write it at once. False when it is missing, no plain file, or locked.
    // Until it is placed or kept, discard() removes it.
    bool adopt(const QString &path);
    bool isOpen() const { return m_fd >= 0; }
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Empties the file for a new start.
    bool truncate();
    qint64 size() const { return m_size; }
    // Up to `length` bytes at `offset` (fewer at the end or on failure).
    QByteArray readAt(qint64 offset, qint64 length) const;

    enum class Mode {
        NoReplace, // fails with "taken" when anything stands at the path
        Replace // replaces what stands there (never writing through a link)
    };
    enum class Result { Placed, Taken, Failed };
    // Gives the body the path as its name. After Placed the body file is
    // closed and no longer owned; after Taken nothing changed.
    Result place(const QString &path, Mode mode);
    // Before placing: the body gets the permission bits (without set-id
    // bits) and the modification time of the open file `sourceFd`, as a
    // copy keeps its source's.
    bool keepModeAndTimeOf(int sourceFd);
    // The file system's error text of the last failure.
    QString errorText() const { return m_error; }
    // Drops the body (nothing of it stays on disk).
    void discard();
    // Keeps the body under the hidden name `path` (replacing what stands
    // there) instead of dropping it; closed and no longer owned afterwards.
    bool keepAs(const QString &path);
    // The folder the body file lives in.
    QString folder() const { return m_folder; }

private:
    bool linkTo(const QString &path, int *err);

    int m_fd = -1;
    QString m_folder;
    QString m_tempName; // only when the file system has no unnamed files
    qint64 m_size = 0;
    // The first bytes of the body, kept as they are written: the type check
    // reads them, and small bodies are read whole, without asking the disk.
    static constexpr qint64 kKeptHead = 16 * 1024;
    QByteArray m_head;
    QString m_error;
};

// The file system's text for an errno value.
QString FileErrorText(int err);

// Removing inside folders that other users control. `top` is trusted as it
// is; every folder below it on the way to a path is opened without following
// a symbolic link, so a link planted anywhere on the way, or swapped in
// meanwhile, cannot lead outside. A path that does not lie below `top` is
// never touched.

// True when `folder` is a real folder below `top` and neither it nor any
// folder between them is a link.
bool IsPlainFolderBeneath(const QString &top, const QString &folder);

enum class RemoveWhat { File, EmptyFolder };
// Removes the entry at `path` (a link there is removed itself, never what it
// points to); false when it is not there, a folder on the way is a link, or
// the file system refuses.
bool RemoveBeneath(const QString &top, const QString &path, RemoveWhat what = RemoveWhat::File);
