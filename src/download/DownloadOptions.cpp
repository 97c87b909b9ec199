#include "download/DownloadOptions.h"

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
