#include "FakeBrowser.h"
#include "HtmlDocument.h"

#include <QSignalSpy>
#include <QTest>

// The in-memory document and browser the search tests stand on: they must
// read pages the way the program's browser does.
class tst_HtmlDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void innerText_data();
    void innerText();
    void treeAndAttributes();
    void outerHtmlAndHref();
    void inputs();
    void scope();
    void browserEvents();
    void snapshotNeverStale();
    void actionsOnAnOldSnapshotFail();
    void submitSendsTheForm();
};

void tst_HtmlDocument::innerText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("spaces collapse")
        << QStringLiteral("<div id=e>  a \n\t b  <b>c</b> </div>") << QStringLiteral("a b c");
    QTest::newRow("blocks break lines")
        << QStringLiteral("<div id=e><h2>T</h2>x<div>y</div></div>") << QStringLiteral("T\nx\ny");
    QTest::newRow("paragraphs leave an empty line")
        << QStringLiteral("<div id=e><p>a<p>b</div>") << QStringLiteral("a\n\nb");
    QTest::newRow("entities") << QStringLiteral("<div id=e>&amp;&lt;&#x41;&#66;&nbsp;&bogus;</div>")
                              << QStringLiteral("&<AB\u00a0&bogus;");
    QTest::newRow("hidden content") << QStringLiteral(
        "<div id=e>a<script>b</script><style>c</style><span hidden>d</span>e</div>")
                                    << QStringLiteral("ae");
    QTest::newRow("pre keeps spaces")
        << QStringLiteral("<div id=e><pre>  x  y</pre></div>") << QStringLiteral("  x  y");
    QTest::newRow("br") << QStringLiteral("<div id=e>a<br>b</div>") << QStringLiteral("a\nb");
}

void tst_HtmlDocument::innerText()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    const HtmlDocument document(QStringLiteral("http://h/"), html);
    QCOMPARE(document.innerText(document.elementById(QStringLiteral("e"))), text);
}

void tst_HtmlDocument::treeAndAttributes()
{
    // Unclosed LI and P, a stray end tag, a script holding markup.
    const HtmlDocument document(QStringLiteral("http://h/"),
        QStringLiteral("<!DOCTYPE html><html><head><script>if (a < b) '<ol><li>';</script>"
                       "</head><body><ol id=r CLASS='x y'><li>one<p>p1<LI>two</span>"
                       "<ol><li>inner</ol><li>three</ol><p title=\"t &quot;q&quot;\">after"));
    const Element list = document.elementById(QStringLiteral("r"));
    QCOMPARE(document.className(list), QStringLiteral("x y"));
    const QList<Element> items = document.elementsByTagName(QStringLiteral("li"), list);
    QCOMPARE(items.size(), 4);
    QCOMPARE(document.innerText(items.at(0)), QStringLiteral("one\n\np1"));
    QCOMPARE(document.innerText(items.at(1)), QStringLiteral("two\ninner"));
    QCOMPARE(document.innerText(items.at(3)), QStringLiteral("three"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("OL")).size(), 2);
    QCOMPARE(document.elementsByTagName(QStringLiteral("LI"), items.at(1)).size(), 1);
    const QList<Element> paragraphs = document.elementsByTagName(QStringLiteral("P"));
    QCOMPARE(paragraphs.size(), 2);
    QCOMPARE(document.title(paragraphs.at(1)), QStringLiteral("t \"q\""));
    QCOMPARE(document.tagName(paragraphs.at(1)), QStringLiteral("P"));
    QVERIFY(document.elementById(QStringLiteral("R")).isNull());
    QVERIFY(document.innerText(Element(9999)).isEmpty());
}

