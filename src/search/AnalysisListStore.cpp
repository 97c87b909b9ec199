#include "search/AnalysisListStore.h"

#include "search/AnalysisItemJson.h"
#include "search/AnalysisList.h"

AnalysisListStore::AnalysisListStore(const QString &folder) : m_store(StoredList::Analysis, folder)
{ }

std::optional<qsizetype> AnalysisListStore::savedRowCount(QString *error) const
{
    return m_store.rowCount(error);
}

QString AnalysisListStore::restoreQuestion(qsizetype rows)
{
    return QStringLiteral("上次的待分析列表还有%1条，是否恢复？").arg(rows);
}

bool AnalysisListStore::save(const AnalysisList &list, QString *error) const
{
    if (list.isEmpty())
        return m_store.remove(error);
    QList<QJsonObject> rows;
    rows.reserve(list.size());
    for (int row = 0; row < list.size(); ++row)
        rows.append(AnalysisItemToJson(list.at(row)));
    return m_store.save(rows, error);
}

std::optional<int> AnalysisListStore::restore(AnalysisList &list, QString *error) const
{
    const std::optional<QList<QJsonObject>> rows = m_store.load(error);
    if (!rows)
        return std::nullopt;
    QList<AnalysisItem> items;
    items.reserve(rows->size());
    for (const QJsonObject &row : *rows)
        items.append(AnalysisItemFromJson(row));
    const int restored = list.prependItems(items);
    list.refreshCounter();
    return restored;
}

bool AnalysisListStore::discard(QString *error) const
{
    return m_store.remove(error);
}
