#include "common/Doi.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDoi : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void doiFromPath_data();
    void doiFromPath();
    void contentLinkFromUrl_data();
    void contentLinkFromUrl();
    void contentKindNames();
    void doiFromPdfUrl_data();
    void doiFromPdfUrl();
    void pdfAddressEncoding_data();
    void pdfAddressEncoding();
    void pdfAddressRoundTrip_data();
    void pdfAddressRoundTrip();
    void sameDoi_data();
    void sameDoi();
    void doiFromInputText_data();
    void doiFromInputText();
};

void TestDoi::doiFromPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("doi");

    QTest::newRow("plain") << u"/article/10.1007/s00134-020-06294-x"_s
                           << u"10.1007/s00134-020-06294-x"_s;
    QTest::newRow("%2F instead of /")
        << u"/article/10.1007%2Fs00134-020-06294-x"_s << u"10.1007/s00134-020-06294-x"_s;
    QTest::newRow("lower-case %2f")
        << u"/chapter/10.1007%2f978-3-030-1_2"_s << u"10.1007/978-3-030-1_2"_s;
    QTest::newRow("later segment dropped")
        << u"/article/10.1007/s1-2/fulltext.html"_s << u"10.1007/s1-2"_s;
    QTest::newRow("trailing slash") << u"/article/10.1007/s1-2/"_s << u"10.1007/s1-2"_s;
    QTest::newRow("query") << u"/article/10.1007/s1-2?error=cookies"_s << u"10.1007/s1-2"_s;
    QTest::newRow("fragment") << u"/article/10.1007/s1-2#Sec3"_s << u"10.1007/s1-2"_s;
    QTest::newRow("encoded query mark is part of the DOI")
        << u"/article/10.1007/a%3Fb"_s << u"10.1007/a?b"_s;
    QTest::newRow("upper case kept") << u"/article/10.1007/S1-AB"_s << u"10.1007/S1-AB"_s;
    QTest::newRow("four digits") << u"/10.1234/x"_s << u"10.1234/x"_s;
    QTest::newRow("nine digits") << u"/10.123456789/x"_s << u"10.123456789/x"_s;
    QTest::newRow("three digits") << u"/article/10.123/x"_s << QString();
    QTest::newRow("ten digits") << u"/article/10.1234567890/x"_s << QString();
    QTest::newRow("empty suffix") << u"/article/10.1007/"_s << QString();
    QTest::newRow("no suffix") << u"/article/10.1007"_s << QString();
    QTest::newRow("not at a segment start") << u"/article/x10.1007/abc"_s << QString();
    QTest::newRow("other path") << u"/search?query=10.1007/abc"_s << QString();
    QTest::newRow("non-ASCII suffix")
        << u"/article/10.1007/%E6%96%87%E7%8C%AE-1"_s << u"10.1007/文献-1"_s;
    QTest::newRow("parentheses and semicolon")
        << u"/article/10.1002/(SICI)1097;2-4"_s << u"10.1002/(SICI)1097;2-4"_s;
    QTest::newRow("non-ASCII digits are no prefix") << u"/article/10.١٢٣٤/x"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestDoi::doiFromPath()
{
    QFETCH(QString, path);
    QFETCH(QString, doi);
    QCOMPARE(DoiFromPath(path), doi);
}

void TestDoi::contentLinkFromUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("doi");
    QTest::addColumn<ContentKind>("kind");

    const QString site = u"https://link.springer.com"_s;
    QTest::newRow("article") << site + u"/article/10.1007/s1"_s << u"10.1007/s1"_s
                             << ContentKind::Article;
    QTest::newRow("chapter %2F") << site + u"/chapter/10.1007%2F978-3-1_2"_s
                                 << u"10.1007/978-3-1_2"_s << ContentKind::Chapter;
    QTest::newRow("book with a later segment")
        << site + u"/book/10.1007/978-3-1/page/2"_s << u"10.1007/978-3-1"_s << ContentKind::Book;
    QTest::newRow("reference work entry")
        << site + u"/referenceworkentry/10.1007/978-1_5?x=1"_s << u"10.1007/978-1_5"_s
        << ContentKind::ReferenceWorkEntry;
    QTest::newRow("protocol with fragment") << site + u"/protocol/10.1007/978-1-4939_3#Sec1"_s
                                            << u"10.1007/978-1-4939_3"_s << ContentKind::Protocol;
    QTest::newRow("other host, same path")
        << u"http://127.0.0.1:8080/article/10.1007/s1"_s << u"10.1007/s1"_s << ContentKind::Article;
    QTest::newRow("PDF link is no content link")
        << site + u"/content/pdf/10.1007/s1.pdf"_s << QString() << ContentKind::Unknown;
    QTest::newRow("kind not first")
        << site + u"/en/article/10.1007/s1"_s << QString() << ContentKind::Unknown;
    QTest::newRow("other kind") << site + u"/journal/10.1007/s1"_s << QString()
                                << ContentKind::Unknown;
    QTest::newRow("no DOI after the kind")
        << site + u"/article/abc/10.1007/s1"_s << QString() << ContentKind::Unknown;
    QTest::newRow("kind in upper case")
        << site + u"/Article/10.1007/s1"_s << QString() << ContentKind::Unknown;
    QTest::newRow("kind alone") << site + u"/article/"_s << QString() << ContentKind::Unknown;
}

