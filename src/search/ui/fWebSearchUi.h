#pragma once

class PanelStatusBar;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QSplitter;
class QTreeView;
class QWebEngineView;
class QWidget;
class WebEngineBrowser;

// The controls of the search window under their form names, made and laid
// out by setupUi(); the window class gives them their behaviour.
struct fWebSearchUi
{
    QSplitter *PicBar = nullptr; // the bar between the two panels
    QWidget *PicPanList = nullptr; // the list panel
    QLabel *Label1 = nullptr; // the entry counter
    QTreeView *ListView1 = nullptr; // the to-analyse list
    QPushButton *Command9 = nullptr; // "加入本页到列表"
    QPushButton *Command4 = nullptr; // "加入全部到列表"
    QCheckBox *Check1 = nullptr; // "加入到最大页码数："
    QLineEdit *Text1 = nullptr; // the page limit
    QPushButton *Command2 = nullptr; // "开始分析"
    QPushButton *Command3 = nullptr; // "停止分析"
    QPushButton *Command7 = nullptr; // "导出数据..."
    QPushButton *Command8 = nullptr; // "导出引用..."
    QWidget *PicPanWeb = nullptr; // the browser panel
    QComboBox *Combo1 = nullptr; // the history
    QPushButton *Command1 = nullptr; // "清空"
    QCheckBox *Check2 = nullptr; // "禁止浏览器弹出脚本提示"
    QWebEngineView *WebBrowser1 = nullptr;
    QFrame *PicPanPrograss = nullptr; // the progress panel of an analysis run
    QLabel *Label11 = nullptr; // "正在分析，请稍候..."
    QPushButton *Command5 = nullptr; // "停止"
    PanelStatusBar *StatusBar1 = nullptr; // four panels; the fourth follows a harvest

    // The browser's view becomes WebBrowser1.
    void setupUi(QMainWindow *window, WebEngineBrowser &browser);
};
