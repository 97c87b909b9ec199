#include "download/ui/StatusIconProxyModel.h"

#include "download/DownloadList.h"

// The icons live in a static library; referencing its resources keeps the
// linker from dropping them.
static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

StatusIconProxyModel::StatusIconProxyModel(QObject *parent) : QIdentityProxyModel(parent)
{
    initGuiResources();
    m_icons[0] = QIcon(QStringLiteral(":/quillmoor/icons/status-waiting.png"));
    m_icons[1] = QIcon(QStringLiteral(":/quillmoor/icons/status-downloading.png"));
    m_icons[2] = QIcon(QStringLiteral(":/quillmoor/icons/status-completed.png"));
    m_icons[3] = QIcon(QStringLiteral(":/quillmoor/icons/status-failed.png"));
}

QVariant StatusIconProxyModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.column() == DownloadList::NameColumn) {
        const QVariant code = QIdentityProxyModel::data(index, DownloadList::StatusCodeRole);
        const QIcon icon = code.isValid() ? iconForStatus(code.toInt()) : QIcon();
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    return QIdentityProxyModel::data(index, role);
}

QIcon StatusIconProxyModel::iconForStatus(int statusCode) const
{
    if (statusCode < Status::Waiting || statusCode > Status::Failed)
        return {};
    return m_icons[statusCode - Status::Waiting];
}
