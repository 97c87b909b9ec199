#pragma once

#include <QString>
#include <QStringList>

class AppPaths;
class UserDialogs;
struct AppValues;

// The save-folder dialog "选择下载保存路径" as values: the folder box with its
// history and the naming choice.
struct SaveFolderForm
{
    QStringList history; // entries of the folder box Combo1
    QString folderText; // the folder box's text
    bool useOriginalFileName = false; // Option1 "原文件名"; else "文章标题名称"
};

// The dialog as it opens: the naming choice from the shared values, the
// history from SaveList.dat, and the stored save folder, which also becomes
// the shared SaveFolder.
SaveFolderForm openSaveFolderForm(AppValues &values, const AppPaths &paths);

// "确定": true when the dialog may close. The naming choice is taken first,
// even when the folder is then rejected. The folder is created as needed; an
// empty, relative or uncreatable folder shows "文件夹设置错误！", leaves the
// box empty and answers false. On success SaveFolder (ending with "/") is
// stored, the dialog counts as not cancelled, and the folder is appended to
// the history, which is written to SaveList.dat.
bool confirmSaveFolder(
    SaveFolderForm &form, AppValues &values, const AppPaths &paths, UserDialogs &dialogs);

// "取消".
void cancelSaveFolder(AppValues &values);

// The folder a folder picker opens at for `initial`: the parent of the given
// folder ("/papers/new/" and "/papers/new" both give "/papers/"), and the
// root for an empty text or when that folder does not exist.
QString BrowseStartFolder(const QString &initial);
// The picker's answer as the folder box's new text: the picked folder with a
// final "/", or the initial text unchanged when nothing was picked.
QString BrowseResult(const QString &initial, const QString &picked);
