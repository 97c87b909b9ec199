#pragma once

// The first lines of each command's usage, shown by "quillmoor-cli help"
// whichever program runs the command.
extern const char *const kHarvestUsage;
extern const char *const kLoginUsage;
