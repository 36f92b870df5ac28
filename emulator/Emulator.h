#pragma once

#include "base/Clock.h"
#include "driver/DriverOperations.h"
#include "driver/DriverResult.h"
#include "emulator/BusDevice.h"
#include "emulator/BusMessage.h"
#include "emulator/ModuleLoader.h"
#include "emulator/Scenario.h"
#include "emulator/Trace.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>

namespace emu {

namespace Result = DriverResult;

// The emulated module and its bus: answers the driver's 24 operations as the real
// equipment would, keeps its own time on the given clock, and records everything
// it sees in a trace that tests can inspect.
class Emulator {
public:
    explicit Emulator(Clock &clock, const Scenario &scenario = Scenario::defaultBus());
    ~Emulator();
    Emulator(const Emulator &) = delete;
    Emulator &operator=(const Emulator &) = delete;

    // Whoever hands the emulator out as a driver enters each call here first. The module
    // serves one call at a time: a call that starts while another runs is a fault of the
    // caller, and the emulator stops the program with the names of both.
    class CallInProgress {
    public:
        CallInProgress(Emulator &emulator, const char *name);
        ~CallInProgress();
        CallInProgress(const CallInProgress &) = delete;
        CallInProgress &operator=(const CallInProgress &) = delete;

    private:
        Emulator &m_emulator;
    };

#define QWIL_DECLARE_OPERATION(name, params, args) std::int32_t name params;
    QWIL_DRIVER_OPERATIONS(QWIL_DECLARE_OPERATION)
#undef QWIL_DECLARE_OPERATION

    // Inspection and control for tests and the scenario.
    Trace &trace()
    {
        return m_trace;
    }
    const Trace &trace() const
    {
        return m_trace;
    }
    std::int64_t nowMs() const
    {
        return m_clock.nowMs();
    }
    bool isPlugged() const
    {
        return m_plugged;
    }
    bool isOpen() const
    {
        return m_open;
    }
    bool isCapturing() const
    {
        return m_capturing;
    }
    void unplug();
    void plug();
    void setConnectionWord(std::int32_t word)
    {
        m_scenario.connectionWord = word;
    }

    BusDevice *device(std::uint8_t address);
    // What the dome at address holds now; nothing when no dome answers there.
    std::optional<DomeState> domeState(std::uint8_t address);
    // Makes every call of operation answer result (tests); clearOperationResult undoes it.
    void setOperationResult(const std::string &operation, std::int32_t result)
    {
        m_forcedResults[operation] = result;
    }
    // Changes a dome's alarm inputs now; a dome told to report them does.
    void setAlarmInputs(std::uint8_t address, std::uint8_t inputs);
    void clearOperationResult(const std::string &operation)
    {
        m_forcedResults.erase(operation);
    }
    const ModuleLoader &moduleLoader() const
    {
        return m_moduleLoader;
    }
    void addDevice(std::unique_ptr<BusDevice> device);

    // Puts a record into the module's receive queue after the given delay.
    void queueRecord(RecordKind kind, const Bytes &message, int delayMs = 0);
    std::size_t queuedRecords() const
    {
        return m_records.size();
    }
    // Captured records handed out by GetData since capture was last switched on.
    long long capturedRecordsDelivered() const
    {
        return m_capturedDelivered;
    }

    struct BusSettings {
        std::int32_t value = 0;
        std::uint8_t second = 0;
        std::uint8_t highestAddress = 0;
    };
    const BusSettings &busSettings() const
    {
        return m_busSettings;
    }
    // The 20 bytes the last GotoABSPosition was handed: the position buffer from its byte 6
    // on, all of which a driver may read (the dome is sent the first ten).
    const Bytes &positionHanded() const
    {
        return m_positionHanded;
    }

private:
    std::atomic<const char *> m_callInProgress{nullptr};
    // Something that will happen at a due time: a message reaching the bus, or a
    // record reaching the module's receive queue directly.
    struct InFlight {
        std::int64_t due;
        std::uint64_t order;
        Bytes message;
        std::optional<RecordKind> directRecord;
    };
    using ReplyMatch = std::function<bool(const Bytes &)>;

    // A call's outcome, written to the trace before it is returned.
    std::int32_t traced(const char *name, std::vector<long long> arguments, std::int32_t result);
    // Link state for an operation that needs an open module; 0 when it may proceed.
    std::int32_t linkFault(const char *operation);
    void countCall(const char *operation);

    void transmit(const Bytes &message);
    void schedule(const Bytes &message, int delayMs);
    void settle();
    void crossBus(const Bytes &message);
    void deliverToModule(const Bytes &message);
    std::optional<Bytes> awaitReply(const ReplyMatch &match, std::int32_t waitMs);
    void pushRecord(RecordKind kind, const Bytes &message);
    bool waitUntil(const std::function<bool()> &ready, std::int32_t waitMs);

    Clock &m_clock;
    Scenario m_scenario;
    Trace m_trace;
    std::map<std::uint8_t, std::unique_ptr<BusDevice>> m_devices;
    std::vector<InFlight> m_inFlight;
    std::uint64_t m_order = 0;
    std::deque<Bytes> m_records; // records ready for GetData, header and check byte included
    std::map<std::string, int> m_callCounts;
    BusSettings m_busSettings;
    Bytes m_positionHanded;
    bool m_plugged = true;
    bool m_open = false;
    bool m_capturing = false;
    bool domeAnswers(std::uint8_t address);
    std::optional<std::int32_t> forcedResult(const std::string &operation);
    std::optional<std::int32_t> callFault(const char *operation);
    std::int32_t domeCommand(const char *name, std::vector<long long> arguments, std::uint8_t address,
                             std::uint8_t command, const Bytes &parameters);
    std::int32_t refused(const char *name, std::vector<long long> arguments, std::int32_t result);
    std::int32_t headCommand(const char *name, std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                             std::uint8_t recording, std::uint8_t first, std::uint8_t stopCode);
    std::int32_t lensCommand(const char *name, std::uint8_t command, std::uint8_t address, std::uint8_t first);
    std::optional<Bytes> queryDome(std::uint8_t address, std::uint8_t socket, std::uint8_t command,
                                   const Bytes &parameters, std::int32_t waitMs);
    void applyAlarmChanges();
    std::int32_t zoomQuery(std::vector<long long> arguments, std::uint8_t *data, std::uint8_t address);
    std::int32_t downloadToModule(const Bytes &message);
    std::int32_t downloadToDevice(const Bytes &message, std::uint8_t sequence);
    void answerFromDevice(BusDevice &device, std::uint8_t status);

    // The bus's memory of earlier commands: taken at the start, put back after a load.
    void recallBusState();
    void rememberLoads();
    int m_loadsRemembered = 0; // files accepted and module restarts already in the state file
    int m_moduleReloads = 0;

    void generateTraffic();
    Bytes trafficMessage();
    std::int64_t trafficDueMs(std::int64_t message) const;

    ModuleLoader m_moduleLoader;
    std::mt19937 m_random;
    std::int64_t m_trafficStartMs = 0; // when capture started
    std::int64_t m_trafficSent = 0;    // messages of other controllers since then
    std::int64_t m_nextTrafficMs = 0;
    long long m_capturedDelivered = 0;
    BusDevice *m_loading = nullptr; // the device the last download message went to
    ReplyMatch m_waiter;
    std::optional<Bytes> m_caught;
    std::map<std::string, std::int32_t> m_forcedResults;
    std::size_t m_nextAlarmChange = 0;
    std::int64_t m_startMs = 0; // a scenario's times count from here
};

} // namespace emu
