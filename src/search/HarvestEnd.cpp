#include "search/HarvestEnd.h"

QString HarvestEndText(HarvestEnd reason)
{
    switch (reason) {
    case HarvestEnd::LastPage:
        return QStringLiteral("已到最后一页");
    case HarvestEnd::PageLimit:
        return QStringLiteral("已到最大页码数");
    case HarvestEnd::PageRepeated:
        return QStringLiteral("下一页是本次已加入的页面");
    case HarvestEnd::OnePage:
        return QStringLiteral("本页已加入");
    case HarvestEnd::Stopped:
        return QStringLiteral("已停止");
    case HarvestEnd::FirstPageFailed:
        return QStringLiteral("第一页未能打开");
    case HarvestEnd::PageFailed:
        return QStringLiteral("下一页未能打开");
    case HarvestEnd::RendererCrashed:
        return QStringLiteral("页面渲染进程崩溃");
    }
    return {};
}

bool HarvestEndIsFailure(HarvestEnd reason)
{
    return reason == HarvestEnd::FirstPageFailed || reason == HarvestEnd::PageFailed
        || reason == HarvestEnd::RendererCrashed;
}

QString HarvestEndMessage(HarvestEnd reason, const QString &detail)
{
    if (detail.isEmpty())
        return HarvestEndText(reason);
    return HarvestEndText(reason) + QStringLiteral("：") + detail;
}

QString HarvestProgressText(int pagesTaken, int entriesTaken, int pagesWithoutEntries)
{
    QString text = QStringLiteral("已加入 %1 页、%2 条").arg(pagesTaken).arg(entriesTaken);
    if (pagesWithoutEntries > 0)
        text += QStringLiteral("，%1 页没有条目").arg(pagesWithoutEntries);
    return text;
}
