#include "CliDownload.h"
#include "StandardStreams.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

const char *const kUsage = "usage: quillmoor-cli <command> [options]\n"
                           "\n"
                           "commands:\n"
                           "  download    download the given addresses into a folder\n"
                           "  help        show this text\n"
                           "\n";

} // namespace

int main(int argc, char *argv[])
{
    guardStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.at(1) == QStringLiteral("help")
        || args.at(1) == QStringLiteral("--help") || args.at(1) == QStringLiteral("-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kDownloadUsage, stdout);
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
