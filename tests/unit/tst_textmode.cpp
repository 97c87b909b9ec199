#include "common/TextMode.h"

#include <QRandomGenerator>
#include <QTest>

#include <thread>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CompareMode)

class TestTextMode : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void indexOf_data();
    void indexOf();
    void lastIndexOf_data();
    void lastIndexOf();
    void equals();
    void replace_data();
    void replace();
    void trimSpaces();
    void gbkByteCount_data();
    void gbkByteCount();
    void gbkCountDoesNotDependOnEarlierTexts_data();
    void gbkCountDoesNotDependOnEarlierTexts();
    void utf8Search_data();
    void utf8Search();
    void utf8SearchAgreesWithDecodedText();
};

void TestTextMode::indexOf_data()
{
    QTest::addColumn<QString>("hay");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<CompareMode>("mode");
    QTest::addColumn<qsizetype>("expected");

    const auto T = CompareMode::Text;
    const auto E = CompareMode::Exact;
    QTest::newRow("text ignores case")
        << u"Content-Type: x"_s << u"content-type:"_s << qsizetype(0) << T << qsizetype(0);
    QTest::newRow("exact keeps case")
        << u"Content-Type: x"_s << u"content-type:"_s << qsizetype(0) << E << qsizetype(-1);
    QTest::newRow("full-width colon is a colon")
        << u"标题：副标题"_s << u":"_s << qsizetype(0) << T << qsizetype(2);
    QTest::newRow("full-width letters fold both ways")
        << u"ａＢｃ.PDF"_s << u"AbC.pdf"_s << qsizetype(0) << T << qsizetype(0);
    QTest::newRow("ideographic space is not a space")
        << u"a\u3000b"_s << u"a b"_s << qsizetype(0) << T << qsizetype(-1);
    QTest::newRow("non-ASCII letters fold")
        << u"ÉCOLE"_s << u"école"_s << qsizetype(0) << T << qsizetype(0);
    QTest::newRow("from skips earlier hits")
        << u"a.b.c"_s << u"."_s << qsizetype(2) << T << qsizetype(3);
    QTest::newRow("negative from counts from the end")
        << u"a.b.c"_s << u"."_s << qsizetype(-2) << T << qsizetype(3);
    QTest::newRow("needle longer than hay")
        << u"ab"_s << u"abc"_s << qsizetype(0) << T << qsizetype(-1);
    QTest::newRow("match at the very end")
        << u"xxHTML>"_s << u"html>"_s << qsizetype(0) << T << qsizetype(2);
    QTest::newRow("empty needle found at from")
        << u"abc"_s << QString() << qsizetype(1) << T << qsizetype(1);
    QTest::newRow("from beyond the end")
        << u"abc"_s << u"c"_s << qsizetype(9) << T << qsizetype(-1);
}

void TestTextMode::indexOf()
{
    QFETCH(QString, hay);
    QFETCH(QString, needle);
    QFETCH(qsizetype, from);
    QFETCH(CompareMode, mode);
    QFETCH(qsizetype, expected);
    QCOMPARE(textIndexOf(hay, needle, from, mode), expected);
}

void TestTextMode::lastIndexOf_data()
{
    QTest::addColumn<QString>("hay");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<CompareMode>("mode");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("last dot") << u"a.b.c"_s << u"."_s << qsizetype(-1) << CompareMode::Text
                              << qsizetype(3);
    QTest::newRow("full-width dot is a dot")
        << u"a.b．c"_s << u"."_s << qsizetype(-1) << CompareMode::Text << qsizetype(3);
    QTest::newRow("exact skips full-width")
        << u"a.b．c"_s << u"."_s << qsizetype(-1) << CompareMode::Exact << qsizetype(1);
    QTest::newRow("from limits the start")
        << u"ab]ab]"_s << u"AB"_s << qsizetype(2) << CompareMode::Text << qsizetype(0);
    QTest::newRow("needle at start only")
        << u"<HTML>x"_s << u"<html>"_s << qsizetype(-1) << CompareMode::Text << qsizetype(0);
    QTest::newRow("absent") << u"abc"_s << u"d"_s << qsizetype(-1) << CompareMode::Text
                            << qsizetype(-1);
}