void TestDoi::contentLinkFromUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, doi);
    QFETCH(ContentKind, kind);
    const std::optional<ContentLink> link = ContentLinkFromUrl(QUrl(url));
    QCOMPARE(link.has_value(), !doi.isEmpty());
    if (link) {
        QCOMPARE(link->Doi, doi);
        QCOMPARE(link->Kind, kind);
    }
}

void TestDoi::contentKindNames()
{
    const QList<ContentKind> kinds { ContentKind::Article, ContentKind::Chapter, ContentKind::Book,
        ContentKind::ReferenceWorkEntry, ContentKind::Protocol };
    const QStringList names { u"article"_s, u"chapter"_s, u"book"_s, u"referenceworkentry"_s,
        u"protocol"_s };
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        QCOMPARE(ContentKindName(kinds.at(i)), names.at(i));
        QCOMPARE(ContentKindFromName(names.at(i)), kinds.at(i));
        QCOMPARE(ContentKindFromName(names.at(i).toUpper()), kinds.at(i));
    }
    QCOMPARE(ContentKindName(ContentKind::Unknown), QString());
    QCOMPARE(ContentKindFromName(QString()), ContentKind::Unknown);
    QCOMPARE(ContentKindFromName(u"journal"_s), ContentKind::Unknown);
}

void TestDoi::doiFromPdfUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("doi");

    const QString site = u"https://link.springer.com"_s;
    QTest::newRow("%2F") << site + u"/content/pdf/10.1007%2Fs1-2.pdf"_s << u"10.1007/s1-2"_s;
    QTest::newRow("plain /") << site + u"/content/pdf/10.1007/s1-2.pdf"_s << u"10.1007/s1-2"_s;
    QTest::newRow("query and fragment")
        << site + u"/content/pdf/10.1007%2Fs1.pdf?x=1#page=2"_s << u"10.1007/s1"_s;
    QTest::newRow("upper-case extension")
        << site + u"/content/pdf/10.1007%2Fs1.PDF"_s << u"10.1007/s1"_s;
    QTest::newRow("DOI ending in .pdf")
        << site + u"/content/pdf/10.1007%2Fa.pdf.pdf"_s << u"10.1007/a.pdf"_s;
    QTest::newRow("no extension") << site + u"/content/pdf/10.1007%2Fs1"_s << QString();
    QTest::newRow("no DOI") << site + u"/content/pdf/paper.pdf"_s << QString();
    QTest::newRow("three digits") << site + u"/content/pdf/10.100%2Fs1.pdf"_s << QString();
    QTest::newRow("empty suffix") << site + u"/content/pdf/10.1007%2F.pdf"_s << QString();
    QTest::newRow("other path") << site + u"/pdf/10.1007%2Fs1.pdf"_s << QString();
    QTest::newRow("content link") << site + u"/article/10.1007/s1"_s << QString();
}

void TestDoi::doiFromPdfUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, doi);
    QCOMPARE(DoiFromPdfUrl(QUrl(url)), doi);
}

void TestDoi::pdfAddressEncoding_data()
{
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("doi");
    QTest::addColumn<QString>("address");

    QTest::newRow("only the origin is used")
        << u"https://user:pw@link.springer.com/search?query=x#top"_s << u"10.1007/s1-2"_s
        << u"https://link.springer.com/content/pdf/10.1007%2Fs1-2.pdf"_s;
    QTest::newRow("port kept") << u"http://127.0.0.1:8123/article/10.1/x"_s << u"10.1007/s1"_s
                               << u"http://127.0.0.1:8123/content/pdf/10.1007%2Fs1.pdf"_s;
    QTest::newRow("reserved characters")
        << u"https://h"_s << u"10.1000/a%b?c#d e/f"_s
        << u"https://h/content/pdf/10.1000%2Fa%25b%3Fc%23d%20e%2Ff.pdf"_s;
    QTest::newRow("control characters") << u"https://h"_s << u"10.1000/a\tb\u007F"_s
                                        << u"https://h/content/pdf/10.1000%2Fa%09b%7F.pdf"_s;
    QTest::newRow("non-ASCII as UTF-8")
        << u"https://h"_s << u"10.1000/文-é"_s
        << u"https://h/content/pdf/10.1000%2F%E6%96%87-%C3%A9.pdf"_s;
    QTest::newRow("everything else as it is")
        << u"https://h"_s << u"10.1002/(SICI)1097-4636<1::AID>;2-[Z]&+=,!*'@$:~"_s
        << u"https://h/content/pdf/10.1002%2F(SICI)1097-4636<1::AID>;2-[Z]&+=,!*'@$:~.pdf"_s;
    QTest::newRow("empty DOI") << u"https://h"_s << QString() << QString();
    QTest::newRow("origin without host") << u"/relative/page"_s << u"10.1007/s1"_s << QString();
}

