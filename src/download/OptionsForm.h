#pragma once

#include <QString>

class UserDialogs;
struct AppValues;

// The controls of the options dialog "设置" as values.
struct OptionsForm
{
    bool proxyEnabled = false; // Check1 "下载使用代理服务器"
    QString proxyAddress; // Text6
    QString proxyPort; // Text8
    int method = 2; // Option1 on: 1, Option2 on: 2, neither: 0
    bool askSaveFolderOnExtract = true; // Check2
    QString maxFileSizeText; // Text1, megabytes

    // The dialog as it opens, filled from the shared values.
    static OptionsForm fromValues(const AppValues &values);
};

// Reads the options the dialog shows from the settings into the shared values
// (method, proxy, size limit, when to ask for the save folder).
void loadStoredOptionValues(AppValues &values);

// "确定": a checked proxy that is not usable (isUsableProxy on the trimmed
// address and port) is refused with "代理服务器网址或者端口格式不对！" before
// anything is stored, and the answer is false: the dialog stays open.
// Otherwise every value of the form is stored and copied into the shared
// values, in the dialog's order, and the answer is true. A size that is not a
// number keeps the old limit and says so. No method chosen keeps the method.
bool confirmOptions(const OptionsForm &form, AppValues &values, UserDialogs &dialogs);

// The size-limit text as a number of megabytes; false for anything that is
// not a non-negative decimal number.
bool parseMaxFileSizeMB(const QString &text, double *megabytes);
