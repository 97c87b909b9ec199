#include "common/MimeTypes.h"

#include <QTest>

class TestMimeTypes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void extension_data();
    void extension();
};

void TestMimeTypes::extension_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const QString &type, const QString &ext) {
        QTest::newRow(name) << type << ext;
    };

    // Rows of the table, several per main type.
    row("pdf", QStringLiteral("application/pdf"), QStringLiteral("pdf"));
    row("octet-stream names nothing", QStringLiteral("application/octet-stream"), QString());
    row("flash", QStringLiteral("application/x-shockwave-flash"), QStringLiteral("swf"));
    row("javascript", QStringLiteral("application/x-javascript"), QStringLiteral("js"));
    row("works", QStringLiteral("application/vnd.ms-works"), QStringLiteral("wps"));
    row("msword", QStringLiteral("application/msword"), QStringLiteral("doc"));
    row("powerpoint", QStringLiteral("application/vnd.ms-powerpoint"), QStringLiteral("ppt"));
    row("docx long",
        QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
        QStringLiteral("docx"));
    row("xlsx long",
        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
        QStringLiteral("xlsx"));
    row("ppsx long",
        QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.slideshow"),
        QStringLiteral("ppsx"));
    row("x-excel", QStringLiteral("application/x-excel"), QStringLiteral("xls"));
    row("x-msdownload", QStringLiteral("application/x-msdownload"), QStringLiteral("dll"));
    row("x-compressed", QStringLiteral("application/x-compressed"), QStringLiteral("tgz"));
    row("x-zip-compressed", QStringLiteral("application/x-zip-compressed"), QStringLiteral("zip"));
    row("x-compress", QStringLiteral("application/x-compress"), QStringLiteral("z"));
    row("caj", QStringLiteral("application/caj"), QStringLiteral("caj"));
    row("text/plain", QStringLiteral("text/plain"), QStringLiteral("txt"));
    row("text/html", QStringLiteral("text/html"), QStringLiteral("html"));
    row("text/css", QStringLiteral("text/css"), QStringLiteral("css"));
    row("text other subtype", QStringLiteral("text/csv"), QStringLiteral("csv"));
    row("image/tiff", QStringLiteral("image/tiff"), QStringLiteral("tif"));
    row("image/pjpeg", QStringLiteral("image/pjpeg"), QStringLiteral("pjpeg"));
    row("image/x-png", QStringLiteral("image/x-png"), QStringLiteral("png"));
    row("image/x-icon", QStringLiteral("image/x-icon"), QStringLiteral("ico"));
    row("video/mpeg", QStringLiteral("video/mpeg"), QStringLiteral("mpeg"));
    row("video/quicktime", QStringLiteral("video/quicktime"), QStringLiteral("mov"));
    row("audio/x-pn-realaudio", QStringLiteral("audio/x-pn-realaudio"), QStringLiteral("ram"));
    row("audio/midi", QStringLiteral("audio/midi"), QStringLiteral("mid"));
    row("audio/x-mpegurl", QStringLiteral("audio/x-mpegurl"), QStringLiteral("mpeg"));
    row("message/rfc822", QStringLiteral("message/rfc822"), QStringLiteral("mht"));

    // Case and spaces.
    row("upper case", QStringLiteral("APPLICATION/PDF"), QStringLiteral("pdf"));
    row("space inside subtype", QStringLiteral("application/ pdf"), QStringLiteral("pdf"));
    row("spaces around main type", QStringLiteral("  Text /Plain"), QStringLiteral("txt"));

    // Empty subtype or wildcard under a known main type, and any subtype elsewhere.
    row("image wildcard", QStringLiteral("image/*"), QString());
    row("known main, empty subtype", QStringLiteral("audio/"), QString());
    row("unknown main type keeps subtype", QStringLiteral("model/vrml"), QStringLiteral("vrml"));
    row("unknown main type wildcard", QStringLiteral("chemical/*"), QString());

    // The final cut: leading letters, at most five.
    row("json", QStringLiteral("application/json"), QStringLiteral("json"));
    row("epub+zip", QStringLiteral("application/epub+zip"), QStringLiteral("epub"));
    row("x-rar-compressed", QStringLiteral("application/x-rar-compressed"), QStringLiteral("x"));
    row("dotted macro type", QStringLiteral("application/vnd.ms-excel.sheet.macroenabled.12"),
        QStringLiteral("vnd"));
    row("six letters give nothing", QStringLiteral("application/postscript"), QString());
    row("five letters stay", QStringLiteral("audio/abcde"), QStringLiteral("abcde"));
    row("digit ends the run", QStringLiteral("application/abc1"), QStringLiteral("abc"));

    // Types whose extension carries a digit or would be cut short.
    row("video/mpeg4", QStringLiteral("video/mpeg4"), QStringLiteral("mp4"));
    row("realmedia", QStringLiteral("application/vnd.rn-realmedia"), QStringLiteral("rm"));
    row("g3fax", QStringLiteral("image/g3fax"), QStringLiteral("g3"));

    // Not exactly two parts.
    row("no slash", QStringLiteral("pdf"), QStringLiteral("pdf"));
    row("no slash, spaces and case", QStringLiteral(" PDF "), QStringLiteral("pdf"));
    row("three parts", QStringLiteral("a/b/c"), QStringLiteral("a"));
    row("empty", QString(), QString());
}

void TestMimeTypes::extension()
{
    QFETCH(QString, contentType);
    QFETCH(QString, expected);
    QCOMPARE(ExtensionFromContentType(contentType), expected);
}

QTEST_APPLESS_MAIN(TestMimeTypes)
#include "tst_mimetypes.moc"
