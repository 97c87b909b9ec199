#pragma once

// "harvest" and "login" run the browser engine, whose libraries take tens of
// megabytes and a tenth of a second to load; "download" needs none of it. So
// they live in a program of their own beside quillmoor-cli, and quillmoor-cli
// hands those commands over to it unchanged.
inline constexpr const char *kBrowserProgramName = "quillmoor-cli-browser";

// Runs the browser program with these arguments in place of this process (on
// Unix it replaces it; elsewhere it waits for it). Returns its exit status,
// or 1 with a message when it cannot be started.
int runBrowserProgram(int argc, char *argv[]);
