#pragma once

#include <QLabel>

// A label that reports a click of the left button (on its release over the
// label), for texts that act as links: the newer-version notice, status-bar
// panels.
class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
