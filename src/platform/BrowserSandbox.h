#pragma once

// Chromium refuses to start as root with its sandbox on. Called before the
// application object is made: when the process runs as root it turns the
// sandbox off for the browser engine and says so once on standard error.
// Returns true when it turned the sandbox off.
bool TurnOffBrowserSandboxWhenRoot();

// Everything the browser engine needs before the application object is made:
// the sandbox rule above and shared graphics contexts.
void PrepareBrowserEngine();
