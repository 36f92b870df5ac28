#pragma once

#include "DomeState.h"
#include "ModuleDriver.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

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
// Keys send without waiting: a command goes out on the driver thread after everything
// asked before it, so the window stays free while the receive poll waits on the bus, and
// its result is seen when it is back. Whatever a command needs is taken when it is sent.
struct DomeLink {
    using Command = std::function<std::int32_t(ModuleDriver &)>;

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
    void send(Command command, std::function<void(std::int32_t)> onResult) const
    {
        submitCall(driver, window, std::move(command), std::move(onResult));
    }
    // MiscDevCtrl with its data bytes.
    void sendMisc(std::uint8_t code, std::array<std::uint8_t, 6> data, std::function<void(std::int32_t)> onResult) const
    {
        const std::uint8_t address = state.DomeAddress;
        send([code, data, address](ModuleDriver &d) mutable { return d.MiscDevCtrl(code, data.data(), address); },
             std::move(onResult));
    }
    // A command whose failure is shown; success shows nothing.
    void send(Command command) const
    {
        send(std::move(command), [link = *this](std::int32_t result) { link.showFailure(result); });
    }
    // Most keys word result 2 as the invalid-command error (6).
    static std::int32_t invalidAsCommandError(std::int32_t result) { return result == 2 ? 6 : result; }
};
