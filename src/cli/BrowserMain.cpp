// quillmoor-cli-browser: the commands of quillmoor-cli that run the browser
// engine. quillmoor-cli starts it with its own arguments.

#include "BrowserProgram.h"
#include "CliHarvest.h"
#include "CliLogin.h"
#include "StandardStreams.h"

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    if (argc > 1 && std::strcmp(argv[1], "harvest") == 0)
        return runHarvestCommand(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "login") == 0)
        return runLoginCommand(argc, argv);
    std::fprintf(stderr,
        "%s runs the commands \"harvest\" and \"login\" of quillmoor-cli; "
        "see quillmoor-cli help\n",
        kBrowserProgramName);
    return 2;
}
