#pragma once

#include "DomeState.h"
#include "ModuleDriver.h"

#include <QString>

#include <cstdint>

// Where the dome keys report, and the engineering panel options they select.
class DomeReport {
public:
    virtual ~DomeReport() = default;
    virtual void displayMessage(const QString &text) = 0;
    virtual void displayError(std::int32_t code) = 0;
    virtual void selectFocusManual() = 0;
    virtual void selectIrisManual() = 0;
    virtual void selectAutoFocusAndIris() = 0;
    // The keypad gives way to the menu arrows and "Toggle" while the dome's menu is open.
    virtual void showMenuKeys(bool menuOpen) = 0;
};

// What every group of dome keys works with: the driver, the window's state and its report.
struct DomeLink {
    ModuleDriver &driver;
    DomeState &state;
    DomeReport &report;
    // The window: an answer still on its way when it closes is dropped.
    const QObject *window;

    // Shows a failed call; success shows nothing.
    void showFailure(std::int32_t result) const
    {
        if (result != 0)
            report.displayError(result);
    }
    // Most keys word result 2 as the invalid-command error (6).
    static std::int32_t invalidAsCommandError(std::int32_t result) { return result == 2 ? 6 : result; }
};
