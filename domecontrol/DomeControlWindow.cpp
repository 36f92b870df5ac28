#include "DomeControlWindow.h"

#include "Versions.h"

DomeControlWindow::DomeControlWindow(ModuleDriver &driver, QWidget *parent) : ToolWindow(parent), m_driver(driver)
{
    setObjectName(QStringLiteral("DomeControl"));
    setWindowTitle(QStringLiteral("Dome Control - Ver ") + Versions::DomeControl);
    setMinimumSize(560, 420);
}

void DomeControlWindow::unloadWindow()
{
    m_driver.CloseUSBDriver();
}
