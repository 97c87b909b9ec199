#include "app/ui/frmAbout.h"

#include "common/AppVersion.h"
#include "common/WindowNames.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <curl/curl.h>

namespace {

const QString kLicences
    = QStringLiteral("本程序使用以下组件：\n"
                     "Qt 6（GNU LGPL 3.0）\n"
                     "Qt WebEngine 与 Chromium（GNU LGPL 3.0；Chromium 各部分为 BSD 等许可）\n"
                     "libcurl（curl 许可，MIT/X 风格）\n"
                     "各组件的许可全文随其软件包一同安装，位于 /usr/share/doc 下对应的目录。");

} // namespace

QString frmAbout::versionLines()
{
    const curl_version_info_data *curl = curl_version_info(CURLVERSION_NOW);
    return ProgramTitle + QStringLiteral(" 版本 ") + programVersion().text() + QLatin1Char('\n')
        + QStringLiteral("Qt ") + QString::fromLatin1(qVersion()) + QLatin1Char('\n')
        + QStringLiteral("libcurl ") + QString::fromLatin1(curl ? curl->version : "?")
        + QLatin1Char('\n') + QStringLiteral("Chromium ")
        + QString::fromLatin1(qWebEngineChromiumVersion());
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(WindowName::About);
    setWindowTitle(WindowCaption(QStringLiteral("关于")));

    auto *name = new QLabel(ProgramTitle, this);
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * 1.8);
    font.setBold(true);
    name->setFont(font);

    auto *purpose = new QLabel(QStringLiteral("检索文献网站并批量下载全文的科研辅助工具。"), this);
    auto *versions = new QLabel(versionLines(), this);
    versions->setObjectName(QStringLiteral("LabelVersions"));
    versions->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *licence = new QPlainTextEdit(kLicences, this);
    licence->setObjectName(QStringLiteral("TextLicence"));
    licence->setReadOnly(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(purpose);
    layout->addWidget(versions);
    layout->addWidget(licence, 1);
    layout->addWidget(buttons);
    resize(480, 360);
}