void TestTextMode::lastIndexOf()
{
    QFETCH(QString, hay);
    QFETCH(QString, needle);
    QFETCH(qsizetype, from);
    QFETCH(CompareMode, mode);
    QFETCH(qsizetype, expected);
    QCOMPARE(textLastIndexOf(hay, needle, from, mode), expected);
}

void TestTextMode::equals()
{
    QVERIFY(textEquals(u"ＰＤＦ", u"pdf", CompareMode::Text));
    QVERIFY(!textEquals(u"ＰＤＦ", u"pdf", CompareMode::Exact));
    QVERIFY(!textEquals(u"pdf", u"pdfx", CompareMode::Text));
    QVERIFY(textStartsWith(u"Content-Disposition: x", u"CONTENT-DISPOSITION:"));
    QVERIFY(textEndsWith(u"report.PDF", u".pdf"));
    QVERIFY(!textEndsWith(u"pdf", u"a.pdf"));
}

void TestTextMode::replace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<CompareMode>("mode");
    QTest::addColumn<QString>("expected");

    QTest::newRow("text mode, every case")
        << u"HTTP://a/http://b"_s << u"http://"_s << u"https://"_s << CompareMode::Text
        << u"https://a/https://b"_s;
    QTest::newRow("exact mode, one case") << u"HTTP://a/http://b"_s << u"http://"_s << u"https://"_s
                                          << CompareMode::Exact << u"HTTP://a/https://b"_s;
    QTest::newRow("full-width removed")
        << u"a：b:c"_s << u":"_s << QString() << CompareMode::Text << u"abc"_s;
    QTest::newRow("no overlap, replacement not rescanned")
        << u"aaaa"_s << u"aa"_s << u"a"_s << CompareMode::Text << u"aa"_s;
    QTest::newRow("empty before leaves text")
        << u"abc"_s << QString() << u"x"_s << CompareMode::Text << u"abc"_s;
}

void TestTextMode::replace()
{
    QFETCH(QString, text);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(CompareMode, mode);
    QFETCH(QString, expected);
    QCOMPARE(textReplace(text, before, after, mode), expected);
}

void TestTextMode::trimSpaces()
{
    QCOMPARE(TrimSpaces(u"  \ta b\t  "_s), u"\ta b\t"_s);
    QCOMPARE(TrimSpaces(u"\u3000x\u3000"_s), u"\u3000x\u3000"_s);
    QCOMPARE(TrimSpaces(u"    "_s), QString());
}

void TestTextMode::gbkByteCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("ASCII") << u"abc"_s << 3;
    QTest::newRow("Chinese two bytes each") << u"中文"_s << 4;
    QTest::newRow("full-width colon") << u"："_s << 2;
    QTest::newRow("emoji as in GB18030") << u"a😀b"_s << 6;
    QTest::newRow("unencodable BMP symbol") << u"☃"_s << 4;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << 4;
    QTest::newRow("empty") << QString() << 0;
}

void TestTextMode::gbkByteCount()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(GbkByteCount(text), expected);
}

void TestTextMode::gbkCountDoesNotDependOnEarlierTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("Greek") << u"αβγδ"_s << 8;
    QTest::newRow("Cyrillic") << u"Привет"_s << 12;
    QTest::newRow("accented Latin in GBK") << u"éàü"_s << 6;
    QTest::newRow("Chinese") << u"中文"_s << 4;
}

// Characters GBK cannot encode (ä, ß, an emoji) once left the shared
// encoder's error flag set, and every later non-ASCII character counted as
// 4 bytes for the rest of the thread.
void TestTextMode::gbkCountDoesNotDependOnEarlierTexts()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    for (const QString &before : { u"Über die Änderung"_s, u"Straße"_s, u"😀"_s, u"☃"_s }) {
        GbkByteCount(before);
        QCOMPARE(GbkByteCount(text), expected);
        for (const QChar c : before)
            GbkCharByteCount(c.unicode());
        QCOMPARE(GbkByteCount(text), expected);
    }
    int fromOtherThread = -1;
    std::thread other([&] {
        GbkByteCount(u"Ärger"_s);
        fromOtherThread = GbkByteCount(text);
    });
    other.join();
    QCOMPARE(fromOtherThread, expected);
}

