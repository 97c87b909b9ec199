#include "TestEnvironment.h"
#include "common/SettingsStore.h"
#include "download/InputLines.h"
#include "search/SiteOrigin.h"

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
    void doiLines_data();
    void doiLines();
    void siteOrigin_data();
    void siteOrigin();
    void storedSiteOrigin();
    void parseInputLines();
    void downloadAddress_data();
    void downloadAddress();
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
    const DownloadItem row = DownloadItemForInputLine(
        *parsed, u"/save/"_s, u"http://r.test/"_s, QUrl(u"https://site.test/"_s));
    QCOMPARE(row.Key, parsed->Key);
    QCOMPARE(row.Name, name);
    QCOMPARE(row.Type, type);
    QCOMPARE(row.Folder, u"/save/"_s);
    QCOMPARE(row.Referer, referer);
    QCOMPARE(row.StatusCode, Status::Waiting);
    QVERIFY(row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty());
}

// Each way of writing a DOI gives the PDF address of that DOI on the site,
// named after the DOI (or the title); other text is an address as before.
void TestInputLines::doiLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("doi");

    const QString pdf = u"https://site.test:8443/content/pdf/10.1007%2Fs1-x.pdf"_s;
    const QString name = u"10.1007_s1-x"_s;
    const QString doi = u"10.1007/s1-x"_s;
    QTest::newRow("bare") << u"10.1007/s1-x"_s << pdf << name << u"pdf"_s << doi;
    QTest::newRow("doi:") << u"doi:10.1007/s1-x"_s << pdf << name << u"pdf"_s << doi;
    QTest::newRow("https://doi.org/")
        << u"https://doi.org/10.1007/s1-x"_s << pdf << name << u"pdf"_s << doi;
    QTest::newRow("dx.doi.org, percent-encoded")
        << u"http://dx.doi.org/10.1007%2Fs1-x"_s << pdf << name << u"pdf"_s << doi;
    QTest::newRow("upper case keeps the DOI's own case")
        << u"HTTPS://DOI.ORG/10.1007/S1-X"_s
        << u"https://site.test:8443/content/pdf/10.1007%2FS1-X.pdf"_s << u"10.1007_S1-X"_s
        << u"pdf"_s << u"10.1007/S1-X"_s;
    QTest::newRow("title names it")
        << u"doi:10.1007/s1-x\t深度学习：综述"_s << pdf << u"深度学习综述"_s << u"pdf"_s << doi;
    QTest::newRow("parentheses, semicolon and what a name cannot hold")
        << u"10.1002/(SICI)1097-4636(199706)35:4<1::AID-JBM1>3.0.CO;2-H"_s
        << u"https://site.test:8443/content/pdf/"
           "10.1002%2F(SICI)1097-4636(199706)35:4<1::AID-JBM1>3.0.CO;2-H.pdf"_s
        << u"10.1002_(SICI)1097-4636(199706)3541AID-JBM13.0.CO;2-H"_s << u"pdf"_s
        << u"10.1002/(SICI)1097-4636(199706)35:4<1::AID-JBM1>3.0.CO;2-H"_s;
    QTest::newRow("prefix of three digits is no DOI")
        << u"10.123/abc"_s << u"10.123/abc"_s << u"abc"_s << QString() << QString();
    QTest::newRow("text") << u"see the paper"_s << u"see the paper"_s << u"see the paper"_s
                          << QString() << QString();
    QTest::newRow("a PDF address tells its DOI")
        << u"http://a.test/content/pdf/10.1007%2Fs2.pdf"_s
        << u"http://a.test/content/pdf/10.1007%2Fs2.pdf"_s << u"10.1007%2Fs2"_s << u"pdf"_s
        << u"10.1007/s2"_s;
}

void TestInputLines::doiLines()
{
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, doi);
    const std::optional<InputLine> parsed = ParseInputLine(line);
    QVERIFY(parsed);
    // Only the origin of the site counts.
    const DownloadItem row = DownloadItemForInputLine(
        *parsed, u"/save/"_s, {}, QUrl(u"https://site.test:8443/search?query=x"_s));
    QCOMPARE(row.Key, key);
    QCOMPARE(row.Name, name);
    QCOMPARE(row.Type, type);
    QCOMPARE(row.Doi, doi);
    QCOMPARE(row.Folder, u"/save/"_s);
    QCOMPARE(row.StatusCode, Status::Waiting);

    // Without a site a DOI line stays as it was written.
    if (!parsed->Doi.isEmpty()) {
        const DownloadItem bare = DownloadItemForInputLine(*parsed, u"/save/"_s, {}, QUrl());
        QCOMPARE(bare.Key, parsed->Key);
        QCOMPARE(bare.Doi, doi);
    }
}

void TestInputLines::siteOrigin_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("origin");
    QTest::newRow("home page") << u"https://link.springer.com/"_s << u"https://link.springer.com"_s;
    QTest::newRow("path, query and case go")
        << u" HTTP://Site.Test:8080/search?q=1#x "_s << u"http://site.test:8080"_s;
    QTest::newRow("not http") << u"ftp://site.test/"_s << QString();
    QTest::newRow("no host") << u"/content/pdf/"_s << QString();
    QTest::newRow("scheme only") << u"https://"_s << QString();
    QTest::newRow("space in the host") << u"http://a b/"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestInputLines::siteOrigin()
{
    QFETCH(QString, address);
    QFETCH(QString, origin);
    QCOMPARE(SiteOriginOf(address).toString(), origin);
}

void TestInputLines::storedSiteOrigin()
{
    useTestLocations();
    QCOMPARE(StoredSiteOrigin().toString(), u"https://link.springer.com"_s);
    WriteSetting(u"设置"_s, u"首页网址"_s, u"http://127.0.0.1:8123/search"_s);
    QCOMPARE(StoredSiteOrigin().toString(), u"http://127.0.0.1:8123"_s);
    // A stored value that is no address: the default site.
    WriteSetting(u"设置"_s, u"首页网址"_s, u"about:blank"_s);
    QCOMPARE(StoredSiteOrigin().toString(), u"https://link.springer.com"_s);
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

void TestInputLines::downloadAddress_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("address");
    QTest::newRow("http") << u"http://a.test/1.pdf"_s << true;
    QTest::newRow("https with port and query") << u"https://a.test:8443/get?id=1"_s << true;
    QTest::newRow("three alternatives")
        << u"http://a.test/1|https://b.test/1|http://c.test/1"_s << true;
    QTest::newRow("one alternative is text") << u"http://a.test/1|see b"_s << false;
    QTest::newRow("empty alternative") << u"http://a.test/1|"_s << false;
    QTest::newRow("words") << u"Just a title"_s << false;
    QTest::newRow("DOI text") << u"10.1007/s1-x"_s << false;
    QTest::newRow("no host") << u"http:///x.pdf"_s << false;
    QTest::newRow("ftp") << u"ftp://a.test/x.pdf"_s << false;
    QTest::newRow("file") << u"file:///tmp/x.pdf"_s << false;
    QTest::newRow("blob") << u"blob:http://a.test/1234"_s << false;
    QTest::newRow("space inside") << u"http://a.test/a b.pdf"_s << false;
}

void TestInputLines::downloadAddress()
{
    QFETCH(QString, key);
    QTEST(IsDownloadAddress(key), "address");
}

QTEST_GUILESS_MAIN(TestInputLines)
#include "tst_inputlines.moc"
