#pragma once

#include "ModuleDriver.h"
#include "ToolWindow.h"

// The flash loader window: loads firmware into bus devices and into the module.
class FlashUtilityWindow final : public ToolWindow {
    Q_OBJECT
public:
    explicit FlashUtilityWindow(ModuleDriver &driver, QWidget *parent = nullptr);

signals:
    // The result of the last CloseUSBDriver call at unload, 0 when none was made.
    void closeResult(int result);

protected:
    void unloadWindow() override;

private:
    ModuleDriver &m_driver;
    bool m_moduleConnected = false;
};
