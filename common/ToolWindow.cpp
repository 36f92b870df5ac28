#include "ToolWindow.h"

#include <QCloseEvent>

ToolWindow::ToolWindow(QWidget *parent) : QWidget(parent)
{
    // Each opening starts a fresh window: closing one destroys it.
    setAttribute(Qt::WA_DeleteOnClose);
}

void ToolWindow::closeEvent(QCloseEvent *event)
{
    if (deferClose()) {
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        unloadWindow();
        // The panel shows itself before this window hides, so the program never
        // sees a moment without a visible window.
        emit unloaded();
    }
    event->accept();
}
