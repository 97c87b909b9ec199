#include "common/ui/PanelStatusBar.h"

#include "common/ui/ClickableLabel.h"

PanelStatusBar::PanelStatusBar(const QList<int> &stretches, QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    for (const int stretch : stretches) {
        const int number = int(m_panels.size()) + 1;
        auto *label = new ClickableLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(number));
        label->setFrameShape(QFrame::StyledPanel);
        connect(
            label, &ClickableLabel::clicked, this, [this, number] { Q_EMIT panelClicked(number); });
        addWidget(label, stretch);
        m_panels.append(label);
    }
}

QLabel *PanelStatusBar::panel(int number) const
{
    return number >= 1 && number <= count() ? m_panels.at(number - 1) : nullptr;
}

void PanelStatusBar::setPanelText(int number, const QString &text)
{
    if (QLabel *label = panel(number))
        label->setText(text);
}
