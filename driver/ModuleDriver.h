#pragma once

#include "driver/DriverResult.h"

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

// The driver's 24 operations as every window calls them; the production driver is
// the library loaded by name on its own thread, tests hand in the emulator or a
// scripted fake.
class ModuleDriver {
public:
    using Work = std::function<void(ModuleDriver &)>;
    using Done = std::function<void()>;

    virtual ~ModuleDriver() = default;

    // A waiting call, or a run of calls, that the window does not wait for: work runs
    // against the driver after everything issued before it, then done runs on the
    // issuing thread, unless receiver is gone by then. Work must keep to what it owns.
    // A face that watches calls (CallWatch) may hold back its user's input that comes
    // meanwhile, and run it once done has run.
    void submit(const QObject *receiver, Work work, Done done);

    // A run: one call made again and again on the driver's side, each gapMs after the
    // answer before it, until the run is asked to end, either through the switch submitRun
    // returns or because an action of the window's user comes to wait for it. Calls issued
    // meanwhile go out between two steps. What the steps leave reaches the issuing thread
    // through handOver: on the driver thread at most every HandOverMs while the run goes
    // on; then once more after the last step, right before done. Inline the window's
    // thread is the driver's, so a run makes one step and ends.
    struct Run {
        Work step;
        int gapMs = 0;
        Done handOver;
    };
    using RunEnd = std::shared_ptr<std::atomic<bool>>;
    static constexpr int HandOverMs = 40;
    RunEnd submitRun(const QObject *receiver, Run run, Done done);
    // Where a long run of submitted waits (a drain, a scan) gives the windows their turn
    // between two of its calls. Here the calls run inline, so the pending events are
    // handled now; on the driver thread the actions that waited for the answers handled
    // so far run now.
    virtual void yieldToWindows();

    virtual std::int32_t OpenUSBDriver() = 0;
    virtual std::int32_t CloseUSBDriver() = 0;
    virtual std::int32_t GetDevDescr(std::uint8_t *descriptor, std::int32_t *length) = 0;
    virtual std::int32_t GetQwilUsbVersion() = 0;
    virtual std::int32_t GetData(std::uint8_t *buffer, std::uint8_t *count, std::int32_t waitMs) = 0;
    virtual std::int32_t QwilAnalyzer(std::uint8_t mode, std::uint8_t channel, std::uint8_t *result) = 0;
    virtual std::int32_t ConfigQwil(std::int32_t value, std::uint8_t second, std::uint8_t highestAddress) = 0;
    virtual std::int32_t GetConfigData(std::uint8_t *buffer, std::uint8_t length, std::uint8_t block,
                                       std::uint8_t address, std::int32_t waitMs) = 0;
    virtual std::int32_t SetConfigData(std::uint8_t *buffer, std::uint8_t count, std::uint8_t block,
                                       std::uint8_t address) = 0;
    virtual std::int32_t SndQwilData(std::uint8_t *message, std::int16_t length) = 0;
    virtual std::int32_t SndModData(std::uint8_t *bytes, std::int32_t length) = 0;
    virtual std::int32_t DevDownLoad(std::uint8_t target, std::uint8_t *message, std::uint8_t length,
                                     std::uint8_t sequence) = 0;
    virtual std::int32_t DevPan(std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                                std::uint8_t recording) = 0;
    virtual std::int32_t DevTilt(std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                                 std::uint8_t recording) = 0;
    virtual std::int32_t DevZoom(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevFocus(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevIris(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevTarget(std::uint8_t command, std::uint8_t index, std::uint8_t address) = 0;
    virtual std::int32_t DevPattern(std::uint8_t function, std::uint8_t number, std::uint8_t address,
                                    std::uint8_t repeat) = 0;
    virtual std::int32_t MiscDevCtrl(std::uint8_t command, std::uint8_t *data, std::uint8_t address) = 0;
    virtual std::int32_t GetABSPosition(std::uint8_t *buffer, std::uint8_t address) = 0;
    virtual std::int32_t GotoABSPosition(std::uint8_t *position, std::uint8_t address) = 0;
    virtual std::int32_t GetDeviceStatus(std::uint8_t *buffer, std::uint8_t address) = 0;
    virtual std::int32_t DevPing(std::uint8_t *buffer, std::uint8_t count, std::uint8_t address,
                                 std::int32_t waitMs) = 0;

protected:
    // Runs work in turn, then deliver on the issuing thread. Here work and deliver run at
    // once; work submitted from a deliver runs right after it. The driver thread runs work
    // on its own thread and posts deliver as an event.
    virtual void dispatch(Work work, Done deliver);
    // Runs the steps until end is set, then deliver on the issuing thread.
    virtual void dispatchRun(Run run, RunEnd end, Done deliver);

private:
    struct Submitted {
        Work work;
        Done deliver;
    };
    std::deque<Submitted> m_submitted;
    bool m_runningSubmitted = false;
};

// A call whose answer nobody reads: it goes out in turn after everything issued before it,
// and the issuer's window holds back the actions that come meanwhile, as for any call.
inline void sendInTurn(ModuleDriver &driver, const QObject *issuer, ModuleDriver::Work work)
{
    driver.submit(issuer, std::move(work), [] {});
}

// The one-call form of submit: done receives what work returned.
template <typename Call, typename Answer>
void submitCall(ModuleDriver &driver, const QObject *receiver, Call call, Answer answer)
{
    using Result = decltype(call(driver));
    auto result = std::make_shared<Result>();
    driver.submit(
        receiver, [result, call = std::move(call)](ModuleDriver &d) mutable { *result = call(d); },
        [result, answer = std::move(answer)]() mutable { answer(*result); });
}
