// quillmoor-cli-browser: the commands of quillmoor-cli that run the browser
// engine. quillmoor-cli starts it with its own arguments.

#include "BrowserProgram.h"
#include "CliHarvest.h"
#include "CliLogin.h"
#include "HeadlessEngine.h"
#include "StandardStreams.h"

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    if (argc > 1 && std::strcmp(argv[1], "harvest") == 0) {
        const int status = runHarvestCommand(argc, argv);
        EndEngineProcesses();
        return status;
    }
    if (argc > 1 && std::strcmp(argv[1], "login") == 0) {
        const int status = runLoginCommand(argc, argv);
        EndEngineProcesses();
        return status;
    }
    std::fprintf(stderr,
        "%s runs the commands \"harvest\" and \"login\" of quillmoor-cli; "
        "see quillmoor-cli help\n",
        kBrowserProgramName);
    return 2;
}
