#include "FlashUtilityWindow.h"

#include "Versions.h"

namespace {
// The module's bus settings restored when the loader lets go of it.
constexpr std::int32_t ReleaseBusValue = 1000;
constexpr std::uint8_t ReleaseBusSecond = 1;
constexpr std::uint8_t ReleaseHighestAddress = 16;
} // namespace

FlashUtilityWindow::FlashUtilityWindow(ModuleDriver &driver, QWidget *parent) : ToolWindow(parent), m_driver(driver)
{
    setObjectName(QStringLiteral("FlashUtility"));
    setWindowTitle(QStringLiteral("Flash Loader - Rev ") + Versions::FlashLoader);
    setMinimumSize(560, 420);
}

void FlashUtilityWindow::unloadWindow()
{
    int result = 0;
    if (m_moduleConnected) {
        m_driver.ConfigQwil(ReleaseBusValue, ReleaseBusSecond, ReleaseHighestAddress);
        result = m_driver.CloseUSBDriver();
        m_moduleConnected = false;
    }
    emit closeResult(result);
}
