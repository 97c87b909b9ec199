#include "ModalWatch.h"
#include "TestEnvironment.h"
#include "WindowTestRig.h"
#include "common/AppValues.h"
#include "download/DownloadList.h"
#include "download/DownloadSession.h"
#include "download/ui/AddAddressesDialog.h"
#include "download/ui/fFileDownload.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;

// Addresses added to the download window by hand: the dialog
// "添加下载地址...", Ctrl+V in the list and drops on it.
class TestAddAddresses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();
    void cleanup();
    void dialogLines_data();
    void dialogLines();
    void emptyOrCancelledDialogAddsNothing();
    void pasteInTheList();
    void drop_data();
    void drop();
    void saveFolderAskedWhenNoneChosen_data();
    void saveFolderAskedWhenNoneChosen();

private:
    // Answers the next modal dialog once it is shown (it runs its own loop).
    void answerNextDialog(const std::function<void(QWidget *)> &answer);
    QTreeView *listView() const { return m_window->findChild<QTreeView *>(u"ListView3"_s); }
    QString folder() const { return m_rig->dir.path() + u"/dl/"_s; }
    QStringList keys() const
    {
        QStringList found;
        for (int row = 0; row < m_window->list().size(); ++row)
            found << m_window->list().at(row).Key;
        return found;
    }

    std::optional<WindowTestRig> m_rig;
    fFileDownload *m_window = nullptr;
    QString m_dialogName;
};

void TestAddAddresses::init()
{
    m_dialogName.clear();
    m_rig.emplace(u"program"_s);
    m_rig->openWindows();
    m_rig->values.SaveFolder = folder();
    m_window = m_rig->windows->showDownloadWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestAddAddresses::cleanup()
{
    m_rig.reset();
    m_window = nullptr;
}

void TestAddAddresses::answerNextDialog(const std::function<void(QWidget *)> &answer)
{
    m_dialogName.clear();
    WhenModalShown(this, [this, answer](QWidget *dialog) {
        m_dialogName = dialog->objectName();
        answer(dialog);
    });
}

void TestAddAddresses::dialogLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message");

    const QString a = u"http://a.test/files/paper.pdf"_s;
    const QString b = u"http://b.test/mirror/paper.pdf"_s;
    const QString c = u"https://c.test/p.pdf"_s;
    QTest::newRow("plain address")
        << a << QStringList { a } << QStringList { u"paper"_s } << QString();
    QTest::newRow("address<TAB>title") << a + u"\t 论文: 标题 "_s << QStringList { a }
                                       << QStringList { u"论文 标题"_s } << QString();
    QTest::newRow("three alternatives")
        << a + u'|' + b + u'|' + c << QStringList { a + u'|' + b + u'|' + c }
        << QStringList { u"paper"_s } << QString();
    QTest::newRow("blank and white-space lines pass silently")
        << u"\n   \n"_s + a + u"\r\n\t\n\u3000\n"_s + c << QStringList { a, c }
        << QStringList { u"paper"_s, u"p"_s } << QString();
    QTest::newRow("a line with only a title is skipped")
        << u"\tJust a title\n"_s + a << QStringList { a } << QStringList { u"paper"_s }
        << u"已加入1条下载地址，1行没有下载地址，已跳过。"_s;
    QTest::newRow("DOI line")
        << u"doi:10.1007/s00134-020-06294-x\tA paper"_s
        << QStringList { u"https://link.springer.com/content/pdf/10.1007%2Fs00134-020-06294-x.pdf"_s }
        << QStringList { u"A paper"_s } << QString();
    QTest::newRow("no address at all")
        << u"some words\nftp://a.test/x.pdf\nfile:///tmp/x.pdf"_s << QStringList() << QStringList()
        << u"3行没有下载地址，已跳过。"_s;
    QTest::newRow("the same address twice")
        << a + u'\n' + a << QStringList { a } << QStringList { u"paper"_s }
        << u"已加入1条下载地址，1条已在列表中。"_s;
}

void TestAddAddresses::dialogLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, names);
    QFETCH(QString, message);

    answerNextDialog([text](QWidget *dialog) {
        dialog->findChild<QPlainTextEdit *>(u"Text1"_s)->setPlainText(text);
        dialog->findChild<QPushButton *>(u"Command1"_s)->click();
    });
    QAction *entry = m_window->menuEntry({ u"列表操作(&D)"_s, u"添加下载地址..."_s });
    QVERIFY(entry);
    entry->trigger();
    QCOMPARE(m_dialogName, u"AddAddresses"_s);

    QCOMPARE(this->keys(), keys);
    const DownloadList &rows = m_window->list();
    for (int row = 0; row < rows.size(); ++row) {
        QCOMPARE(rows.at(row).Name, names.at(row));
        QCOMPARE(rows.at(row).Folder, folder());
        QCOMPARE(rows.at(row).StatusCode, Status::Waiting);
    }
    if (message.isEmpty()) {
        QVERIFY(m_rig->dialogs.messages.isEmpty());
    } else {
        QCOMPARE(m_rig->dialogs.messages.size(), 1);
        QCOMPARE(m_rig->dialogs.messages.first().text, message);
    }
    QCOMPARE(
        m_window->findChild<QLabel *>(u"Label1"_s)->text(), QString::number(rows.size()) + u"条"_s);
}

