#include "common/ui/ClickableLabel.h"

#include <QMouseEvent>

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}
