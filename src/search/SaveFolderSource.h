#pragma once

#include <QString>

#include <functional>

// The shared save-folder values the extraction and the analysis run read,
// and the save-folder dialog that sets them. The program answers from its
// shared values and its dialog; the command line and tests from plain values.
class SaveFolderSource
{
public:
    virtual ~SaveFolderSource() = default;

    // True: the folder is asked when entries are taken from a page; false:
    // when an analysis run starts.
    virtual bool askOnExtract() const = 0;
    virtual QString saveFolder() const = 0;
    virtual bool useOriginalFileName() const = 0;
    virtual bool dialogCancelled() const = 0;
    // Shows the save-folder dialog and returns when it is closed; it sets the
    // values above.
    virtual void askSaveFolder() = 0;
};

// Plain values; the dialog is a function (by default it changes nothing and
// counts as confirmed).
class SaveFolderValues final : public SaveFolderSource
{
public:
    bool askOnExtract() const override { return AskOnExtract; }
    QString saveFolder() const override { return SaveFolder; }
    bool useOriginalFileName() const override { return UseOriginalFileName; }
    bool dialogCancelled() const override { return DialogCancelled; }
    void askSaveFolder() override
    {
        ++DialogsShown;
        if (Dialog)
            Dialog(*this);
    }

    bool AskOnExtract = false;
    QString SaveFolder;
    bool UseOriginalFileName = false;
    bool DialogCancelled = false;
    int DialogsShown = 0;
    std::function<void(SaveFolderValues &)> Dialog;
};
