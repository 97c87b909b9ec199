#pragma once

// Before the application object of a command that runs the browser engine:
// offscreen when there is no display, what the engine needs (see
// PrepareBrowserEngine), and no start-up report of the engine, which is
// noise on a command line.
void PrepareHeadlessBrowserEngine();

// After the application object has gone: ends the processes the
// engine started (they would end on their own a second or two later) and
// waits for them, at most a few seconds, so that none outlives the command.
void EndEngineProcesses();