void TestTextMode::utf8Search_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("found");
    QTest::newRow("ASCII, other case") << "<HTML><Title>"_ba << u"<title>"_s << true;
    QTest::newRow("full-width forms") << u"＜ｈｔｍｌ＞"_s.toUtf8() << u"html>"_s << true;
    QTest::newRow("full-width, mixed with ASCII")
        << u"ＤＯＣtype＝"_s.toUtf8() << u"DOCTYPE="_s << true;
    QTest::newRow("Kelvin sign folds to k") << u"ma\u212Ae"_s.toUtf8() << u"make"_s << true;
    QTest::newRow("invalid byte splits a word") << "ht\xFFml>"_ba << u"html>"_s << false;
    QTest::newRow("lone continuation byte") << "A1\x80="_ba << u"A1="_s << false;
    QTest::newRow("overlong '<' is no '<'") << "\xC0\xBChtml "_ba << u"<html "_s << false;
    QTest::newRow("cut-off sequence before a word") << "\xEF\xBChtml>"_ba << u"html>"_s << true;
    QTest::newRow("cut-off full-width form at the end") << "html\xEF\xBC"_ba << u"html>"_s << false;
    QTest::newRow("NUL inside a word") << QByteArray("A1\0=", 4) << u"A1="_s << false;
    QTest::newRow("empty text") << QByteArray() << u"A1="_s << false;
}

void TestTextMode::utf8Search()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, word);
    QFETCH(bool, found);
    QCOMPARE(Utf8TextSearch(bytes).contains(QLatin1StringView(word.toLatin1())), found);
    QCOMPARE(textContains(QString::fromUtf8(bytes), word), found);
}

// The byte search must answer as decoding and searching the text would, for
// any bytes: random mixes of word pieces in every form, sequences cut off or
// broken, and stray bytes.
void TestTextMode::utf8SearchAgreesWithDecodedText()
{
    const QList<QByteArray> pieces = { "<"_ba, ">"_ba, "="_ba, " "_ba, "h"_ba, "T"_ba, "m"_ba,
        "L"_ba, "k"_ba, "s"_ba, "A1"_ba, "[TARGET]"_ba, u"＜"_s.toUtf8(), u"ｈ"_s.toUtf8(),
        u"Ｔ"_s.toUtf8(), u"＝"_s.toUtf8(), u"\u212A"_s.toUtf8(), u"\u017F"_s.toUtf8(),
        u"中"_s.toUtf8(), u"😀"_s.toUtf8(), "\xEF"_ba, "\xBC"_ba, "\xEF\xBC"_ba, "\xC0"_ba,
        "\xED\xA0\x80"_ba, "\xF0\x9F"_ba, "\xFF"_ba, QByteArray(1, '\0') };
    const QList<QLatin1StringView> words
        = { "<html "_L1, "html>"_L1, "<title>"_L1, "A1="_L1, "[TARGET]"_L1, "ks"_L1, "h"_L1 };
    QRandomGenerator random(20261210);
    for (int round = 0; round < 4000; ++round) {
        QByteArray bytes;
        const int count = random.bounded(1, 12);
        for (int i = 0; i < count; ++i)
            bytes += pieces.at(random.bounded(pieces.size()));
        const Utf8TextSearch search(bytes);
        const QString decoded = QString::fromUtf8(bytes);
        for (const QLatin1StringView word : words) {
            if (search.contains(word) != textContains(decoded, QString(word)))
                QFAIL(qPrintable(u"disagree on %1 for %2"_s.arg(
                    QString(word), QString::fromLatin1(bytes.toHex(' ')))));
        }
    }
}

QTEST_GUILESS_MAIN(TestTextMode)
#include "tst_textmode.moc"
