// quillmoor-fixture-site: the fixture HTTP server as a program of its own, for
// end-to-end runs, demos and benchmarks.
//
//   quillmoor-fixture-site --root DIR [--port N] [--port-file FILE]
//
// Serves the files of DIR, plus scripted paths:
//   /html/<name>      an HTML page (what a site sends instead of a file)
//   /chunked/<bytes>  chunked body of that size
//   /close/<bytes>    body ended by closing the connection
//   /nosize/<bytes>   200 without Content-Length or Content-Type, close-delimited
//   /slow/<bytes>     1 KiB every 100 ms
//   /status/<code>    that status with a small HTML body
//   /busy/<n>/<bytes> 503 with Retry-After: 0 for the first n requests, then
//                     a PDF of that size
//   /later/<seconds>  429 with Retry-After: <seconds>
//   /redirect/<path>  302 to /<path>
// and the pages of the literature site (LiteratureSite.h): result pages under
// /search (today's layout with new-search=true, including pages that answer
// 503 or 500, answer slowly, never complete or open themselves again), entry
// and book pages, and PDFs under /content/pdf/; the members' area that needs a
// login under /members/ (LoginSite.h).
// Generated bodies start with "%PDF-1.4" followed by offset-dependent bytes.

#include "FixtureServer.h"
#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillmoor-fixture-site"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Loopback HTTP fixture site"));
    parser.addHelpOption();
    const QCommandLineOption rootOption(QStringLiteral("root"),
        QStringLiteral("Folder whose files are served."), QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Port to listen on (0: any free one)."), QStringLiteral("N"),
        QStringLiteral("0"));
    const QCommandLineOption portFileOption(QStringLiteral("port-file"),
        QStringLiteral("File to write the chosen port to."), QStringLiteral("FILE"));
    parser.addOptions({ rootOption, portOption, portFileOption });
    parser.process(app);

    const QString root = parser.value(rootOption);
    if (root.isEmpty() || !QDir(root).exists()) {
        std::fprintf(stderr, "quillmoor-fixture-site: --root DIR must name a folder\n");
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "quillmoor-fixture-site: bad --port\n");
        return 2;
    }

    // SIGINT and SIGTERM end the event loop, so the server closes cleanly.
    TerminationSignals termination;
    QObject::connect(
        &termination, &TerminationSignals::received, &app, [] { QCoreApplication::quit(); });

    FixtureServer server;
    server.serveSite(root);
    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "quillmoor-fixture-site: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }

    if (parser.isSet(portFileOption)) {
        // Written whole or not at all, so a reader never sees half a number.
        QSaveFile file(parser.value(portFileOption));
        if (!file.open(QIODevice::WriteOnly)
            || file.write(QByteArray::number(server.port()) + '\n') < 0 || !file.commit()) {
            std::fprintf(stderr, "quillmoor-fixture-site: cannot write the port file\n");
            return 1;
        }
    }
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);

    const int result = QCoreApplication::exec();
    server.stop();
    return result;
}
