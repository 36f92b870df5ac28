#include "windows/shared/ToolWindow.h"

#include "windows/shared/ActionQueue.h"

#include <QCloseEvent>

ToolWindow::ToolWindow(QWidget *parent) : QWidget(parent), m_actions(new ActionQueue(this))
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
        m_actions->dropWaiting();
        unloadWindow();
        // The panel shows itself before this window hides, so the program never
        // sees a moment without a visible window.
        emit unloaded();
    }
    event->accept();
}
