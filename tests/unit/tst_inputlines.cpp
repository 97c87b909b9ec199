#include "download/InputLines.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestInputLines : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseInputLine_data();
    void parseInputLine();
    void rowForLine_data();
    void rowForLine();
    void parseInputLines();
};

void TestInputLines::parseInputLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("referer");
    QTest::addColumn<QString>("doi");

    const QString a = u"http://a.test/files/paper.pdf"_s;
    QTest::newRow("address") << a << true << a << QString() << QString() << QString();
    QTest::newRow("white space around, CR")
        << u"\u00A0 \u3000"_s + a + u" \r"_s << true << a << QString() << QString() << QString();
    QTest::newRow("address and title")
        << a + u"\t 深度学习 综述 "_s << true << a << u"深度学习 综述"_s << QString() << QString();
    QTest::newRow("title and referring page")
        << a + u"\tTitle\thttps://a.test/search?q=1"_s << true << a << u"Title"_s
        << u"https://a.test/search?q=1"_s << QString();
    QTest::newRow("tab inside the title stays")
        << a + u"\tPart one\tPart two"_s << true << a << u"Part one\tPart two"_s << QString()
        << QString();
    QTest::newRow("last field not http(s)") << a + u"\tTitle\tftp://a.test/x"_s << true << a
                                            << u"Title\tftp://a.test/x"_s << QString() << QString();
    QTest::newRow("last field with a space")
        << a + u"\tTitle\thttp://a.test/a b"_s << true << a << u"Title\thttp://a.test/a b"_s
        << QString() << QString();
    QTest::newRow("empty title, referring page") << a + u"\t\tTitle\thttp://a.test/p"_s << true << a
                                                 << u"Title"_s << u"http://a.test/p"_s << QString();
    QTest::newRow("alternatives") << u"http://a.test/1.pdf|http://b.test/1.pdf\tT"_s << true
                                  << u"http://a.test/1.pdf|http://b.test/1.pdf"_s << u"T"_s
                                  << QString() << QString();
    QTest::newRow("bare DOI") << u"10.1007/s00134-020-06294-x"_s << true
                              << u"10.1007/s00134-020-06294-x"_s << QString() << QString()
                              << u"10.1007/s00134-020-06294-x"_s;
    QTest::newRow("doi: with title")
        << u"DOI:10.1002/(SICI)1097;2-H\t标题"_s << true << u"DOI:10.1002/(SICI)1097;2-H"_s
        << u"标题"_s << QString() << u"10.1002/(SICI)1097;2-H"_s;
    QTest::newRow("doi.org address")
        << u"https://dx.doi.org/10.1007/s1\tT\thttps://a.test/p"_s << true
        << u"https://dx.doi.org/10.1007/s1"_s << u"T"_s << u"https://a.test/p"_s << u"10.1007/s1"_s;
    QTest::newRow("content address is no DOI line")
        << u"https://link.springer.com/article/10.1007/s1"_s << true
        << u"https://link.springer.com/article/10.1007/s1"_s << QString() << QString() << QString();
    QTest::newRow("empty line") << u""_s << false << QString() << QString() << QString()
                                << QString();
    QTest::newRow("white space only")
        << u" \t\u3000 "_s << false << QString() << QString() << QString() << QString();
    // White space around the line goes first, so a leading tab leaves the
    // title as the address, as the command line always read it.
    QTest::newRow("leading tab") << u"\u3000\tTitle"_s << true << u"Title"_s << QString()
                                 << QString() << QString();
}

void TestInputLines::parseInputLine()
{
    QFETCH(QString, line);
    QFETCH(bool, parsed);
    QFETCH(QString, key);
    QFETCH(QString, title);
    QFETCH(QString, referer);
    QFETCH(QString, doi);
    const std::optional<InputLine> got = ParseInputLine(line);
    QCOMPARE(got.has_value(), parsed);
    if (!got)
        return;
    QCOMPARE(got->Key, key);
    QCOMPARE(got->Title, title);
    QCOMPARE(got->Referer, referer);
    QCOMPARE(got->Doi, doi);
}

void TestInputLines::rowForLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("referer");

    QTest::newRow("name from the address")
        << u"http://a.test/files/paper.pdf?x=1"_s << u"paper"_s << u"pdf"_s << u"http://r.test/"_s;
    QTest::newRow("name from the title, cleaned") << u"http://a.test/files/paper.pdf\t a/b: c? "_s
                                                  << u"ab c"_s << u"pdf"_s << u"http://r.test/"_s;
    QTest::newRow("first alternative") << u"http://a.test/one.pdf|http://b.test/two.epub"_s
                                       << u"one"_s << u"pdf"_s << u"http://r.test/"_s;
    QTest::newRow("own referring page wins") << u"http://a.test/x.pdf\tT\thttp://p.test/list"_s
                                             << u"T"_s << u"pdf"_s << u"http://p.test/list"_s;
    QTest::newRow("title that cleans to nothing")
        << u"http://a.test/\t..."_s << u"download"_s << QString() << u"http://r.test/"_s;
}

void TestInputLines::rowForLine()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, referer);
    const std::optional<InputLine> parsed = ParseInputLine(line);
    QVERIFY(parsed);
    const DownloadItem row = DownloadItemForInputLine(*parsed, u"/save/"_s, u"http://r.test/"_s);
    QCOMPARE(row.Key, parsed->Key);
    QCOMPARE(row.Name, name);
    QCOMPARE(row.Type, type);
    QCOMPARE(row.Folder, u"/save/"_s);
    QCOMPARE(row.Referer, referer);
    QCOMPARE(row.StatusCode, Status::Waiting);
    QVERIFY(row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty());
}

void TestInputLines::parseInputLines()
{
    const QString text = u"\uFEFFhttp://a.test/1.pdf\r\n\r\n  \n10.1007/s2\tTwo\r\n"
                         u"http://a.test/3.pdf\tThree\thttp://p.test/"_s;
    const QList<InputLine> lines = ParseInputLines(text);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).Key, u"http://a.test/1.pdf"_s);
    QCOMPARE(lines.at(1).Doi, u"10.1007/s2"_s);
    QCOMPARE(lines.at(1).Title, u"Two"_s);
    QCOMPARE(lines.at(2).Referer, u"http://p.test/"_s);
    QVERIFY(ParseInputLines(QString()).isEmpty());
}

QTEST_GUILESS_MAIN(TestInputLines)
#include "tst_inputlines.moc"