void TestDoi::pdfAddressEncoding()
{
    QFETCH(QString, origin);
    QFETCH(QString, doi);
    QFETCH(QString, address);
    QCOMPARE(PdfAddressForDoi(QUrl(origin), doi), address);
}

void TestDoi::pdfAddressRoundTrip_data()
{
    QTest::addColumn<QString>("doi");

    QTest::newRow("plain") << u"10.1007/s00134-020-06294-x"_s;
    QTest::newRow("several slashes") << u"10.1000/a/b/c"_s;
    QTest::newRow("SICI") << u"10.1002/(SICI)1097-4636(199706)35:4<431::AID-JBM4>3.0.CO;2-H"_s;
    QTest::newRow("percent sign") << u"10.1000/100%25pure"_s;
    QTest::newRow("query and fragment marks") << u"10.1000/a?b=c#d"_s;
    QTest::newRow("spaces") << u"10.1000/two words"_s;
    QTest::newRow("Chinese") << u"10.12345/中文文献（二）"_s;
    QTest::newRow("brackets, pipe, backslash") << u"10.1000/[x]{y}|z\\w^`\""_s;
    QTest::newRow("dots") << u"10.1000/../.."_s;
    QTest::newRow("ends in .pdf") << u"10.1000/x.pdf"_s;
}

void TestDoi::pdfAddressRoundTrip()
{
    QFETCH(QString, doi);
    const QString address = PdfAddressForDoi(QUrl(u"https://link.springer.com/"_s), doi);
    QVERIFY(!address.isEmpty());
    const QUrl url(address);
    QVERIFY2(url.isValid(), qPrintable(url.errorString()));
    QCOMPARE(DoiFromPdfUrl(url), doi);
}

void TestDoi::sameDoi_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    QTest::newRow("equal") << u"10.1007/s1"_s << u"10.1007/s1"_s << true;
    QTest::newRow("case") << u"10.1007/S1-AbC"_s << u"10.1007/s1-aBc"_s << true;
    QTest::newRow("different") << u"10.1007/s1"_s << u"10.1007/s2"_s << false;
    QTest::newRow("one empty") << u"10.1007/s1"_s << QString() << false;
    QTest::newRow("both empty") << QString() << QString() << false;
}

void TestDoi::sameDoi()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(SameDoi(a, b), same);
    QCOMPARE(SameDoi(b, a), same);
    if (!a.isEmpty() && !b.isEmpty())
        QCOMPARE(DoiKey(a) == DoiKey(b), same);
}

void TestDoi::doiFromInputText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("doi");

    QTest::newRow("bare") << u"10.1007/s00134-020-06294-x"_s << u"10.1007/s00134-020-06294-x"_s;
    QTest::newRow("trimmed") << u" \t10.1007/s1\u3000"_s << u"10.1007/s1"_s;
    QTest::newRow("nine-digit prefix") << u"10.123456789/x"_s << u"10.123456789/x"_s;
    QTest::newRow("three digits") << u"10.123/x"_s << QString();
    QTest::newRow("ten digits") << u"10.1234567890/x"_s << QString();
    QTest::newRow("doi:") << u"doi:10.1007/s1"_s << u"10.1007/s1"_s;
    QTest::newRow("DOI: with space") << u"DOI: 10.1007/s1"_s << u"10.1007/s1"_s;
    QTest::newRow("https doi.org") << u"https://doi.org/10.1007/s1"_s << u"10.1007/s1"_s;
    QTest::newRow("http dx.doi.org upper case")
        << u"HTTP://DX.DOI.ORG/10.1007/S1"_s << u"10.1007/S1"_s;
    QTest::newRow("doi.org percent-encoded")
        << u"https://doi.org/10.1002/%28SICI%291097%3B2-H"_s << u"10.1002/(SICI)1097;2-H"_s;
    QTest::newRow("slashes, parentheses, semicolons kept")
        << u"10.1002/(SICI)1097-4636(199706)35:4<431::AID-JBM4>3.0.CO;2-H/x"_s
        << u"10.1002/(SICI)1097-4636(199706)35:4<431::AID-JBM4>3.0.CO;2-H/x"_s;
    QTest::newRow("Chinese suffix") << u"10.12345/中文"_s << u"10.12345/中文"_s;
    QTest::newRow("empty suffix") << u"doi:10.1007/"_s << QString();
    QTest::newRow("web address") << u"https://link.springer.com/article/10.1007/s1"_s << QString();
    QTest::newRow("other resolver") << u"https://example.org/10.1007/s1"_s << QString();
    QTest::newRow("text before") << u"see 10.1007/s1"_s << QString();
    QTest::newRow("control character") << u"10.1007/s1\u0001x"_s << QString();
    QTest::newRow("not a DOI") << u"Deep learning for cats"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestDoi::doiFromInputText()
{
    QFETCH(QString, text);
    QFETCH(QString, doi);
    QCOMPARE(DoiFromInputText(text), doi);
}

QTEST_GUILESS_MAIN(TestDoi)
#include "tst_doi.moc"
