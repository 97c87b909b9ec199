#include "common/ui/WindowPlacement.h"

#include "common/SettingsStore.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int TwipsPerPixel = 15;

// A stored whole number of twips, or the default when the key is missing or
// holds anything else.
int readTwips(const QString &section, const QString &key, int defaultValue)
{
    bool ok = false;
    const int value = ReadSetting(section, key, defaultValue).toInt(&ok);
    return ok ? value : defaultValue;
}

int toPixels(int twips)
{
    return qRound(double(twips) / TwipsPerPixel);
}

QString twipsText(int pixels)
{
    return QString::number(qint64(pixels) * TwipsPerPixel);
}

// The room the window manager's frame takes around the window: the real one
// once the window is on screen, else what a title bar and borders of the
// window's style need.
QMargins frameMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    if (frame != inner) {
        return { inner.left() - frame.left(), inner.top() - frame.top(),
            frame.right() - inner.right(), frame.bottom() - inner.bottom() };
    }
    if (window->isVisible())
        return {};
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return { border, title + border, border, border };
}

QRect availableArea(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

void KeepWithinScreen(QWidget *window)
{
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    const QMargins frame = frameMargins(window);
    const QSize room(
        area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());
    if (room.isEmpty())
        return;
    const QSize size(
        std::min(window->width(), room.width()), std::min(window->height(), room.height()));
    if (size != window->size())
        window->resize(size);
    // A window never placed by the program is placed by the window manager.
    if (!window->testAttribute(Qt::WA_Moved))
        return;
    // pos() is the frame's top-left corner; a minimum size may keep the
    // window larger than the room, and then its top-left corner stays inside.
    const int outerWidth = window->width() + frame.left() + frame.right();
    const int outerHeight = window->height() + frame.top() + frame.bottom();
    const QPoint at(
        std::max(area.left(), std::min(window->x(), area.left() + area.width() - outerWidth)),
        std::max(area.top(), std::min(window->y(), area.top() + area.height() - outerHeight)));
    if (at != window->pos())
        window->move(at);
}

bool ScreenFit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog))
            KeepWithinScreen(widget);
    }
    return QObject::eventFilter(watched, event);
}

QString ScreenResolutionText()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QSize size = screen->size();
    return QString::number(size.width()) + u'*' + QString::number(size.height());
}

void SaveWindowPlacement(QWidget *window)
{
    using namespace Settings::Placement;
    const QString section = window->objectName();
    if (window->isMaximized()) {
        WriteSetting(section, Resolution, MaximisedResolution);
        return;
    }
    WriteSetting(section, Resolution, ScreenResolutionText());
    WriteSetting(section, Top, twipsText(window->y()));
    WriteSetting(section, Left, twipsText(window->x()));
    WriteSetting(section, Width, twipsText(window->width()));
    WriteSetting(section, Height, twipsText(window->height()));
}

void RestoreWindowPlacement(QWidget *window, FirstPlacement first)
{
    using namespace Settings::Placement;
    const QString section = window->objectName();
    const QString resolution = ReadSetting(section, Resolution, QString());
    if (resolution.isEmpty() && first == FirstPlacement::FullHeight) {
        const QRect area = availableArea(window);
        const QMargins frame = frameMargins(window);
        window->setWindowState(window->windowState()
            & ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
        window->resize(std::min(window->width(), area.width() - frame.left() - frame.right()),
            area.height() - frame.top() - frame.bottom());
        window->move(area.left() + (area.width() - window->width()) / 2, area.top());
        KeepWithinScreen(window);
        return;
    }
    if ((resolution.isEmpty() ? DefaultResolution : resolution) != ScreenResolutionText()) {
        window->setWindowState(
            (window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        return;
    }
    const int top = qMax(0, readTwips(section, Top, DefaultTop));
    const int left = qMax(0, readTwips(section, Left, DefaultLeft));
    const int width = qMax(MinimumWidth, readTwips(section, Width, DefaultWidth));
    const int height = qMax(MinimumHeight, readTwips(section, Height, DefaultHeight));
    window->setWindowState(window->windowState()
        & ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    window->move(toPixels(left), toPixels(top));
    window->resize(toPixels(width), toPixels(height));
    KeepWithinScreen(window);
}
