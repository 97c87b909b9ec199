#include "download/SaveFolderChoice.h"

#include "common/AppValues.h"
#include "common/FileNameHelpers.h"
#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"
#include "platform/AppPaths.h"
#include "platform/UserDialogs.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString withSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

SaveFolderForm openSaveFolderForm(AppValues &values, const AppPaths &paths)
{
    SaveFolderForm form;
    form.useOriginalFileName = values.UseOriginalFileName;
    LoadComboList(form.history, paths.saveListPath());
    values.SaveFolder = ReadSetting(Settings::SaveFolder, paths);
    form.folderText = values.SaveFolder;
    return form;
}

bool confirmSaveFolder(
    SaveFolderForm &form, AppValues &values, const AppPaths &paths, UserDialogs &dialogs)
{
    values.UseOriginalFileName = form.useOriginalFileName;
    const QString typed = TrimSpaces(form.folderText);
    // A relative folder would land wherever the program happened to start.
    QString created;
    if (!typed.isEmpty() && QDir::isAbsolutePath(typed))
        created = CreateFolderPath(withSeparator(typed), dialogs);
    form.folderText = created;
    if (created.isEmpty()) {
        dialogs.message(QStringLiteral("文件夹设置错误！"), UserDialogs::Style::Error);
        return false;
    }
    values.SaveFolder = withSeparator(created);
    WriteSetting(Settings::SaveFolder, values.SaveFolder);
    values.SaveFolderDialogCancelled = false;
    form.history.append(TrimSpaces(created));
    SaveComboList(form.history, paths.saveListPath());
    return true;
}

void cancelSaveFolder(AppValues &values)
{
    values.SaveFolderDialogCancelled = true;
}

QString BrowseStartFolder(const QString &initial)
{
    QString start = TrimSpaces(initial).isEmpty() ? QDir::rootPath() : initial;
    const qsizetype slash = start.left(start.size() - 1).lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        start = start.left(slash + 1);
    if (!QFileInfo(start).isDir())
        start = QDir::rootPath();
    return start;
}

QString BrowseResult(const QString &initial, const QString &picked)
{
    const QString result = picked.isEmpty() ? initial : QDir::fromNativeSeparators(picked);
    return result.isEmpty() ? result : withSeparator(result);
}
