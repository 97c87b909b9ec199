#include "download/ui/fFileDownloadUi.h"

#include "common/ui/PanelStatusBar.h"
#include "common/ui/WindowChrome.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QLabel *namedLabel(const QString &name, const QString &text, QWidget *parent)
{
    return Named(new QLabel(text, parent), name);
}

} // namespace

void fFileDownloadUi::setupUi(QMainWindow *window)
{
    auto *central = new QWidget(window);
    auto *optionsPanel = Named(new QWidget(central), QStringLiteral("OptionsPanel"));

    Label7 = namedLabel(QStringLiteral("Label7"), QStringLiteral("下载方式："), optionsPanel);
    Command26
        = Named(new QPushButton(QStringLiteral("切换"), optionsPanel), QStringLiteral("Command26"));
    Command26->setToolTip(QStringLiteral("更改下载方式"));
    Combo1 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo1"));
    for (int n = 1; n <= 6; ++n)
        Combo1->addItem(QString::number(n));
    Combo2 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo2"));
    Combo2->setMaxVisibleItems(20);

    Option1
        = Named(new QRadioButton(QStringLiteral("跳过"), optionsPanel), QStringLiteral("Option1"));
    Option2
        = Named(new QRadioButton(QStringLiteral("覆盖"), optionsPanel), QStringLiteral("Option2"));
    Option3 = Named(
        new QRadioButton(QStringLiteral("重命名"), optionsPanel), QStringLiteral("Option3"));
    auto *policyGroup = new QButtonGroup(window);
    policyGroup->addButton(Option1);
    policyGroup->addButton(Option2);
    policyGroup->addButton(Option3);
    Option3->setChecked(true);

    Check3 = Named(
        new QCheckBox(QStringLiteral("自动重新下载："), optionsPanel), QStringLiteral("Check3"));
    Combo4 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo4"));
    Combo4->addItems({ QStringLiteral("出错项"), QStringLiteral("文件类型为HTM和HTML项"),
        QStringLiteral("出错项和文件类型为HTM和HTML项") });
    Combo4->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Combo4->setMinimumContentsLength(8);
    Check4 = Named(new QCheckBox(QStringLiteral("当有待下载项时，自动启动下载"), optionsPanel),
        QStringLiteral("Check4"));
    Check5 = Named(
        new QCheckBox(QStringLiteral("有5个以上下载出错或者网页文件，就停止下载"), optionsPanel),
        QStringLiteral("Check5"));
    Check6
        = Named(new QCheckBox(QStringLiteral("声音提示"), optionsPanel), QStringLiteral("Check6"));
    Command1 = Named(
        new QPushButton(QStringLiteral("网页登录"), optionsPanel), QStringLiteral("Command1"));
    Command4 = Named(
        new QPushButton(QStringLiteral("开始下载"), optionsPanel), QStringLiteral("Command4"));
    Command31 = Named(
        new QPushButton(QStringLiteral("停止下载"), optionsPanel), QStringLiteral("Command31"));
    Shape1 = namedLabel(QStringLiteral("Shape1"), QString(), optionsPanel);
    Shape1->setFixedSize(14, 14);
    Shape1->setStyleSheet(QStringLiteral("background: #2e9d4f; border-radius: 7px;"));
    Shape1->setToolTip(QStringLiteral("正在下载"));
    Shape1->setVisible(false);

    auto *row1 = new QHBoxLayout;
    row1->addWidget(Label7);
    row1->addWidget(Command26);
    row1->addSpacing(16);
    row1->addWidget(namedLabel(QStringLiteral("Label2"), QStringLiteral("线程数："), optionsPanel));
    row1->addWidget(Combo1);
    row1->addSpacing(16);
    row1->addWidget(
        namedLabel(QStringLiteral("Label5"), QStringLiteral("两个文件下载间隔："), optionsPanel));
    row1->addWidget(Combo2);
    row1->addWidget(new QLabel(QStringLiteral("秒"), optionsPanel));
    row1->addSpacing(16);
    row1->addWidget(
        namedLabel(QStringLiteral("Label8"), QStringLiteral("同名文件："), optionsPanel));
    row1->addWidget(Option1);
    row1->addWidget(Option2);
    row1->addWidget(Option3);
    row1->addStretch();
    row1->addWidget(Shape1);
    row1->addWidget(Command4);
    row1->addWidget(Command31);

    auto *row2 = new QHBoxLayout;
    row2->addWidget(Check3);
    row2->addWidget(Combo4);
    row2->addSpacing(16);
    row2->addWidget(Check4);
    row2->addSpacing(16);
    row2->addWidget(Check5);
    row2->addSpacing(16);
    row2->addWidget(Check6);
    row2->addStretch();
    row2->addWidget(Command1);

    auto *optionsLayout = new QVBoxLayout(optionsPanel);
    optionsLayout->setContentsMargins(0, 0, 0, 0);
    optionsLayout->addLayout(row1);
    optionsLayout->addLayout(row2);

    Label1 = namedLabel(QStringLiteral("Label1"), QStringLiteral("0条"), central);
    auto *listHeading = new QHBoxLayout;
    listHeading->addWidget(
        namedLabel(QStringLiteral("Label4"), QStringLiteral("下载列表："), central));
    listHeading->addWidget(Label1);
    listHeading->addStretch();

    ListView3 = Named(new QTreeView(central), QStringLiteral("ListView3"));
    ListView3->setRootIsDecorated(false);
    ListView3->setUniformRowHeights(true);
    ListView3->setItemsExpandable(false);
    ListView3->setAllColumnsShowFocus(true);
    ListView3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView3->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView3->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView3->setToolTip(QStringLiteral("双击鼠标：下载当前项或者打开文件"));
    ListView3->header()->setSectionsClickable(true);
    ListView3->header()->setStretchLastSection(false);

    auto *leftSide = new QWidget(central);
    auto *leftLayout = new QVBoxLayout(leftSide);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(optionsPanel);
    leftLayout->addLayout(listHeading);
    leftLayout->addWidget(ListView3, 1);

    LoginPanel = Named(new QWidget(central), QStringLiteral("LoginPanel"));
    LoginPanel->hide();

    MainSplitter = Named(new QSplitter(Qt::Horizontal, central), QStringLiteral("MainSplitter"));
    MainSplitter->addWidget(leftSide);
    MainSplitter->addWidget(LoginPanel);
    MainSplitter->setStretchFactor(0, 1);
    MainSplitter->setChildrenCollapsible(false);

    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(6, 6, 6, 0);
    centralLayout->addWidget(MainSplitter);
    window->setCentralWidget(central);

    // The four panels of the form, then the total speed and the time left.
    StatusBar1 = new PanelStatusBar({ 0, 3, 1, 0, 0, 0 }, window);
    StatusBar1->panel(2)->setMinimumWidth(200);
    StatusBar1->panel(4)->setMinimumWidth(320);
    StatusBar1->panel(5)->setMinimumWidth(
        StatusBar1->fontMetrics().horizontalAdvance(QStringLiteral("1023.9 MB/s")) + 12);
    StatusBar1->panel(6)->setMinimumWidth(
        StatusBar1->fontMetrics().horizontalAdvance(QStringLiteral("剩余 59 分 59 秒")) + 12);
    StatusBar1->panel(1)->setCursor(Qt::PointingHandCursor);
    window->setStatusBar(StatusBar1);
}
