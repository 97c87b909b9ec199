#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "app/ui/frmAbout.h"
#include "download/ui/fOption.h"
#include "download/ui/fSeleFileSavePath.h"

#include <QDir>

namespace {

void shootOptions(ShotContext &context)
{
    fOption dialog(context.windows);
    context.save(&dialog, QStringLiteral("options-dialog"));
}

void shootSaveFolder(ShotContext &context)
{
    fSeleFileSavePath dialog(context.windows);
    context.save(&dialog, QStringLiteral("save-folder-dialog"));
}

void shootAbout(ShotContext &context)
{
    frmAbout dialog;
    context.save(&dialog, QStringLiteral("about-box"));
}

} // namespace

QUILLMOOR_SHOT(c_options, shootOptions);
QUILLMOOR_SHOT(d_save_folder, shootSaveFolder);
QUILLMOOR_SHOT(e_about, shootAbout);
