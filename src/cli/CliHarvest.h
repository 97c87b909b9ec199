#pragma once

// "quillmoor-cli harvest ...": loads a result page in the program's browser
// without a window and takes its entries (and those of the following pages
// with --all) into a to-analyse list; reports the list as the entries are
// taken, or hands every row off and downloads them as "download" does. Says
// on standard error why the run ended. Makes its own application object.
// Returns the exit status: 0 the run got to its end (the last page, the page
// limit, a next link to a page taken already) and, with --download, every row
// completed; 1 a page could not be loaded or read, the renderer crashed, the
// report could not be written, the profile is in use, or a download failed;
// 2 bad usage; 130/143 after SIGINT/SIGTERM.
int runHarvestCommand(int argc, char *argv[]);
