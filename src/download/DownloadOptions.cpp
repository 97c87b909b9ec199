#include "download/DownloadOptions.h"

#include "common/SettingsStore.h"
#include "common/TextMode.h"

#include <algorithm>

QString duplicatePolicyCaption(DuplicatePolicy policy)
{
    switch (policy) {
    case DuplicatePolicy::Skip:
        return QStringLiteral("跳过");
    case DuplicatePolicy::Overwrite:
        return QStringLiteral("覆盖");
    case DuplicatePolicy::Rename:
        break;
    }
    return QStringLiteral("重命名");
}

DuplicatePolicy duplicatePolicyFromCaption(const QString &caption)
{
    if (caption == QStringLiteral("跳过"))
        return DuplicatePolicy::Skip;
    if (caption == QStringLiteral("覆盖"))
        return DuplicatePolicy::Overwrite;
    return DuplicatePolicy::Rename;
}

int storedConnectionCount()
{
    // The stored value is the position in the list "1" to "6".
    bool ok = false;
    const int position = ReadSetting(Settings::ConnectionCountIndex).toInt(&ok);
    return ok && position >= 0 && position <= 5 ? position + 1 : 3;
}

void loadStoredDownloadOptions(DownloadOptions &options)
{
    options.method = ReadSetting(Settings::DownloadMethod).toInt() == 1 ? 1 : 2;
    options.connections = options.method == 1 ? 1 : storedConnectionCount();
    options.policy = duplicatePolicyFromCaption(ReadSetting(Settings::DuplicateFilePolicy));
    options.proxyAddress = TrimSpaces(ReadSetting(Settings::ProxyAddress));
    options.proxyPort = TrimSpaces(ReadSetting(Settings::ProxyPort));
    options.proxyEnabled = ReadSetting(Settings::ProxyEnabled) == QStringLiteral("1");
    options.maxFileSizeMB = readMaxFileSizeMB();
}

bool isUsableProxy(const QString &address, const QString &port)
{
    const bool addressOk = !address.isEmpty()
        && std::none_of(address.cbegin(), address.cend(),
            [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
    const bool digitsOnly = !port.isEmpty() && port.size() <= 5
        && std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int number = digitsOnly ? port.toInt() : 0;
    return addressOk && number >= 1 && number <= 65535;
}

QString proxyOf(const DownloadOptions &options)
{
    if (!options.proxyEnabled || !isUsableProxy(options.proxyAddress, options.proxyPort))
        return {};
    return options.proxyAddress + QLatin1Char(':') + options.proxyPort;
}

QString proxyProblem(const DownloadOptions &options)
{
    if (!options.proxyEnabled || isUsableProxy(options.proxyAddress, options.proxyPort))
        return {};
    return QStringLiteral("代理服务器网址或者端口格式不对（地址“") + options.proxyAddress
        + QStringLiteral("”，端口“") + options.proxyPort + QStringLiteral("”），请在“设置”中改正");
}

void shareDownloadOptions(const DownloadOptions &options, AppValues &values)
{
    values.DownloadMethod = options.method;
    values.ProxyEnabled = options.proxyEnabled;
    values.ProxyAddress = options.proxyAddress;
    values.ProxyPort = options.proxyPort;
    values.MaxFileSizeMB = options.maxFileSizeMB;
}

void takeConfirmedOptions(DownloadOptions &options, const AppValues &values, int chosenMethod)
{
    if (chosenMethod == 1) {
        options.method = 1;
    } else if (chosenMethod == 2) {
        options.method = 2;
        options.connections = 1;
    }
    options.proxyEnabled = values.ProxyEnabled;
    options.proxyAddress = values.ProxyAddress;
    options.proxyPort = values.ProxyPort;
    options.maxFileSizeMB = values.MaxFileSizeMB;
}
