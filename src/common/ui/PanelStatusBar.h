#pragma once

#include <QList>
#include <QStatusBar>

class ClickableLabel;
class QLabel;

// A window's status bar "StatusBar1": framed panels "Panel1", "Panel2", ...,
// one per stretch factor, numbered from 1 as the forms number them. A click
// of the left button on a panel is reported with its number; what it does is
// the window's business.
class PanelStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit PanelStatusBar(const QList<int> &stretches, QWidget *parent = nullptr);

    // Panel 1 to count(), or null.
    QLabel *panel(int number) const;
    int count() const { return int(m_panels.size()); }

public Q_SLOTS:
    void setPanelText(int number, const QString &text);

Q_SIGNALS:
    void panelClicked(int number);

private:
    QList<ClickableLabel *> m_panels;
};
