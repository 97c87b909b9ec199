#include "common/ui/WindowPlacement.h"

#include "common/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

} // namespace

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

void RestoreWindowPlacement(QWidget *window)
{
    using namespace Settings::Placement;
    const QString section = window->objectName();
    if (ReadSetting(section, Resolution, DefaultResolution) != ScreenResolutionText()) {
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
}
