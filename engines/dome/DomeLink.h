#pragma once

#include "driver/ModuleDriver.h"
#include "engines/dome/DomeState.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// What the dome keys tell their face as they work.
class DomeEvents {
public:
    // Who drives the lens: focus by hand, iris by hand, or the dome itself.
    enum class LensControl { FocusManual, IrisManual, Automatic };

    virtual ~DomeEvents() = default;
    // A text for the technician: a result, or why a key did nothing.
    virtual void said(const QString &text) = 0;
    // A driver call failed with this result.
    virtual void callFailed(std::int32_t code) = 0;
    // A key took the lens over, or gave it back to the dome.
    virtual void lensControlChanged(LensControl control) = 0;
    // The dome's menu opened or closed.
    virtual void menuChanged(bool open) = 0;

    // While an answer is handled, the errors shown name the address its call was sent to,
    // whichever dome has been chosen since.
    class Answering {
    public:
        Answering(DomeEvents &events, std::uint8_t address) : m_events(events), m_previous(events.m_answering)
        {
            events.m_answering = address;
        }
        ~Answering() { m_events.m_answering = m_previous; }
        Answering(const Answering &) = delete;
        Answering &operator=(const Answering &) = delete;

    private:
        DomeEvents &m_events;
        std::optional<std::uint8_t> m_previous;
    };

protected:
    std::optional<std::uint8_t> answeringAddress() const { return m_answering; }

private:
    std::optional<std::uint8_t> m_answering;
};

// What every group of dome keys works with: the driver, the window's state and its events.
// Keys send without waiting: a command goes out on the driver thread after everything
// asked before it, so the window stays free while the receive poll waits on the bus, and
// its result is seen when it is back. Whatever a command needs is taken when it is sent.
struct DomeLink {
    using Command = std::function<std::int32_t(ModuleDriver &)>;

    ModuleDriver &driver;
    DomeState &state;
    DomeEvents &events;
    // The window: an answer still on its way when it closes is dropped.
    const QObject *window;

    // Shows a failed call; success shows nothing.
    void showFailure(std::int32_t result) const
    {
        if (result != 0)
            events.callFailed(result);
    }
    // A call whose answer is handled when it is back, as sent to the dome chosen now.
    template <typename Call, typename Answer> void ask(Call call, Answer answer) const
    {
        submitCall(driver, window, std::move(call),
                   [events = &events, address = state.DomeAddress, answer = std::move(answer)](auto result) mutable {
                       const DomeEvents::Answering answering(*events, address);
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
