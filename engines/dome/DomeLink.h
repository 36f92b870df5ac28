#pragma once

#include "driver/ModuleDriver.h"
#include "engines/dome/DomeState.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

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

    // While an answer is handled, the errors shown name the address its call was sent to,
    // whichever dome has been chosen since.
    class Answering {
    public:
        Answering(DomeReport &report, std::uint8_t address) : m_report(report), m_previous(report.m_answering)
        {
            report.m_answering = address;
        }
        ~Answering() { m_report.m_answering = m_previous; }
        Answering(const Answering &) = delete;
        Answering &operator=(const Answering &) = delete;

    private:
        DomeReport &m_report;
        std::optional<std::uint8_t> m_previous;
    };

protected:
    std::optional<std::uint8_t> answeringAddress() const { return m_answering; }

private:
    std::optional<std::uint8_t> m_answering;
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
    // A call whose answer is handled when it is back, as sent to the dome chosen now.
    template <typename Call, typename Answer> void ask(Call call, Answer answer) const
    {
        submitCall(driver, window, std::move(call),
                   [report = &report, address = state.DomeAddress, answer = std::move(answer)](auto result) mutable {
                       const DomeReport::Answering answering(*report, address);
                       answer(result);
                   });
    }
    void send(Command command, std::function<void(std::int32_t)> onResult) const
    {
        ask(std::move(command), std::move(onResult));
    }
    // MiscDevCtrl with its data bytes.
    void sendMisc(std::uint8_t code, std::array<std::uint8_t, 6> data, std::function<void(std::int32_t)> onResult) const
    {
        sendMisc(state.DomeAddress, code, data, std::move(onResult));
    }
    // The same to a given dome: a held key's stop goes where its start went.
    void sendMisc(std::uint8_t address, std::uint8_t code, std::array<std::uint8_t, 6> data,
                  std::function<void(std::int32_t)> onResult) const
    {
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
