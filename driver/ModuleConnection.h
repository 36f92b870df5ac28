#pragma once

#include "driver/DriverResult.h"
#include "driver/ModuleDriver.h"
#include "driver/ModuleStatus.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// How one window connects to the module: which status form it shows, and what
// happens to the driver before and after. Windows that then read and discard what the
// module still holds (the monitor, the flash loader) drain it themselves.
struct ConnectOptions {
    ModuleStatus::Form form = ModuleStatus::Form::Long;
    bool closeFirst = false; // close a link that may still be open before opening
    bool closeAfter = false; // connect only for the moment of a report
    QString failureStatus;   // status text when the module is not connected

    static ConnectOptions controlPanel();
    static ConnectOptions busMonitor();
    static ConnectOptions flashLoader();
    static ConnectOptions domeControl();
};

struct ConnectOutcome {
    bool connected = false;
    std::int32_t word = 0;
    std::uint16_t revision = 0; // the module's firmware revision from its descriptor, BCD (0x0102: 1.02)
    QString status; // the status text, or the options' failure text
};

// One record read from the module: what GetData filled in and answered.
struct ModuleRecord {
    static constexpr std::size_t BufferSize = 101; // a record is at most 100 bytes; its check byte follows
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(BufferSize, 0);
    std::uint8_t count = 0;
    std::int32_t result = 0;
    std::int64_t answeredMs = 0; // when GetData answered, on the process's clock

    // The record's bytes as far as the count goes, within the buffer.
    std::span<const std::uint8_t> received() const
    {
        return {bytes.data(), std::min<std::size_t>(count, BufferSize - 1)};
    }
};

// The one connection routine every window uses.
class ModuleConnection {
public:
    // A drain stops after this many records even if the driver keeps answering,
    // so a babbling module can never hang a window.
    static constexpr int MaxDrainRecords = 4096;
    static constexpr int DrainWaitMs = 100;

    using Records = std::vector<std::vector<std::uint8_t>>;

    // Calls without a wait only, so the window may make it as a plain call.
    static ConnectOutcome connect(ModuleDriver &driver, const ConnectOptions &options);
    // What the module answered to being let go: to the call that set it back as it was found
    // (the bus's idle settings, or the monitor's capture switched off), and to the close.
    struct Released {
        std::int32_t setBack = 0;
        std::int32_t closed = 0;
        // The answer that says the module was lost; 0 when it was there to the end.
        std::int32_t lostWith() const
        {
            return DriverResult::moduleGone(setBack) ? setBack : DriverResult::moduleGone(closed) ? closed : 0;
        }
    };
    // Lets go of the module as it was found: the bus back to its idle settings (addresses up
    // to 16), then the driver closed.
    static Released release(ModuleDriver &driver);

    // Reads records until the driver answers anything but success; returns how many.
    static int drain(ModuleDriver &driver, int waitMs,
                     const std::function<void(std::span<const std::uint8_t>)> &onRecord = {});
    // The same drain submitted whole; then gets the records it read.
    static void drain(ModuleDriver &driver, const QObject *receiver, int waitMs,
                      std::function<void(const Records &)> then);

    // One record read with the given wait, submitted; then gets it.
    static void read(ModuleDriver &driver, const QObject *receiver, int waitMs,
                     std::function<void(const ModuleRecord &)> then);

    // Records read one after another as a run (ModuleDriver::submitRun), each with the
    // given wait and gapMs after the answer before it: onRecords gets them in order, in
    // batches, and then runs once the run has ended. Returns the run's end switch, and
    // what hands the records read so far to onRecords at once (after a plain call that
    // followed the end, that is every record the run read).
    struct ReadRun {
        ModuleDriver::RunEnd end;
        std::function<void()> handOverNow;
    };
    static ReadRun readRun(ModuleDriver &driver, const QObject *receiver, int waitMs, int gapMs,
                           std::function<void(const std::vector<ModuleRecord> &)> onRecords,
                           std::function<void()> then);
};
