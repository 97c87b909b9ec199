#pragma once

// "quillmoor-cli harvest ...": loads a result page in the program's browser
// without a window and takes its entries (and those of the following pages
// with --all) into a to-analyse list; reports the list, or hands every row
// off and downloads them as "download" does. Makes its own application
// object. Returns the exit status: 0 the first page loaded (and, with
// --download, every row completed); 1 the first page could not be loaded or
// a download failed; 2 bad usage.
int runHarvestCommand(int argc, char *argv[]);
