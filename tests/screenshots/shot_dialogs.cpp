#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "app/ui/frmAbout.h"
#include "common/WindowNames.h"
#include "download/ui/fOption.h"
#include "download/ui/fSeleFileSavePath.h"

#include <QDir>
#include <QMessageBox>

namespace {

void shootOptions(ShotContext &context)
{
    fOption dialog(context.windows.services());
    context.save(&dialog, QStringLiteral("options-dialog"));
}

void shootSaveFolder(ShotContext &context)
{
    fSeleFileSavePath dialog(context.windows.services());
    context.save(&dialog, QStringLiteral("save-folder-dialog"));
}

void shootAbout(ShotContext &context)
{
    frmAbout dialog;
    context.save(&dialog, QStringLiteral("about-box"));
}

// The question the download window asks when it closes during a run, as the
// real dialogs show it.
void shootCloseQuestion(ShotContext &context)
{
    QMessageBox box(QMessageBox::Question, WindowCaption(QStringLiteral("文件下载")),
        QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？"),
        QMessageBox::Yes | QMessageBox::No);
    context.save(&box, QStringLiteral("close-question"));
}

} // namespace

QUILLMOOR_SHOT(c_options, shootOptions);
QUILLMOOR_SHOT(d_save_folder, shootSaveFolder);
QUILLMOOR_SHOT(e_about, shootAbout);
QUILLMOOR_SHOT(f_close_question, shootCloseQuestion);
