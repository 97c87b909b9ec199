#include "download/OptionsForm.h"

#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"
#include "download/DownloadOptions.h"
#include "platform/UserDialogs.h"

#include <algorithm>

namespace {

QString megabytesText(double megabytes)
{
    return QString::number(megabytes, 'g', 10);
}

} // namespace

OptionsForm OptionsForm::fromValues(const AppValues &values)
{
    OptionsForm form;
    form.proxyEnabled = values.ProxyEnabled;
    form.proxyAddress = values.ProxyAddress;
    form.proxyPort = values.ProxyPort;
    form.method
        = values.DownloadMethod == 1 || values.DownloadMethod == 2 ? values.DownloadMethod : 0;
    form.askSaveFolderOnExtract = values.AskSaveFolderOnExtract;
    form.maxFileSizeText = megabytesText(values.MaxFileSizeMB);
    return form;
}

void loadStoredOptionValues(AppValues &values)
{
    values.DownloadMethod = ReadSetting(Settings::DownloadMethod).toInt() == 1 ? 1 : 2;
    values.ProxyEnabled = ReadSetting(Settings::ProxyEnabled) == QStringLiteral("1");
    values.ProxyAddress = TrimSpaces(ReadSetting(Settings::ProxyAddress));
    values.ProxyPort = TrimSpaces(ReadSetting(Settings::ProxyPort));
    values.MaxFileSizeMB = readMaxFileSizeMB();
    values.AskSaveFolderOnExtract = readAskSaveFolderOnExtract();
}

bool parseMaxFileSizeMB(const QString &text, double *megabytes)
{
    const QString trimmed = text.trimmed();
    // Digits with at most one decimal point: no sign, exponent, inf or nan.
    const bool plain = !trimmed.isEmpty() && trimmed.count(QLatin1Char('.')) <= 1
        && trimmed != QStringLiteral(".")
        && std::all_of(trimmed.cbegin(), trimmed.cend(),
            [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'.'; });
    if (!plain)
        return false;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok)
        return false;
    *megabytes = value;
    return true;
}

bool confirmOptions(const OptionsForm &form, AppValues &values, UserDialogs &dialogs)
{
    // Checked before anything is stored: a proxy that no transfer can use is
    // refused, and the dialog stays open for the user to mend it.
    if (form.proxyEnabled
        && !isUsableProxy(TrimSpaces(form.proxyAddress), TrimSpaces(form.proxyPort))) {
        dialogs.message(
            QStringLiteral("代理服务器网址或者端口格式不对！"), UserDialogs::Style::Error);
        return false;
    }

    if (form.method == 1 || form.method == 2)
        values.DownloadMethod = form.method;
    WriteSetting(Settings::DownloadMethod, QString::number(values.DownloadMethod));

    values.ProxyEnabled = form.proxyEnabled;
    WriteSetting(
        Settings::ProxyEnabled, form.proxyEnabled ? QStringLiteral("1") : QStringLiteral("0"));
    values.ProxyAddress = TrimSpaces(form.proxyAddress);
    WriteSetting(Settings::ProxyAddress, values.ProxyAddress);
    values.ProxyPort = TrimSpaces(form.proxyPort);
    WriteSetting(Settings::ProxyPort, values.ProxyPort);

    values.AskSaveFolderOnExtract = form.askSaveFolderOnExtract;
    WriteSetting(Settings::AskSaveFolderOnExtract,
        form.askSaveFolderOnExtract ? QStringLiteral("1") : QStringLiteral("0"));

    double megabytes = 0;
    if (parseMaxFileSizeMB(form.maxFileSizeText, &megabytes)) {
        values.MaxFileSizeMB = megabytes;
        WriteSetting(Settings::MaxFileSizeMB, megabytesText(megabytes));
    } else {
        dialogs.message(QStringLiteral("下载文件大小不是数字，仍使用原来的值：")
                + megabytesText(values.MaxFileSizeMB) + QStringLiteral("MB。"),
            UserDialogs::Style::Error);
    }
    return true;
}