void tst_HtmlDocument::outerHtmlAndHref()
{
    const HtmlDocument document(QStringLiteral("http://h/search/page/2?query=x"),
        QStringLiteral("<a id=a href='../../content/pdf/10.1007%2Fb.pdf?a=1&amp;b=2' "
                       "publication=\"A &amp; B\">Download <b>book</b></a>"
                       "<a id=n>no link</a><a id=q href=\"//other/x\">o</a>"));
    const Element a = document.elementById(QStringLiteral("a"));
    QCOMPARE(document.href(a), QStringLiteral("http://h/content/pdf/10.1007%2Fb.pdf?a=1&b=2"));
    QCOMPARE(document.outerHtml(a),
        QStringLiteral("<a id=\"a\" href=\"../../content/pdf/10.1007%2Fb.pdf?a=1&amp;b=2\" "
                       "publication=\"A &amp; B\">Download <b>book</b></a>"));
    QVERIFY(document.href(document.elementById(QStringLiteral("n"))).isEmpty());
    QCOMPARE(
        document.href(document.elementById(QStringLiteral("q"))), QStringLiteral("http://other/x"));
}

void tst_HtmlDocument::inputs()
{
    HtmlDocument document(QStringLiteral("http://h/"),
        QStringLiteral("<form><input name=UserName value='me'><input name=PassWord "
                       "type=PASSWORD><input type=SUBMIT value=Go></form>"));
    const QList<Element> fields = document.elementsByTagName(QStringLiteral("input"));
    QCOMPARE(fields.size(), 3);
    QCOMPARE(document.inputName(fields.at(0)), QStringLiteral("UserName"));
    QCOMPARE(document.inputType(fields.at(0)), QStringLiteral("text"));
    QCOMPARE(document.inputType(fields.at(1)), QStringLiteral("password"));
    QCOMPARE(document.value(fields.at(0)), QStringLiteral("me"));
    QVERIFY(document.setValue(fields.at(1), QStringLiteral("secret")));
    QCOMPARE(document.value(fields.at(1)), QStringLiteral("secret"));
    QVERIFY(document.click(fields.at(2)));
    QCOMPARE(document.clicks(), QList<Element> { fields.at(2) });
    QVERIFY(!document.click(Element()));
}

void tst_HtmlDocument::scope()
{
    HtmlDocument document(QStringLiteral("http://h/"),
        QStringLiteral("<div id=d><ol id=r><li><a>x</a><p>y</p></li></ol></div>"));
    DocumentScope scope;
    scope.tags = QStringList { QStringLiteral("a") };
    scope.ids = QStringList { QStringLiteral("r") };
    document.restrictTo(scope);
    QCOMPARE(document.elementsByTagName(QStringLiteral("A")).size(), 1);
    QVERIFY(document.elementsByTagName(QStringLiteral("P")).isEmpty());
    QVERIFY(!document.elementById(QStringLiteral("r")).isNull());
    QVERIFY(document.elementById(QStringLiteral("d")).isNull());
}

void tst_HtmlDocument::browserEvents()
{
    FakeBrowser browser;
    browser.setPage(QStringLiteral("http://h/a"),
        QStringLiteral("<title>Page A</title><iframe src=\"/ad\"></iframe>"
                       "<a id=go href=\"/b\">b</a>"));
    browser.setPage(QStringLiteral("http://h/b"), QStringLiteral("<title>B</title>"));
    QSignalSpy frames(&browser, &Browser::frameDocumentComplete);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    QSignalSpy titles(&browser, &Browser::titleChanged);
    browser.navigate(QStringLiteral("http://h/a"));
    QVERIFY(browser.isBusy());
    QVERIFY(complete.wait());
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().first().toString(), QStringLiteral("http://h/ad"));
    QCOMPARE(titles.first().first().toString(), QStringLiteral("Page A"));
    QCOMPARE(complete.first().first().toString(), QStringLiteral("http://h/a"));

    // A click on a link loads its page.
    DocumentPtr snapshot;
    browser.requestDocument(this, [&](DocumentPtr d) { snapshot = d; });
    QTRY_VERIFY(snapshot);
    QVERIFY(snapshot->click(snapshot->elementById(QStringLiteral("go"))));
    QVERIFY(complete.wait());
    QCOMPARE(browser.url(), QStringLiteral("http://h/b"));

    // An address without a page: no document.
    browser.navigate(QStringLiteral("http://h/missing"));
    QVERIFY(complete.wait());
    bool delivered = false;
    browser.requestDocument(this, [&](DocumentPtr d) {
        delivered = true;
        QVERIFY(!d);
    });
    QTRY_VERIFY(delivered);
}

