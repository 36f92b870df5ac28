#pragma once

#include "ModuleDriver.h"
#include "ModuleStatus.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// How one window connects to the module: which status form it shows, and what
// happens to the driver before and after.
struct ConnectOptions {
    ModuleStatus::Form form = ModuleStatus::Form::Long;
    bool closeFirst = false; // close a link that may still be open before opening
    bool drainAfter = false; // read and discard what the module still holds
    bool closeAfter = false; // connect only for the moment of a report
    QString failureStatus;   // status text when the module is not connected

    // Called with the connection word as soon as it is known.
    std::function<void(std::int32_t word)> onWord;
    // Called once connected, before the drain starts.
    std::function<void(const QString &status)> onConnected;
    // Called with every record the drain discards.
    std::function<void(std::span<const std::uint8_t> record)> onDrained;

    static ConnectOptions controlPanel();
    static ConnectOptions busMonitor();
    static ConnectOptions flashLoader();
    static ConnectOptions domeControl();
};

struct ConnectOutcome {
    bool connected = false;
    std::int32_t word = 0;
    QString status; // the status text, or the options' failure text
};

// One record read from the module: what GetData filled in and answered.
struct ModuleRecord {
    static constexpr std::size_t BufferSize = 101; // a record is at most 100 bytes; its check byte follows
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(BufferSize, 0);
    std::uint8_t count = 0;
    std::int32_t result = 0;

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

    static ConnectOutcome connect(ModuleDriver &driver, const ConnectOptions &options);
    // The same, with the drain submitted: then gets the outcome once the drain is done
    // (at once when there is none), unless receiver has gone.
    static void connect(ModuleDriver &driver, const QObject *receiver, const ConnectOptions &options,
                        std::function<void(const ConnectOutcome &)> then);

    // Reads records until the driver answers anything but success; returns how many.
    static int drain(ModuleDriver &driver, int waitMs,
                     const std::function<void(std::span<const std::uint8_t>)> &onRecord = {});
    // The same drain submitted whole; then gets the records it read.
    static void drain(ModuleDriver &driver, const QObject *receiver, int waitMs,
                      std::function<void(const Records &)> then);

    // One record read with the given wait, submitted; then gets it.
    static void read(ModuleDriver &driver, const QObject *receiver, int waitMs,
                     std::function<void(const ModuleRecord &)> then);

private:
    // Everything up to the drain; true when the drain is due.
    static bool open(ModuleDriver &driver, const ConnectOptions &options, ConnectOutcome &outcome);
    static void finish(ModuleDriver &driver, const ConnectOptions &options);
};
