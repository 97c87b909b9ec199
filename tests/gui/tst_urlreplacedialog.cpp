#include "FakeDialogs.h"
#include "FakeShell.h"
#include "ListRows.h"
#include "download/DownloadList.h"
#include "download/DownloadListCommands.h"
#include "download/ui/UrlReplaceDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestUrlReplaceDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void namesAndCaptions();
    void emptyTextKeepsDialogOpen();
    void replaceClosesThenTells();
    void cancelChangesNothing();

private:
    QPushButton *button(const char *name) const
    {
        return m_dialog->findChild<QPushButton *>(QLatin1String(name));
    }

    DownloadList m_list;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    std::unique_ptr<DownloadListCommands> m_commands;
    std::unique_ptr<UrlReplaceDialog> m_dialog;
};

void TestUrlReplaceDialog::init()
{
    m_list.clear();
    appendRows(m_list,
        { row(1).keyed(u"http://a/1.pdf"_s).referring(u"http://a/"_s),
            row(3).keyed(u"HTTP://b/2.pdf"_s) });
    m_dialogs = FakeDialogs();
    const auto idle = [] {
        return false;
    };
    m_commands = std::make_unique<DownloadListCommands>(
        m_list, m_dialogs, m_shell, DownloadListCommands::BusyTests { idle, idle, idle });
    m_dialog = std::make_unique<UrlReplaceDialog>(*m_commands);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void TestUrlReplaceDialog::cleanup()
{
    m_dialog.reset();
    m_commands.reset();
}

void TestUrlReplaceDialog::namesAndCaptions()
{
    QCOMPARE(m_dialog->objectName(), u"UrlReplace"_s);
    QVERIFY(m_dialog->windowTitle().startsWith(u"网址批量替换"_s));
    QStringList labels;
    for (const QLabel *label : m_dialog->findChildren<QLabel *>())
        labels << label->text();
    labels.sort();
    QCOMPARE(labels, (QStringList { u"将被全部替换为字符串："_s, u"所有网址中的字符串："_s }));
    QCOMPARE(button("Command1")->text(), u"替换"_s);
    QCOMPARE(button("Command2")->text(), u"取消"_s);
    QVERIFY(m_dialog->isModal());
}

void TestUrlReplaceDialog::emptyTextKeepsDialogOpen()
{
    m_dialog->findEdit()->setText(u"   "_s);
    button("Command1")->click();
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, u"请输入字符串！"_s);
    QCOMPARE(m_list.at(0).Key, u"http://a/1.pdf"_s);
}

void TestUrlReplaceDialog::replaceClosesThenTells()
{
    bool visibleWhileTold = true;
    m_dialogs.whileShown = [&] {
        visibleWhileTold = m_dialog->isVisible();
    };
    QTest::keyClicks(m_dialog->findEdit(), u"http://"_s);
    QTest::keyClicks(m_dialog->replacementEdit(), u"https://"_s);
    button("Command1")->click();

    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QVERIFY(!visibleWhileTold);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, u"全部网址替换完成！"_s);
    QCOMPARE(m_list.at(0).Key, u"https://a/1.pdf"_s);
    QCOMPARE(m_list.at(0).Referer, u"https://a/"_s);
    QCOMPARE(m_list.at(1).Key, u"https://b/2.pdf"_s);
}

void TestUrlReplaceDialog::cancelChangesNothing()
{
    m_dialog->findEdit()->setText(u"http"_s);
    button("Command2")->click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(m_list.at(0).Key, u"http://a/1.pdf"_s);
}

QTEST_MAIN(TestUrlReplaceDialog)
#include "tst_urlreplacedialog.moc"
