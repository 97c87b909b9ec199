#include "FixtureServer.h"
#include "LoginSite.h"
#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

// The download window with its login panel open on the members' login page
// of the fixture site, the account filled in, before "测试登录".
void shootLoginPanel(ShotContext &context)
{
    LoginSite::install(context.site);
    fFileDownload *window = context.windows.openDownloadWindow();
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    window->setWindowState(Qt::WindowNoState);
    window->setGeometry(screen);
    const char *const titles[] = {
        "Soil microbial respiration under drought",
        "高寒草甸土壤有机碳的稳定机制",
        "Sediment transport in braided rivers",
    };
    int n = 0;
    for (const char *title : titles) {
        window->list().addItem(
            context.site.urlText(QStringLiteral("/members/pdf/paper-%1.pdf").arg(++n)),
            QString::fromUtf8(title), QStringLiteral("pdf"),
            context.workFolder + QStringLiteral("文献/"), {});
    }
    window->show();

    window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    const QString address = context.site.urlText(QStringLiteral("/members/login"));
    window->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(address);
    window->findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(LoginSite::Account);
    window->findChild<QLineEdit *>(QStringLiteral("Text3"))->setText(LoginSite::Password);
    window->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    WebEngineBrowser *browser = window->loginBrowser();
    context.waitUntil([&] { return !browser->isBusy() && browser->url() == address; }, 20000);
    context.waitUntil([] { return false; }, 1500);
    context.save(window, QStringLiteral("login-panel"));
    window->endWithProgram();
}

} // namespace

// Taken after the download window's picture, which closes that window.
QUILLMOOR_SHOT(ba_login_panel, shootLoginPanel);
