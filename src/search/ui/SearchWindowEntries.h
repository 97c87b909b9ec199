#pragma once

class AppWindows;
class fWebSearch;

// Shows the search window, creating and opening it when none is open.
fWebSearch *ShowSearchWindow(AppWindows &windows);

// The ways into the search window: the start-up window's button
// "资料检索下载" (which also hides the start-up window) and the download
// window's menu entry "窗口(&W)"/"资料检索分析窗口".
void InstallSearchWindowEntries(AppWindows &windows);
