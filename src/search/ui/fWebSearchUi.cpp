#include "search/ui/fWebSearchUi.h"

#include "common/ui/ListViewHelpers.h"
#include "common/ui/PanelStatusBar.h"
#include "common/ui/WindowChrome.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineView>

void fWebSearchUi::setupUi(QMainWindow *window, WebEngineBrowser &browser)
{
    auto *central = new QWidget(window);

    // The list panel: heading with the counter, the list, the commands.
    PicPanList = Named(new QWidget(central), QStringLiteral("PicPanList"));
    auto *heading = new QHBoxLayout;
    heading->addWidget(
        Named(new QLabel(QStringLiteral("待分析列表："), PicPanList), QStringLiteral("Label2")));
    Label1 = Named(new QLabel(QStringLiteral("0"), PicPanList), QStringLiteral("Label1"));
    heading->addWidget(Label1);
    heading->addStretch(1);

    ListView1 = Named(new QTreeView(PicPanList), QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setToolTip(QStringLiteral("双击浏览选中的文章"));
    ListView1->header()->setStretchLastSection(false);

    Command9 = Named(
        new QPushButton(QStringLiteral("加入本页到列表"), PicPanList), QStringLiteral("Command9"));
    Command4 = Named(
        new QPushButton(QStringLiteral("加入全部到列表"), PicPanList), QStringLiteral("Command4"));
    Check1 = Named(
        new QCheckBox(QStringLiteral("加入到最大页码数："), PicPanList), QStringLiteral("Check1"));
    Text1 = Named(new QLineEdit(QStringLiteral("10"), PicPanList), QStringLiteral("Text1"));
    Text1->setMaximumWidth(60);
    Command2 = Named(
        new QPushButton(QStringLiteral("开始分析"), PicPanList), QStringLiteral("Command2"));
    Command3 = Named(
        new QPushButton(QStringLiteral("停止分析"), PicPanList), QStringLiteral("Command3"));
    Command7 = Named(
        new QPushButton(QStringLiteral("导出数据..."), PicPanList), QStringLiteral("Command7"));
    Command8 = Named(
        new QPushButton(QStringLiteral("导出引用..."), PicPanList), QStringLiteral("Command8"));

    auto *harvestRow = new QHBoxLayout;
    harvestRow->addWidget(Command9);
    harvestRow->addWidget(Command4);
    auto *limitRow = new QHBoxLayout;
    limitRow->addWidget(Check1);
    limitRow->addWidget(Text1);
    limitRow->addStretch(1);
    auto *analysisRow = new QHBoxLayout;
    analysisRow->addWidget(Command2);
    analysisRow->addWidget(Command3);
    // The two exports share a row: beside the analysis buttons they would
    // widen the panel past a small screen.
    auto *exportRow = new QHBoxLayout;
    exportRow->addWidget(Command7);
    exportRow->addWidget(Command8);

    auto *listLayout = new QVBoxLayout(PicPanList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addLayout(heading);
    listLayout->addWidget(ListView1, 1);
    listLayout->addLayout(harvestRow);
    listLayout->addLayout(limitRow);
    listLayout->addLayout(analysisRow);
    listLayout->addLayout(exportRow);

    // The browser panel: the history, its clear button, the silent switch and
    // the browser.
    PicPanWeb = Named(new QWidget(central), QStringLiteral("PicPanWeb"));
    Combo1 = Named(new QComboBox(PicPanWeb), QStringLiteral("Combo1"));
    Combo1->setToolTip(QStringLiteral("点击网址，打开历史网页"));
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Combo1->setMinimumContentsLength(20);
    Command1
        = Named(new QPushButton(QStringLiteral("清空"), PicPanWeb), QStringLiteral("Command1"));
    Check2 = Named(new QCheckBox(QStringLiteral("禁止浏览器弹出脚本提示"), PicPanWeb),
        QStringLiteral("Check2"));
    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(Combo1, 1);
    addressRow->addWidget(Command1);
    addressRow->addWidget(Check2);
    WebBrowser1 = Named(browser.view(PicPanWeb), QStringLiteral("WebBrowser1"));
    auto *webLayout = new QVBoxLayout(PicPanWeb);
    webLayout->setContentsMargins(0, 0, 1, 1);
    webLayout->addLayout(addressRow);
    webLayout->addWidget(WebBrowser1, 1);

    PicBar = Named(new QSplitter(Qt::Horizontal, central), QStringLiteral("PicBar"));
    PicBar->addWidget(PicPanList);
    PicBar->addWidget(PicPanWeb);
    PicBar->setStretchFactor(0, 0);
    PicBar->setStretchFactor(1, 1);
    PicBar->setSizes({ 420, 780 });
    PicBar->setChildrenCollapsible(false);

    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(6, 6, 6, 0);
    centralLayout->addWidget(PicBar);
    window->setCentralWidget(central);

    // The progress panel of an analysis run, dragged with the left button.
    PicPanPrograss = Named(new QFrame(central), QStringLiteral("PicPanPrograss"));
    PicPanPrograss->setFrameShape(QFrame::Panel);
    PicPanPrograss->setFrameShadow(QFrame::Raised);
    PicPanPrograss->setAutoFillBackground(true);
    PicPanPrograss->setCursor(Qt::SizeAllCursor);
    Label11 = Named(new QLabel(QStringLiteral("正在分析，请稍候..."), PicPanPrograss),
        QStringLiteral("Label11"));
    Command5 = Named(
        new QPushButton(QStringLiteral("停止"), PicPanPrograss), QStringLiteral("Command5"));
    auto *progressLayout = new QHBoxLayout(PicPanPrograss);
    progressLayout->setContentsMargins(16, 12, 16, 12);
    progressLayout->addWidget(Label11);
    progressLayout->addWidget(Command5);
    PicPanPrograss->adjustSize();
    PicPanPrograss->move(40, 80);
    PicPanPrograss->hide();

    StatusBar1 = new PanelStatusBar({ 1, 4, 0, 2 }, window);
    StatusBar1->panel(3)->setCursor(Qt::PointingHandCursor);
    window->setStatusBar(StatusBar1);
    window->resize(1200, 800);
}
