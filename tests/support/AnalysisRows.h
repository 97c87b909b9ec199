#pragma once

#include "search/AnalysisItem.h"

#include <QString>

// A to-analyse row with every field a kept list stores filled in, its link
// and DOI made from `name`.
inline AnalysisItem KeptAnalysisRow(const QString &name, const QString &status = {})
{
    AnalysisItem item;
    item.Title = QStringLiteral("标题 ") + name;
    item.Type = QStringLiteral("pdf");
    item.Status = status;
    item.Link = QStringLiteral("https://site.test/content/pdf/") + name + QStringLiteral(".pdf");
    item.Doi = QStringLiteral("10.1007/") + name;
    item.Kind = QStringLiteral("chapter");
    return item;
}
