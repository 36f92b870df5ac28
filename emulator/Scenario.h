#pragma once

#include "emulator/LoaderFaults.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emu {

// How a device gets its configuration replies wrong, for testing the program's checks.
enum class ConfigFault {
    None,
    Late,         // the module hands back its own request frame; the reply follows as a record
    WrongAddress, // the reply names another address in its source byte
    WrongCode,    // the reply carries another command code
    WrongLength,  // the reply holds one data byte fewer than asked
    Long,         // the reply holds 40 data bytes, whatever was asked
    RetryOnly,    // every other request goes unanswered, so only a retry is answered
};

// One device on the emulated bus.
struct DeviceSetup {
    std::uint8_t address = 0;
    std::uint16_t type = 0;     // shown as four hex digits, e.g. 0x2315
    std::uint16_t revision = 0; // shown as four hex digits, e.g. 0x0101
    std::string name;           // six characters, blank-padded
    bool silent = false;        // sits on the bus but never answers
    int replyDelayMs = 5;       // how long the device takes to answer
    ConfigFault configFault = ConfigFault::None;
    LoaderFaults loadFaults;
    int zoom = -1;                           // maximum optical zoom; 0: no camera; -1: as the type has it
    std::vector<std::uint8_t> flashRevision; // configuration block 6; empty: from type and revision
    int pingLossEvery = 0;                   // every n-th ping goes unanswered; 0: none
    int pingDelayMs = 0;                     // an echo's extra delay
    std::uint8_t alarmInputs = 0x0F;         // bit k-1 set: alarm k normal
    std::string engineeringReplyFault;       // "", "short", "long-target" or "big-zoom"

    // The maximum optical zoom of the device's camera, 0 when the device is no dome.
    int opticalZoom() const;
};

// A fault that strikes while the program runs.
struct FaultSetup {
    enum class Kind {
        UnplugOnCall, // the module is unplugged on the operation's n-th call
        ResultOf,     // the operation answers result (on its n-th call, or on every call when 0)
    };
    Kind kind = Kind::UnplugOnCall;
    std::string operation; // driver operation that triggers it
    int occurrence = 1;    // on its n-th call (that call already fails)
    std::int32_t result = 0;
};

// A dome's alarm inputs changing while the program runs.
struct AlarmChange {
    std::uint8_t address = 0;
    std::uint8_t inputs = 0x0F;
    std::int64_t atMs = 0;
};

// What the module and the bus hold, and which faults to inject.
struct Scenario {
    std::int32_t connectionWord = 0x0080; // OpenUSBDriver's answer
    std::uint8_t revisionMajor = 0x01;    // descriptor byte 13, BCD
    std::uint8_t revisionMinor = 0x02;    // descriptor byte 12, BCD
    bool unplugged = false;
    std::int32_t driverVersion = 0x0105;
    LoaderFaults moduleLoadFaults;
    std::vector<DeviceSetup> devices;
    std::vector<FaultSetup> faults;
    std::vector<AlarmChange> alarmChanges;
    std::string traceFile;    // empty: trace kept in memory only
    std::string stateFile;    // empty: every command starts from the scenario's revisions
    int trafficPerSecond = 0; // messages other controllers put on the bus
    unsigned trafficSeed = 1;

    // The populated bus the program runs on by default.
    static Scenario defaultBus();

    const DeviceSetup *device(std::uint8_t address) const;
};

struct ScenarioError {
    int line = 0;
    std::string message;
};

// Parses the scenario text format (see the README's "Emulator scenarios").
std::optional<Scenario> parseScenario(const std::string &text, ScenarioError *error = nullptr);
std::optional<Scenario> loadScenarioFile(const std::string &path, ScenarioError *error = nullptr);

// The built-in default, in the scenario format itself.
extern const char *const DefaultScenarioText;

} // namespace emu
