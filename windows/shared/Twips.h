#pragma once

#include <QRect>
#include <QWidget>

// Form positions and sizes are designed in twips (1440 to the inch) and shown at the
// screen's logical DPI.
namespace Twips {

inline int toPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

inline void place(QWidget *widget, int left, int top, int width, int height)
{
    const QWidget *reference = widget->parentWidget() ? widget->parentWidget() : widget;
    const int dpi = reference->logicalDpiY();
    widget->setGeometry(toPixels(left, dpi), toPixels(top, dpi), toPixels(width, dpi), toPixels(height, dpi));
}

inline void resizeWindow(QWidget *window, int width, int height)
{
    const int dpi = window->logicalDpiY();
    window->resize(toPixels(width, dpi), toPixels(height, dpi));
}

} // namespace Twips
