#pragma once

#include <QString>

// Where the program keeps its own files (SaveList.dat, the notice sounds).
class AppPaths
{
public:
    virtual ~AppPaths() = default;
    // Ends without a separator.
    virtual QString programFolder() const = 0;
    QString saveListPath() const;
    // Where lists kept between runs are saved: the per-user data folder.
    virtual QString dataFolder() const;
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
    // The rule above for a given executable folder; dataFolder is the fallback.
    static QString chooseProgramFolder(const QString &executableFolder, const QString &dataFolder);
};

// A fixed folder: tests and anything that wants to redirect the program
// folder. The kept lists are saved there too.
class FixedAppPaths final : public AppPaths
{
public:
    explicit FixedAppPaths(QString folder) : m_folder(std::move(folder)) { }
    QString programFolder() const override { return m_folder; }
    QString dataFolder() const override { return m_folder; }

private:
    QString m_folder;
};
