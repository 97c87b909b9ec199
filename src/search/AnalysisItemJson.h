#pragma once

#include "AnalysisItem.h"

#include <QJsonObject>

// A row of the to-analyse list as a saved list holds it: every field, under
// its own key. Reading ignores unknown keys and gives missing or mistyped ones
// their default, so later fields need no new file version.
QJsonObject AnalysisItemToJson(const AnalysisItem &item);
// A row saved while it was being analysed comes back not analysed: no run
// carries it on.
AnalysisItem AnalysisItemFromJson(const QJsonObject &json);
