#pragma once

// Before the application object of a command that runs the browser engine:
// offscreen when there is no display, what the engine needs (see
// PrepareBrowserEngine), and no start-up report of the engine, which is
// noise on a command line.
void PrepareHeadlessBrowserEngine();
