#pragma once

#include <QIcon>
#include <QIdentityProxyModel>

// Shows the download list with each row's status icon before its name, the
// icon chosen by the row's status code.
class StatusIconProxyModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    explicit StatusIconProxyModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The icon of a status code 1 to 4; a null icon for any other code.
    QIcon iconForStatus(int statusCode) const;

private:
    QIcon m_icons[4]; // waiting, downloading, completed, failed
};
