#pragma once

class PanelStatusBar;
class QCheckBox;
class QComboBox;
class QLabel;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTreeView;
class QWidget;

// The controls of the download window under their form names, made and laid
// out by setupUi(); the window class gives them their behaviour.
struct fFileDownloadUi
{
    QLabel *Label7 = nullptr; // "下载方式：2"
    QPushButton *Command26 = nullptr; // "切换"
    QComboBox *Combo1 = nullptr; // connections "1" to "6"
    QComboBox *Combo2 = nullptr; // seconds between two files
    QRadioButton *Option1 = nullptr; // "跳过"
    QRadioButton *Option2 = nullptr; // "覆盖"
    QRadioButton *Option3 = nullptr; // "重命名"
    QCheckBox *Check3 = nullptr; // "自动重新下载："
    QComboBox *Combo4 = nullptr; // which rows are downloaded again
    QCheckBox *Check4 = nullptr; // auto-start
    QCheckBox *Check5 = nullptr; // stop after repeated failures
    QCheckBox *Check6 = nullptr; // "声音提示"
    QPushButton *Command1 = nullptr; // "网页登录"
    QPushButton *Command4 = nullptr; // "开始下载"
    QPushButton *Command31 = nullptr; // "停止下载"
    QLabel *Shape1 = nullptr; // the running indicator
    QLabel *Label1 = nullptr; // "0条"
    QTreeView *ListView3 = nullptr; // the download list
    QWidget *LoginPanel = nullptr; // room for the site-login panel, hidden
    QSplitter *MainSplitter = nullptr;
    PanelStatusBar *StatusBar1 = nullptr; // four panels, then speed and time left

    void setupUi(QMainWindow *window);
};