void tst_HtmlDocument::snapshotNeverStale()
{
    FakeBrowser browser;
    browser.setPage(QStringLiteral("http://h/a"), QStringLiteral("<p>a"));
    browser.setPage(QStringLiteral("http://h/b"), QStringLiteral("<p>b"));
    browser.navigate(QStringLiteral("http://h/a"));
    QTRY_VERIFY(!browser.isBusy());
    browser.setAutoFinish(false);
    browser.navigate(QStringLiteral("http://h/b"));
    QString seen;
    browser.requestDocument(
        this, [&](DocumentPtr d) { seen = d ? d->url() : QStringLiteral("-"); });
    QTest::qWait(20);
    QVERIFY(seen.isEmpty()); // waits for the new document
    browser.finishLoad();
    QTRY_COMPARE(seen, QStringLiteral("http://h/b"));
}

void tst_HtmlDocument::actionsOnAnOldSnapshotFail()
{
    FakeBrowser browser;
    browser.setPage(QStringLiteral("http://h/a"), QStringLiteral("<input id=i name=q>"));
    browser.navigate(QStringLiteral("http://h/a"));
    DocumentPtr snapshot;
    browser.requestDocument(this, [&](DocumentPtr d) { snapshot = d; });
    QTRY_VERIFY(snapshot);
    const Element field = snapshot->elementById(QStringLiteral("i"));
    QVERIFY(snapshot->setValue(field, QStringLiteral("x")));
    QTRY_COMPARE(browser.livePage()->value(field), QStringLiteral("x"));
    QVERIFY(snapshot->value(field).isEmpty()); // the snapshot does not change

    browser.navigate(QStringLiteral("http://h/a")); // the same address, a new document
    QTRY_VERIFY(!browser.isBusy());
    QVERIFY(!snapshot->setValue(field, QStringLiteral("y")));
    QVERIFY(!snapshot->click(field));
}

void tst_HtmlDocument::submitSendsTheForm()
{
    FakeBrowser browser;
    browser.setPage(QStringLiteral("http://h/login"),
        QStringLiteral("<form action=\"/check\" method=post><input name=user>"
                       "<input name=pass type=password><input type=submit value=Go></form>"
                       "<input type=submit id=alone>"));
    browser.setPage(QStringLiteral("http://h/check?user=me&pass=a%26b"), QStringLiteral("ok"));
    browser.navigate(QStringLiteral("http://h/login"));
    DocumentPtr snapshot;
    browser.requestDocument(this, [&](DocumentPtr d) { snapshot = d; });
    QTRY_VERIFY(snapshot);
    const QList<Element> fields = snapshot->elementsByTagName(QStringLiteral("INPUT"));
    snapshot->setValue(fields.at(0), QStringLiteral("me"));
    snapshot->setValue(fields.at(1), QStringLiteral("a&b"));
    QSignalSpy clicked(&browser, &FakeBrowser::elementClicked);
    snapshot->click(fields.at(3)); // outside the form: nothing to send
    snapshot->click(fields.at(2));
    QTRY_COMPARE(clicked.size(), 2);
    QCOMPARE(clicked.at(0).at(1).toString(), QString());
    QTRY_COMPARE(browser.url(), QStringLiteral("http://h/check?user=me&pass=a%26b"));
    QTRY_VERIFY(!browser.isBusy());
    QVERIFY(browser.livePage());
}

QTEST_GUILESS_MAIN(tst_HtmlDocument)
#include "tst_htmldocument.moc"
