#include "TestEnvironment.h"
#include "TestFiles.h"
#include "WindowTestRig.h"
#include "common/ui/OpenWindows.h"
#include "app/ui/fCover.h"
#include "common/WindowNames.h"
#include "common/ui/TextViewer.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "platform/gui/QtShell.h"
#include "platform/gui/QtUserDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// What a run in the application's own event loop answers when its steps went
// to their end; anything else means the program ended on its own.
constexpr int kStepsDone = 42;

// Runs `steps` inside QApplication::exec(), where Qt's own rules for ending
// the program apply (a test's local event loops never quit the program), and
// answers exec()'s result.
int runInProgramLoop(const std::function<void()> &steps)
{
    QObject guard;
    QTimer::singleShot(0, &guard, [&guard, &steps] {
        steps();
        // Some turns of the loop for what a closing window queues.
        QTimer::singleShot(200, &guard, [] { QCoreApplication::exit(kStepsDone); });
    });
    return QApplication::exec();
}

// Dismisses every message box as it opens, with `button`, and remembers
// the boxes' texts and owners.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button) : m_button(button)
    {
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::answer);
        m_poll.start(5);
    }
    QStringList texts;
    QList<QPointer<QWidget>> owners;

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts << box->text();
        owners << box->parentWidget();
        // A question that keeps coming back ends the run.
        if (texts.size() > 5)
            QCoreApplication::exit(1);
        QAbstractButton *button = box->button(m_button);
        (button ? button : box->defaultButton())->click();
    }
    QMessageBox::StandardButton m_button;
    QTimer m_poll;
};

} // namespace

// The program ends only when the start-up window closes: message boxes,
// the text viewer and refused closes of other windows never end it.
class TestProgramLifetime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();
    void cleanup();
    void closingOtherWindowsKeepsTheProgram_data();
    void closingOtherWindowsKeepsTheProgram();
    void refusedCloseNeverLoops();
    void closingTheStartUpWindowEndsTheProgram();

private:
    // The start-up window hidden (as after "资料检索下载") and the download
    // window shown, with one waiting row when asked.
    fFileDownload *openDownloadWindowAlone(bool rowWaiting);

    std::optional<WindowTestRig> m_rig;
};

void TestProgramLifetime::init()
{
    m_rig.emplace(QStringLiteral("program"));
    m_rig->openWindows();
}

void TestProgramLifetime::cleanup()
{
    m_rig.reset();
}

fFileDownload *TestProgramLifetime::openDownloadWindowAlone(bool rowWaiting)
{
    fCover *cover = m_rig->windows->cover();
    cover->open();
    cover->hide();
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    if (rowWaiting) {
        window->list().addItem(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"),
            QStringLiteral("pdf"), m_rig->dir.path() + QLatin1Char('/'), {});
    }
    return window;
}

void TestProgramLifetime::closingOtherWindowsKeepsTheProgram_data()
{
    QTest::addColumn<bool>("textViewer"); // else a message box
    QTest::addColumn<bool>("rowWaiting");
    QTest::newRow("message box over a waiting list") << false << true;
    QTest::newRow("message box over an empty list") << false << false;
    QTest::newRow("text viewer over a waiting list") << true << true;
    QTest::newRow("text viewer over an empty list") << true << false;
}

void TestProgramLifetime::closingOtherWindowsKeepsTheProgram()
{
    QFETCH(bool, textViewer);
    QFETCH(bool, rowWaiting);
    QPointer<fFileDownload> window = openDownloadWindowAlone(rowWaiting);
    const QString textFile = m_rig->dir.filePath(QStringLiteral("说明.txt"));
    QVERIFY(writeFile(textFile, "text"));

    BoxAnswerer answerer(QMessageBox::Ok);
    QtUserDialogs dialogs;
    QtShell shell;
    QPointer<TextViewer> viewer;
    const int result = runInProgramLoop([&] {
        // The program does not have the focus: no window is active.
        QApplication::setActiveWindow(nullptr);
        if (textViewer) {
            shell.openTextViewer(textFile);
            for (QWidget *shown : QApplication::topLevelWidgets()) {
                if (auto *found = qobject_cast<TextViewer *>(shown); found && found->isVisible())
                    viewer = found;
            }
            QVERIFY(viewer);
            QVERIFY(viewer->parentWidget());
            viewer->close();
        } else {
            dialogs.message(QStringLiteral("全部网址替换完成！"), UserDialogs::Style::Information);
        }
    });

    QCOMPARE(result, kStepsDone);
    if (!textViewer) {
        QCOMPARE(answerer.texts, QStringList { QStringLiteral("全部网址替换完成！") });
        QVERIFY(answerer.owners.first());
    }
    // Nothing tried to close the download window: no question, still open.
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(IsWindowOpen(WindowName::FileDownload));
    QVERIFY(!m_rig->windows->cover()->isVisible());
}

void TestProgramLifetime::refusedCloseNeverLoops()
{
    // Real message boxes throughout, as the program shows them.
    QtUserDialogs dialogs;
    AppWindows windows(
        { m_rig->values, m_rig->clock, m_rig->paths, m_rig->player, dialogs, m_rig->shell });
    windows.cover()->open();
    windows.cover()->hide();
    QPointer<fFileDownload> window = windows.showDownloadWindow();
    window->list().addItem(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"),
        QStringLiteral("pdf"), m_rig->dir.path() + QLatin1Char('/'), {});
    const QString question = QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？");

    BoxAnswerer answerer(QMessageBox::No);
    const int result = runInProgramLoop([&] {
        QApplication::setActiveWindow(nullptr);
        QVERIFY(!window->close());
        // A message box closed afterwards does not bring the question back.
        dialogs.message(QStringLiteral("全部网址替换完成！"), UserDialogs::Style::Information);
    });
    QCOMPARE(result, kStepsDone);
    QCOMPARE(answerer.texts, (QStringList { question, QStringLiteral("全部网址替换完成！") }));
    QVERIFY(window && window->isVisible());
}

void TestProgramLifetime::closingTheStartUpWindowEndsTheProgram()
{
    QPointer<fFileDownload> window = openDownloadWindowAlone(true);
    const int result = runInProgramLoop([&] {
        m_rig->windows->cover()->show();
        m_rig->windows->cover()->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    });
    QCOMPARE(result, 0);
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QTRY_VERIFY(window.isNull());
}

QTEST_MAIN(TestProgramLifetime)
#include "tst_programlifetime.moc"
