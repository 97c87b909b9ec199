#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The lists that are kept between runs, each in a file of its own.
enum class StoredList {
    Analysis, // the to-analyse list: analysis-list.json, kind "analysis"
    Download // the download list: download-list.json, kind "download"
};

// One saved list: a versioned JSON file
//   {"format":"quillmoor-list","kind":"analysis","version":1,"rows":[{...}, ...]}
// written whole or not at all. The rows are JSON objects; what they hold is the
// business of each list's conversions. A file of another kind, of a newer
// version, larger than kLargestFile or not of this form is refused with a
// clear error and gives no rows.
class ListStore
{
public:
    static constexpr int kFormatVersion = 1;
    // Larger files are neither read nor written.
    static constexpr qint64 kLargestFile = qint64(256) * 1024 * 1024;

    // The list's file in `folder`; an empty folder means the per-user data
    // folder (QStandardPaths::AppDataLocation), created when a list is saved.
    explicit ListStore(StoredList list, const QString &folder = {});

    QString filePath() const { return m_path; }
    // "analysis" or "download", as written in the file.
    QString kind() const { return m_kind; }

    // True when a saved list (a file) is there; it may still be unreadable.
    bool exists() const;
    // The saved rows; an empty list when nothing is saved. Nullopt, with the
    // reason in *error, when the file cannot be read or is refused.
    std::optional<QList<QJsonObject>> load(QString *error = nullptr) const;
    // How many rows the saved list holds (0 when nothing is saved); nullopt as
    // load() gives it.
    std::optional<qsizetype> rowCount(QString *error = nullptr) const;
    // Replaces the saved list with these rows. On failure the earlier file is
    // left as it was, and *error gets the reason.
    bool save(const QList<QJsonObject> &rows, QString *error = nullptr) const;
    // Deletes the saved list; true when none is there afterwards.
    bool remove(QString *error = nullptr) const;

private:
    QString m_kind;
    QString m_path;
};