void TestAddAddresses::emptyOrCancelledDialogAddsNothing()
{
    bool stayedOpen = false;
    answerNextDialog([&stayedOpen](QWidget *dialog) {
        auto *text = dialog->findChild<QPlainTextEdit *>(u"Text1"_s);
        text->setPlainText(u"  \n "_s);
        dialog->findChild<QPushButton *>(u"Command1"_s)->click();
        stayedOpen = dialog->isVisible();
        text->setPlainText(u"http://a.test/x.pdf"_s);
        dialog->findChild<QPushButton *>(u"Command2"_s)->click();
    });
    m_window->menuEntry({ u"列表操作(&D)"_s, u"添加下载地址..."_s })->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(m_rig->dialogs.messages.first().text, u"请输入下载地址！"_s);
    QCOMPARE(m_window->list().size(), 0);
}

void TestAddAddresses::pasteInTheList()
{
    QApplication::clipboard()->setText(u"http://a.test/1.pdf\tOne\nnot an address\n"_s);
    QTreeView *list = listView();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    list->setFocus();
    QTest::keySequence(list, QKeySequence::Paste);
    QCOMPARE(keys(), QStringList { u"http://a.test/1.pdf"_s });
    QCOMPARE(m_window->list().at(0).Name, u"One"_s);
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(
        m_rig->dialogs.messages.first().text, u"已加入1条下载地址，1行没有下载地址，已跳过。"_s);
}

void TestAddAddresses::drop_data()
{
    QTest::addColumn<bool>("links");
    QTest::newRow("text/uri-list") << true;
    QTest::newRow("text/plain") << false;
}

void TestAddAddresses::drop()
{
    QFETCH(bool, links);
    const QStringList addresses { u"http://a.test/1.pdf"_s, u"https://b.test/2.epub"_s };
    QMimeData data;
    if (links)
        data.setUrls({ QUrl(addresses.at(0)), QUrl(addresses.at(1)) });
    else
        data.setText(addresses.join(u"\r\n"_s));

    QWidget *viewport = listView()->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dropped);
    QVERIFY(dropped.isAccepted());
    // Added once the drop has ended.
    QTRY_COMPARE(keys(), addresses);
    QCOMPARE(m_window->list().at(1).Type, u"epub"_s);
    QVERIFY(m_rig->dialogs.messages.isEmpty());

    // Something that holds no text is refused.
    QMimeData picture;
    picture.setImageData(QColor(Qt::red));
    QDragEnterEvent refused(at, Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());
}

void TestAddAddresses::saveFolderAskedWhenNoneChosen_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("folder chosen") << true;
    QTest::newRow("dialog cancelled") << false;
}

void TestAddAddresses::saveFolderAskedWhenNoneChosen()
{
    QFETCH(bool, confirm);
    m_rig->values.SaveFolder.clear();
    const QString chosen = m_rig->dir.path() + u"/选择的"_s;

    // Nothing to add: no question.
    m_window->addAddressText(u"no address here"_s);
    QVERIFY(m_dialogName.isEmpty());

    answerNextDialog([confirm, chosen](QWidget *dialog) {
        if (confirm) {
            dialog->findChild<QComboBox *>(u"Combo1"_s)->setCurrentText(chosen);
            dialog->findChild<QPushButton *>(u"Command1"_s)->click();
        } else {
            dialog->findChild<QPushButton *>(u"Command2"_s)->click();
        }
    });
    const AddedAddresses added = m_window->addAddressText(u"http://a.test/1.pdf"_s);
    QCOMPARE(m_dialogName, u"fSeleFileSavePath"_s);
    QCOMPARE(added.added, confirm ? 1 : 0);
    QCOMPARE(added.noFolder, !confirm);
    if (confirm) {
        QCOMPARE(m_window->list().at(0).Folder, chosen + u'/');
        QCOMPARE(m_rig->values.SaveFolder, chosen + u'/');
    } else {
        QCOMPARE(m_window->list().size(), 0);
    }
}

QTEST_MAIN(TestAddAddresses)
#include "tst_addaddresses.moc"
