#pragma once

#include "ModuleDriver.h"
#include "ToolWindow.h"

// The bus monitor window: captures, describes, filters, logs and replays bus traffic.
class QwilMonWindow final : public ToolWindow {
    Q_OBJECT
public:
    explicit QwilMonWindow(ModuleDriver &driver, QWidget *parent = nullptr);

protected:
    void unloadWindow() override;

private:
    ModuleDriver &m_driver;
};
