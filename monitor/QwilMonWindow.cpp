#include "QwilMonWindow.h"

#include "Versions.h"

QwilMonWindow::QwilMonWindow(ModuleDriver &driver, QWidget *parent) : ToolWindow(parent), m_driver(driver)
{
    setObjectName(QStringLiteral("QwilMon"));
    setWindowTitle(QStringLiteral("Quillbus Monitor Utility - Ver ") + Versions::BusAnalyzer);
    setMinimumSize(560, 420);
}

void QwilMonWindow::unloadWindow()
{
    m_driver.CloseUSBDriver();
}
