#pragma once

#include <QString>

// Where the program keeps its own files (SaveList.dat, the notice sounds) and
// the lists kept between runs.
class AppPaths
{
public:
    virtual ~AppPaths() = default;
    // Ends without a separator.
    virtual QString programFolder() const = 0;
    // The per-user data folder, for the lists kept between runs; it may not
    // exist yet.
    virtual QString dataFolder() const = 0;
    QString saveListPath() const;
};

// The executable's folder when it is writable, else the per-user data folder.
// A folder named "bin" is a shared folder of installed programs (/usr/bin,
// /usr/local/bin, ~/.local/bin, any install prefix), never one program's own:
// an installed program keeps its files in the per-user data folder even where
// it could write beside itself (as root, or installed into the home folder).
class SystemAppPaths final : public AppPaths
{
public:
    QString programFolder() const override;
    // QStandardPaths::AppDataLocation.
    QString dataFolder() const override;
    // The rule above for a given executable folder; dataFolder is the fallback.
    static QString chooseProgramFolder(const QString &executableFolder, const QString &dataFolder);
};

// Fixed folders: tests and anything that wants to redirect the program's
// files. The data folder is the program folder unless given.
class FixedAppPaths final : public AppPaths
{
public:
    explicit FixedAppPaths(QString folder, QString dataFolder = {})
        : m_folder(std::move(folder)),
          m_dataFolder(dataFolder.isEmpty() ? m_folder : std::move(dataFolder))
    { }
    QString programFolder() const override { return m_folder; }
    QString dataFolder() const override { return m_dataFolder; }

private:
    QString m_folder;
    QString m_dataFolder;
};
