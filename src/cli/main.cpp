#include "CliDownload.h"
#include "StandardStreams.h"
#ifdef QUILLMOOR_WITH_HARVEST
#include "BrowserProgram.h"
#include "CommandUsage.h"
#endif

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

const char *const kUsage
    = "usage: quillmoor-cli <command> [options]\n"
      "\n"
      "commands:\n"
      "  download    download the given addresses into a folder\n"
      "  harvest     take the entries of result pages, optionally download them\n"
      "  login       log in to the site in the program's browser profile\n"
      "  help        show this text\n"
      "\n";

} // namespace

int main(int argc, char *argv[])
{
#ifdef QUILLMOOR_WITH_HARVEST
    // Handed over with the standard streams as they are: the browser program
    // guards them itself and so knows which were closed.
    if (argc > 1 && (std::strcmp(argv[1], "harvest") == 0 || std::strcmp(argv[1], "login") == 0))
        return runBrowserProgram(argc, argv);
#endif
    guardStandardStreams();
    // Downloading needs no GLib main loop. Qt's own event loop wakes itself
    // once for a burst of posted events where GLib's writes its wake-up file
    // for every one, several times per downloaded file.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.at(1) == QStringLiteral("help")
        || args.at(1) == QStringLiteral("--help") || args.at(1) == QStringLiteral("-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kDownloadUsage, stdout);
#ifdef QUILLMOOR_WITH_HARVEST
        std::fputs(kHarvestUsage, stdout);
        std::fputs(kLoginUsage, stdout);
#endif
        return 0;
    }
    if (args.at(1) == QStringLiteral("download")) {
        QStringList rest = args;
        rest.removeAt(1); // the parser expects the program name first
        return runDownloadCommand(rest);
    }
    std::fprintf(stderr, "quillmoor-cli: unknown command '%s'\n", qPrintable(args.at(1)));
    std::fputs(kUsage, stderr);
    return 2;
}
