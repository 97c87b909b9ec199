// Whatever a server answers, the transfers of both methods parse it through
// to an end: the row completes or fails, no part file stays, nothing is
// written outside the folder, and a completed row's file holds what the row
// says it received. The server is the loopback fixture server sending the
// input as its raw response and closing the connection; the runner keeps
// the process in a network namespace of its own, so a made-up redirect
// cannot reach another host.

#include "DownloadTestRig.h"
#include "FuzzTarget.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<DownloadTestRig> g_rig;
QByteArray g_response;
// Outcomes per method, so a run shows that both paths were taken.
int g_completed[3] = {};
int g_failed[3] = {};

const QList<QByteArray> kResponses = {
    "HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Length: 12\r\n\r\n%PDF-1.4\nabc",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: application/pdf\r\n\r\n"
    "5\r\n%PDF-\r\n3\r\n1.4\r\n0\r\n\r\n",
    "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>login</body></html>",
    "HTTP/1.1 302 Found\r\nLocation: /next.pdf\r\nContent-Length: 0\r\n\r\n",
    "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nnot found",
    "HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"../../x.PDF\"\r\n"
    "Content-Length: 4\r\n\r\nMZ\x90\x00",
    "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc",
    "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 5\r\n\r\nabcde",
    "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
    "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\n\x1f\x8b\x08\x00",
    "HTTP/1.1 200 OK\r\nX-Folded: a\r\n b\r\nContent-Type: application/\r\n\tpdf\r\n\r\n%PDF",
    "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html; charset=utf-8\r\n\r\n",
    "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nshort",
};

const int httpResponses = addFuzzTarget({ .name = u"HTTP responses"_s,
    .seeds = kResponses,
    .run =
        [](const FuzzInput &in) {
            DownloadTestRig &rig = *g_rig;
            g_response = in.bytes();
            const int method = 1 + int(in.bytes().size() % 2);
            rig.options().method = method;
            rig.options().connections = 1;
            rig.list().clear();
            const int row = rig.addRow(u"/paper.pdf"_s, u"paper"_s, u"pdf"_s);
            rig.session.state().LastTransferEnd = rig.clock.nowSeconds() - 10;
            switchOnQuietly(rig.scheduler());
            rig.scheduler().schedulingPass();
            const bool ended = rig.waitUntil(
                [&] {
                    const int status = rig.list().at(row).StatusCode;
                    return (status == Status::Completed || status == Status::Failed)
                        && !rig.single().isRunning() && rig.multi().instanceCount() == 0;
                },
                5000);
            rig.scheduler().stop();
            rig.settle(3);
            in.require(ended,
                u"method %1: the transfer did not end after the server closed"_s.arg(method));

            const DownloadItem item = rig.list().at(row);
            ++(item.StatusCode == Status::Completed ? g_completed : g_failed)[method];
            in.require(rig.list().size() == 1, u"rows appeared"_s);
            const QFileInfoList entries = QDir(rig.folder())
                                              .entryInfoList(QDir::AllEntries | QDir::Hidden
                                                  | QDir::System | QDir::NoDotAndDotDot);
            for (const QFileInfo &entry : entries) {
                in.require(!entry.fileName().startsWith(u".qm-"_s),
                    u"method %1: a part file stayed: "_s.arg(method) + entry.fileName());
                in.require(entry.isFile() && !entry.isSymLink(),
                    u"method %1: not a plain file in the folder: "_s.arg(method)
                        + entry.fileName());
            }
            in.require(item.Folder == rig.folder(), u"the row's folder changed"_s);
            in.require(!item.Name.contains(u'/') && !item.Type.contains(u'/'),
                u"the row's name leaves its folder"_s);
            bool numeric = false;
            const qint64 received = item.Received.toLongLong(&numeric);
            if (item.StatusCode == Status::Completed && item.Percent == u"100%"_s && numeric) {
                const QFileInfo saved(item.savedFilePath());
                in.require(saved.isFile(), u"method %1: a completed row has no file"_s.arg(method));
                in.require(saved.size() == received,
                    u"method %1: the file holds %2 bytes, the row says %3"_s.arg(method)
                        .arg(saved.size())
                        .arg(received));
            }
            for (const QFileInfo &entry : entries)
                QFile::remove(entry.absoluteFilePath());
        },
    .tokens = { "HTTP/1.1 ", "HTTP/1.0 ", "\r\n", "\r\n\r\n", "Content-Length: ",
        "Transfer-Encoding: chunked", "Content-Type: text/html", "Content-Type: application/pdf",
        "Content-Disposition: ", "Location: /", "Location: /paper.pdf", "Content-Encoding: gzip",
        "Set-Cookie: a=b", " 200 OK", " 206 Partial", " 301 ", " 401 ", " 503 ", "0\r\n\r\n" },
    .perMille = 5,
    .setUp =
        [] {
            g_rig = std::make_unique<DownloadTestRig>();
            FixtureServer::Response raw;
            const auto answer = [](const FixtureServer::Request &) {
                FixtureServer::Response response;
                // The whole input goes out where the status line would stand.
                response.statusLine = g_response;
                response.mode = FixtureServer::BodyMode::None;
                response.closeAfter = true;
                response.headers = { { "Connection", "close" } };
                return response;
            };
            g_rig->server.setFallback(answer);
        },
    .tearDown =
        [] {
            g_rig.reset();
            std::printf(
                "%-28s method 1: %d completed, %d failed; method 2: %d completed, %d failed\n", "",
                g_completed[1], g_failed[1], g_completed[2], g_failed[2]);
        },
    .network = true });

} // namespace
