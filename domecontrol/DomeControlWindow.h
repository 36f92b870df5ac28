#pragma once

#include "ModuleDriver.h"
#include "ToolWindow.h"

// The dome control window: drives one dome at a time like a CCTV keyboard.
class DomeControlWindow final : public ToolWindow {
    Q_OBJECT
public:
    explicit DomeControlWindow(ModuleDriver &driver, QWidget *parent = nullptr);

protected:
    void unloadWindow() override;

private:
    ModuleDriver &m_driver;
};
