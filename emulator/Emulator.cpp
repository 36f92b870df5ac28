#include "emulator/Emulator.h"

#include "emulator/BusState.h"

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace emu {

namespace {
constexpr const char *Open = "OpenUSBDriver";
constexpr std::uint8_t StatusRequest = 0x1A;
constexpr std::uint8_t AbortLoad = 0x1B;
constexpr int ModuleReplyDelayMs = 5;
// How long the module waits for a dome to acknowledge a command or answer a query.
constexpr int DomeAcknowledgeWaitMs = 100;
// Command codes of the dome messages the driver builds itself.
constexpr std::uint8_t DomeMove = 0xC0;
constexpr std::uint8_t DomeSpecial = 0xCC;
constexpr std::uint8_t DomeQuickSet = 0xCD;
// What MiscDevCtrl answers for a function no dome knows.
constexpr std::int32_t UnknownFunction = 2;
// The absolute position's bytes, and the buffer its reply goes to.
constexpr std::size_t PositionBytes = 10;
constexpr std::size_t PositionBufferBytes = 26;
// A ping's probe fills at most half of the 16-byte buffer; the echo the other half.
constexpr std::uint8_t MaxPingBytes = 8;
// The buffer a caller hands in for the zoom query's answer.
constexpr std::size_t ZoomQueryBufferBytes = 51;

long long ptr(const void *p)
{
    return p ? 1 : 0;
}
} // namespace

Emulator::Emulator(Clock &clock, const Scenario &scenario)
    : m_clock(clock), m_scenario(scenario), m_plugged(!scenario.unplugged), m_moduleLoader(scenario.moduleLoadFaults),
      m_random(scenario.trafficSeed)
{
    m_startMs = m_clock.nowMs();
    m_trace.setFile(scenario.traceFile);
    std::stable_sort(m_scenario.alarmChanges.begin(), m_scenario.alarmChanges.end(),
                     [](const AlarmChange &a, const AlarmChange &b) { return a.atMs < b.atMs; });
    for (const DeviceSetup &setup : scenario.devices)
        addDevice(std::make_unique<BusDevice>(setup));
    recallBusState();
}

Emulator::~Emulator()
{
    rememberLoads();
}

void Emulator::recallBusState()
{
    if (m_scenario.stateFile.empty())
        return;
    std::string why;
    const std::optional<BusState> state = readBusState(m_scenario.stateFile, why);
    if (!state) {
        std::fprintf(stderr, "QwilUSB emulator: cannot read the bus state %s: %s; the scenario's revisions are used\n",
                     m_scenario.stateFile.c_str(), why.c_str());
        return;
    }
    if (state->module) {
        m_scenario.revisionMajor = static_cast<std::uint8_t>(state->module->revision >> 8);
        m_scenario.revisionMinor = static_cast<std::uint8_t>(state->module->revision & 0xFF);
        m_moduleLoader.restore(state->module->flash);
    }
    for (const auto &[address, remembered] : state->devices) {
        const auto device = m_devices.find(address);
        if (device != m_devices.end())
            device->second->loader().restore(remembered.flash, remembered.revision);
    }
}

// What the loads of this command left is put into the state file, when there is one, each
// time the command has loaded something the file does not hold yet.
void Emulator::rememberLoads()
{
    if (m_scenario.stateFile.empty())
        return;
    BusState changes;
    int loads = m_moduleReloads;
    if (m_moduleReloads > 0)
        changes.module =
            Remembered{static_cast<std::uint16_t>(m_scenario.revisionMajor << 8 | m_scenario.revisionMinor),
                       m_moduleLoader.flash()};
    for (const auto &[address, device] : m_devices) {
        const DeviceLoader &loader = device->loader();
        loads += loader.filesAccepted();
        if (loader.filesAccepted() > 0 && loader.flashedRevision())
            changes.devices[address] = Remembered{*loader.flashedRevision(), loader.flash()};
    }
    if (loads == m_loadsRemembered)
        return;
    std::string why;
    if (!saveBusState(m_scenario.stateFile, changes, why))
        std::fprintf(stderr, "QwilUSB emulator: cannot keep the bus state in %s: %s\n", m_scenario.stateFile.c_str(),
                     why.c_str());
    m_loadsRemembered = loads;
}

void Emulator::unplug()
{
    m_plugged = false;
    m_open = false;
    m_capturing = false;
    m_records.clear();
}

void Emulator::plug()
{
    m_plugged = true;
}

BusDevice *Emulator::device(std::uint8_t address)
{
    const auto found = m_devices.find(address);
    return found == m_devices.end() ? nullptr : found->second.get();
}

std::optional<DomeState> Emulator::domeState(std::uint8_t address)
{
    BusDevice *target = device(address);
    if (!target || !target->dome())
        return std::nullopt;
    return target->dome()->state(m_clock.nowMs());
}

void Emulator::addDevice(std::unique_ptr<BusDevice> device)
{
    const std::uint8_t address = device->address();
    m_devices[address] = std::move(device);
}

void Emulator::queueRecord(RecordKind kind, const Bytes &message, int delayMs)
{
    if (delayMs <= 0) {
        pushRecord(kind, message);
        return;
    }
    m_inFlight.push_back({m_clock.nowMs() + delayMs, m_order++, message, kind});
}

// ---- bookkeeping -------------------------------------------------------------------

Emulator::CallInProgress::CallInProgress(Emulator &emulator, const char *name) : m_emulator(emulator)
{
    const char *running = m_emulator.m_callInProgress.exchange(name);
    if (running) {
        std::fprintf(stderr, "emulated module: driver calls overlap: %s started while %s runs\n", name, running);
        std::abort();
    }
}

Emulator::CallInProgress::~CallInProgress()
{
    m_emulator.m_callInProgress = nullptr;
}

std::int32_t Emulator::traced(const char *name, std::vector<long long> arguments, std::int32_t result)
{
    m_trace.addCall(m_clock.nowMs(), name, std::move(arguments), result);
    return result;
}

void Emulator::countCall(const char *operation)
{
    const int n = ++m_callCounts[operation];
    for (const FaultSetup &fault : m_scenario.faults) {
        if (fault.kind == FaultSetup::Kind::UnplugOnCall && fault.operation == operation && fault.occurrence == n)
            unplug();
    }
}

std::int32_t Emulator::linkFault(const char *operation)
{
    countCall(operation);
    if (!m_plugged)
        return Result::UsbError;
    if (!m_open)
        return Result::ModuleNotOnline;
    settle();
    // A forced 0 is the caller's to honour: it answers without acting.
    if (const auto forced = forcedResult(operation); forced && *forced != Result::Success)
        return *forced;
    return Result::Success;
}

// ---- the bus -----------------------------------------------------------------------

void Emulator::transmit(const Bytes &message)
{
    crossBus(message);
    BusDevice *target = message.empty() ? nullptr : device(message[Bus::Destination]);
    if (!target)
        return;
    for (const BusDevice::Answer &answer : target->receive(message, m_clock.nowMs()))
        schedule(answer.message, answer.delayMs);
}

void Emulator::schedule(const Bytes &message, int delayMs)
{
    m_inFlight.push_back({m_clock.nowMs() + std::max(delayMs, 0), m_order++, message, std::nullopt});
}

void Emulator::settle()
{
    generateTraffic();
    applyAlarmChanges();
    for (;;) {
        const std::int64_t now = m_clock.nowMs();
        auto next = std::min_element(m_inFlight.begin(), m_inFlight.end(), [](const InFlight &a, const InFlight &b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == m_inFlight.end() || next->due > now)
            return;
        InFlight event = std::move(*next);
        m_inFlight.erase(next);
        if (!m_plugged)
            continue; // nothing reaches a module that is not there
        if (event.directRecord) {
            pushRecord(*event.directRecord, event.message);
            continue;
        }
        crossBus(event.message);
        const std::uint8_t destination = event.message[Bus::Destination];
        if (destination == Bus::ModuleAddress || destination == 0x00)
            deliverToModule(event.message);
        else
            transmit(event.message);
    }
}

void Emulator::applyAlarmChanges()
{
    const std::int64_t now = m_clock.nowMs();
    while (m_nextAlarmChange < m_scenario.alarmChanges.size() &&
           m_startMs + m_scenario.alarmChanges[m_nextAlarmChange].atMs <= now) {
        const AlarmChange &change = m_scenario.alarmChanges[m_nextAlarmChange++];
        setAlarmInputs(change.address, change.inputs);
    }
}

void Emulator::setAlarmInputs(std::uint8_t address, std::uint8_t inputs)
{
    BusDevice *target = device(address);
    if (target && target->dome() && target->dome()->setAlarmInputs(inputs) && !target->setup().silent)
        schedule(target->alarmReport(), target->setup().replyDelayMs);
}

// Other controllers on the bus drive the domes while the module listens: pan and tilt at
// varying speeds, stops, zoom, targets, patterns, camera calls, now and then a message
// cut short, and the domes' answers to the module.
void Emulator::generateTraffic()
{
    if (!m_capturing || !m_plugged || m_scenario.trafficPerSecond <= 0)
        return;
    const std::int64_t now = m_clock.nowMs();
    while (m_nextTrafficMs <= now) {
        crossBus(trafficMessage());
        m_nextTrafficMs = trafficDueMs(++m_trafficSent + 1);
    }
}

// The n-th message (from 1) since capture started. Each is placed from the start rather
// than from the one before, so a rate that does not divide 1000 still delivers exactly its
// number every second, the whole milliseconds between messages varying by one.
std::int64_t Emulator::trafficDueMs(std::int64_t message) const
{
    return m_trafficStartMs + message * 1000 / m_scenario.trafficPerSecond;
}

Bytes Emulator::trafficMessage()
{
    constexpr std::uint8_t Keyboards[] = {0xFA, 0xFB};
    std::vector<std::uint8_t> domes;
    for (const auto &[address, device] : m_devices)
        domes.push_back(address);
    if (domes.empty())
        domes.push_back(1);
    const auto pick = [this](int n) {
        return static_cast<int>(std::uniform_int_distribution<int>(0, n - 1)(m_random));
    };
    const std::uint8_t dome = domes[static_cast<std::size_t>(pick(static_cast<int>(domes.size())))];
    const std::uint8_t keyboard = Keyboards[pick(2)];
    const auto control = [&](std::uint8_t command, const Bytes &parameters) {
        return makeMessage(dome, keyboard, 0x00, Bus::SocketEngineering, command, parameters);
    };
    const int kind = pick(100);
    if (kind < 35) {
        constexpr std::uint8_t Directions[] = {0x81, 0x82, 0x84, 0x85};
        return control(0xC0, {Directions[pick(4)], static_cast<std::uint8_t>(1 + pick(64))});
    }
    if (kind < 50)
        return control(pick(2) ? 0x83 : 0x86, {});
    if (kind < 60)
        return control(static_cast<std::uint8_t>(0x8A + pick(3)), {});
    if (kind < 70) {
        // One pick a statement: the order of a call's arguments is the compiler's to choose.
        const auto target = static_cast<std::uint8_t>(pick(32));
        return control(pick(2) ? 0xA9 : 0xA8, {target});
    }
    if (kind < 78)
        return control(0xA3, {static_cast<std::uint8_t>(pick(2)), static_cast<std::uint8_t>(pick(4))});
    if (kind < 84)
        return control(0xD0, {static_cast<std::uint8_t>(1 + pick(99))});
    if (kind < 88)
        return control(0xC0, {0x81}); // cut short: the speed never arrived
    // A dome answers the module.
    return makeMessage(Bus::ModuleAddress, dome, 0x00, Bus::SocketQuery, 0x94,
                       {static_cast<std::uint8_t>(pick(256)), static_cast<std::uint8_t>(pick(256))});
}

void Emulator::crossBus(const Bytes &message)
{
    m_trace.addBusMessage(m_clock.nowMs(), message);
    if (m_capturing)
        pushRecord(RecordKind::BusMessage, message);
}

void Emulator::deliverToModule(const Bytes &message)
{
    if (m_waiter && !m_caught && m_waiter(message)) {
        m_caught = message;
        return;
    }
    // With capture on the message is already queued as a captured record.
    if (!m_capturing)
        pushRecord(RecordKind::BusMessage, message);
}

void Emulator::pushRecord(RecordKind kind, const Bytes &message)
{
    const std::size_t length = std::min(message.size(), Bus::MaxMessage);
    const Bytes carried(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(length));
    Bytes record;
    record.reserve(Bus::RecordHeader + length + 1);
    record.push_back(static_cast<std::uint8_t>(kind));
    record.push_back(0x00);
    record.push_back(0x00);
    std::copy(carried.begin(), carried.end(), std::back_inserter(record));
    record.push_back(checkByte(carried));
    m_records.push_back(std::move(record));
}

bool Emulator::waitUntil(const std::function<bool()> &ready, std::int32_t waitMs)
{
    const std::int64_t deadline = m_clock.nowMs() + std::max<std::int32_t>(waitMs, 0);
    for (;;) {
        settle();
        if (ready() || !m_plugged)
            return ready();
        const std::int64_t now = m_clock.nowMs();
        if (now >= deadline)
            return false;
        std::int64_t wake = deadline;
        for (const InFlight &event : m_inFlight)
            wake = std::min(wake, event.due);
        if (m_capturing && m_scenario.trafficPerSecond > 0)
            wake = std::min(wake, m_nextTrafficMs);
        m_clock.sleepMs(std::max<std::int64_t>(wake - now, 0));
        if (wake <= now)
            return ready(); // an event due now that settle could not take: avoid spinning
    }
}

std::optional<Bytes> Emulator::awaitReply(const ReplyMatch &match, std::int32_t waitMs)
{
    m_waiter = match;
    m_caught.reset();
    waitUntil([this] { return m_caught.has_value(); }, waitMs);
    m_waiter = nullptr;
    std::optional<Bytes> reply = std::move(m_caught);
    m_caught.reset();
    return reply;
}

// ---- the driver's operations --------------------------------------------------------

std::int32_t Emulator::OpenUSBDriver()
{
    countCall(Open);
    if (!m_plugged)
        return traced(Open, {}, Result::NoDeviceFound);
    if (const auto forced = forcedResult(Open); forced && *forced != Result::Success) {
        m_open = false;
        return traced(Open, {}, *forced);
    }
    const std::uint32_t state = static_cast<std::uint32_t>(m_scenario.connectionWord) & 0xFFu;
    m_open = state == 0x00 || state == 0x80 || state == 0x81;
    return traced(Open, {}, m_scenario.connectionWord);
}

std::int32_t Emulator::CloseUSBDriver()
{
    countCall("CloseUSBDriver");
    m_open = false;
    m_capturing = false;
    rememberLoads();
    return traced("CloseUSBDriver", {}, forcedResult("CloseUSBDriver").value_or(Result::Success));
}

std::int32_t Emulator::GetDevDescr(std::uint8_t *descriptor, std::int32_t *length)
{
    if (const std::int32_t fault = linkFault("GetDevDescr"))
        return traced("GetDevDescr", {}, fault);
    // A standard 18-byte device descriptor; bcdDevice (bytes 12, 13) carries the firmware revision.
    const std::uint8_t bytes[18] = {18,
                                    0x01,
                                    0x00,
                                    0x02,
                                    0xFF,
                                    0x00,
                                    0x00,
                                    64,
                                    0x51,
                                    0x0B,
                                    0x01,
                                    0x00,
                                    m_scenario.revisionMinor,
                                    m_scenario.revisionMajor,
                                    1,
                                    2,
                                    0,
                                    1};
    if (descriptor)
        std::memcpy(descriptor, bytes, sizeof bytes);
    if (length)
        *length = static_cast<std::int32_t>(sizeof bytes);
    return traced("GetDevDescr", {}, Result::Success);
}

std::int32_t Emulator::GetQwilUsbVersion()
{
    countCall("GetQwilUsbVersion");
    return traced("GetQwilUsbVersion", {}, forcedResult("GetQwilUsbVersion").value_or(m_scenario.driverVersion));
}

std::int32_t Emulator::GetData(std::uint8_t *buffer, std::uint8_t *count, std::int32_t waitMs)
{
    countCall("GetData");
    if (!m_plugged)
        return traced("GetData", {waitMs}, Result::UsbError);
    if (!m_open) {
        // A module that is plugged in but not opened delivers nothing.
        m_clock.sleepMs(std::max<std::int32_t>(waitMs, 0));
        return traced("GetData", {waitMs}, Result::NoResponse);
    }
    settle();
    if (const auto forced = forcedResult("GetData"); forced && *forced != Result::Success)
        return traced("GetData", {waitMs}, *forced);
    if (!waitUntil([this] { return !m_records.empty(); }, waitMs))
        return traced("GetData", {waitMs}, m_plugged ? Result::NoResponse : Result::UsbError);
    const Bytes record = std::move(m_records.front());
    m_records.pop_front();
    if (m_capturing && record[0] == static_cast<std::uint8_t>(RecordKind::BusMessage))
        ++m_capturedDelivered;
    if (m_moduleLoader.restartPending() && record[0] == static_cast<std::uint8_t>(RecordKind::Module) &&
        record.size() > 4 && record[4] == 0x16) {
        // The module left its loader: it restarts and must be connected again.
        m_moduleLoader.restarted();
        // The module comes back with the revision of the firmware it was given, when the
        // PC found the image whole.
        if (const auto start = m_moduleLoader.imageStart(); start && m_moduleLoader.imageAccepted()) {
            if (const auto revision = m_moduleLoader.flash().revisionAt(*start)) {
                m_scenario.revisionMajor = static_cast<std::uint8_t>(*revision >> 8);
                m_scenario.revisionMinor = static_cast<std::uint8_t>(*revision & 0xFF);
                ++m_moduleReloads;
            }
        }
        m_open = false;
    }
    // The record is followed by its check byte, which is not counted.
    if (buffer)
        std::memcpy(buffer, record.data(), record.size());
    if (count)
        *count = static_cast<std::uint8_t>(record.size() - 1);
    return traced("GetData", {waitMs, static_cast<long long>(record.size() - 1)}, Result::Success);
}

std::int32_t Emulator::QwilAnalyzer(std::uint8_t mode, std::uint8_t channel, std::uint8_t *result)
{
    if (const std::int32_t fault = linkFault("QwilAnalyzer"))
        return traced("QwilAnalyzer", {mode, channel}, fault);
    const bool starting = mode == 1 && !m_capturing;
    m_capturing = mode == 1;
    if (starting) {
        m_capturedDelivered = 0;
        m_trafficStartMs = m_clock.nowMs();
        m_trafficSent = 0;
        if (m_scenario.trafficPerSecond > 0)
            m_nextTrafficMs = trafficDueMs(1);
    }
    if (result)
        *result = 0;
    return traced("QwilAnalyzer", {mode, channel}, Result::Success);
}

std::int32_t Emulator::ConfigQwil(std::int32_t value, std::uint8_t second, std::uint8_t highestAddress)
{
    if (const std::int32_t fault = linkFault("ConfigQwil"))
        return traced("ConfigQwil", {value, second, highestAddress}, fault);
    m_busSettings = {value, second, highestAddress};
    return traced("ConfigQwil", {value, second, highestAddress}, Result::Success);
}

std::int32_t Emulator::GetConfigData(std::uint8_t *buffer, std::uint8_t length, std::uint8_t block,
                                     std::uint8_t address, std::int32_t waitMs)
{
    const std::vector<long long> arguments{length, block, address, waitMs};
    if (const auto fault = callFault("GetConfigData"))
        return traced("GetConfigData", arguments, *fault);
    const Bytes request =
        makeMessage(address, Bus::ModuleAddress, 0x00, Bus::SocketQuery, Bus::GetConfigurationBuffer, {block, length});
    transmit(request);
    const BusDevice *target = device(address);
    if (target && target->setup().configFault == ConfigFault::Late && !target->setup().silent) {
        // The module answers at once with its own request frame; the device's reply
        // arrives later as a record.
        if (buffer) {
            std::memcpy(buffer, request.data(), request.size());
            buffer[request.size()] = checkByte(request);
        }
        return traced("GetConfigData", arguments, Result::Success);
    }
    // The module hands back the first query reply that reaches it within the wait.
    const auto reply = awaitReply(
        [](const Bytes &m) { return m.size() > Bus::Command && m[Bus::Socket] == Bus::SocketQuery; }, waitMs);
    if (!reply)
        return traced("GetConfigData", arguments, m_plugged ? Result::NoResponse : Result::UsbError);
    if (buffer) {
        std::memcpy(buffer, reply->data(), reply->size());
        buffer[reply->size()] = checkByte(*reply);
    }
    return traced("GetConfigData", arguments, Result::Success);
}

std::int32_t Emulator::SetConfigData(std::uint8_t *buffer, std::uint8_t count, std::uint8_t block, std::uint8_t address)
{
    const std::vector<long long> arguments{count, block, address};
    if (const auto fault = callFault("SetConfigData"))
        return traced("SetConfigData", arguments, *fault);
    if (!buffer || count > Bus::MaxMessage - Bus::HeaderSize - 2)
        return traced("SetConfigData", arguments, Result::InvalidCommand);
    Bytes parameters;
    parameters.reserve(2u + count);
    parameters.push_back(block);
    parameters.push_back(count);
    std::copy(buffer, buffer + count, std::back_inserter(parameters));
    transmit(makeMessage(address, Bus::ModuleAddress, 0x00, Bus::SocketQuery, Bus::SetConfigurationBuffer, parameters));
    return traced("SetConfigData", arguments, Result::Success);
}

std::int32_t Emulator::SndQwilData(std::uint8_t *message, std::int16_t length)
{
    if (const auto fault = callFault("SndQwilData"))
        return traced("SndQwilData", {length}, *fault);
    if (!message || length < 1 || static_cast<std::size_t>(length) > Bus::MaxMessage)
        return traced("SndQwilData", {length}, Result::InvalidCommand);
    transmit(Bytes(message, message + length));
    return traced("SndQwilData", {length}, Result::Success);
}

std::int32_t Emulator::SndModData(std::uint8_t *bytes, std::int32_t length)
{
    const std::vector<long long> arguments{length, bytes && length > 0 ? bytes[0] : -1};
    if (const std::int32_t fault = linkFault("SndModData"))
        return traced("SndModData", arguments, fault);
    if (bytes && length == 1 && bytes[0] == StatusRequest) {
        if (auto held = m_moduleLoader.statusRequested())
            queueRecord(RecordKind::Module, *held, ModuleReplyDelayMs);
        if (m_loading) {
            if (auto status = m_loading->loader().statusRequested())
                answerFromDevice(*m_loading, *status);
        }
    } else if (bytes && length == 1 && bytes[0] == AbortLoad) {
        m_moduleLoader.abort();
        if (m_loading)
            m_loading->loader().abort();
    }
    return traced("SndModData", arguments, Result::Success);
}

std::int32_t Emulator::DevDownLoad(std::uint8_t target, std::uint8_t *message, std::uint8_t length,
                                   std::uint8_t sequence)
{
    const std::vector<long long> arguments{target, length, sequence};
    if (const std::int32_t fault = linkFault("DevDownLoad"))
        return traced("DevDownLoad", arguments, fault);
    if (!message || length == 0)
        return traced("DevDownLoad", arguments, Result::InvalidCommand);
    const Bytes bytes(message, message + length);
    if (target == 1)
        return traced("DevDownLoad", arguments, downloadToModule(bytes));
    if (target == 2)
        return traced("DevDownLoad", arguments, downloadToDevice(bytes, sequence));
    return traced("DevDownLoad", arguments, Result::InvalidCommand);
}

std::int32_t Emulator::downloadToModule(const Bytes &message)
{
    if (auto reply = m_moduleLoader.receive(message))
        queueRecord(RecordKind::Module, *reply, ModuleReplyDelayMs);
    return Result::Success;
}

std::int32_t Emulator::downloadToDevice(const Bytes &message, std::uint8_t sequence)
{
    if (message.size() < Bus::HeaderSize || message.size() > Bus::MaxMessage)
        return Result::InvalidCommand;
    crossBus(message);
    BusDevice *target = device(message[Bus::Destination]);
    if (!target || target->setup().silent)
        return Result::Success;
    m_loading = target;
    if (auto status = target->loader().receive(message, sequence))
        answerFromDevice(*target, *status);
    return Result::Success;
}

void Emulator::answerFromDevice(BusDevice &device, std::uint8_t status)
{
    schedule(
        makeMessage(Bus::ModuleAddress, device.address(), 0x00, Bus::SocketDownload, DeviceLoader::Reply, {status}),
        device.setup().replyDelayMs);
}

bool Emulator::domeAnswers(std::uint8_t address)
{
    BusDevice *target = device(address);
    return target && !target->setup().silent && target->dome();
}

// A call that fails before it reaches the bus: the link is down, or a test or the scenario
// forces its result.
std::optional<std::int32_t> Emulator::callFault(const char *operation)
{
    if (const std::int32_t fault = linkFault(operation))
        return fault;
    return forcedResult(operation);
}

std::optional<std::int32_t> Emulator::forcedResult(const std::string &operation)
{
    if (const auto forced = m_forcedResults.find(operation); forced != m_forcedResults.end())
        return forced->second;
    const int n = m_callCounts[operation];
    for (const FaultSetup &fault : m_scenario.faults) {
        if (fault.kind == FaultSetup::Kind::ResultOf && fault.operation == operation &&
            (fault.occurrence == 0 || fault.occurrence == n))
            return fault.result;
    }
    return std::nullopt;
}

// A dome command crosses the bus; the module then waits for the dome's acknowledgment,
// which a missing, silent or camera-less address never gives.
std::int32_t Emulator::domeCommand(const char *name, std::vector<long long> arguments, std::uint8_t address,
                                   std::uint8_t command, const Bytes &parameters)
{
    if (const auto fault = callFault(name))
        return traced(name, std::move(arguments), *fault);
    transmit(makeMessage(address, Bus::ModuleAddress, 0x00, Bus::SocketEngineering, command, parameters));
    if (!domeAnswers(address)) {
        m_clock.sleepMs(DomeAcknowledgeWaitMs);
        return traced(name, std::move(arguments), Result::NoResponse);
    }
    return traced(name, std::move(arguments), Result::Success);
}

std::int32_t Emulator::refused(const char *name, std::vector<long long> arguments, std::int32_t result)
{
    if (const std::int32_t fault = linkFault(name))
        return traced(name, std::move(arguments), fault);
    return traced(name, std::move(arguments), result);
}

// Moves at speed 0 go as the plain direction command (the dome's own speed); others as a
// variable-speed move. The last parameter marks a move recorded into a pattern.
std::int32_t Emulator::headCommand(const char *name, std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                                   std::uint8_t recording, std::uint8_t first, std::uint8_t stopCode)
{
    const std::vector<long long> arguments{command, speed, address, recording};
    if (command == stopCode)
        return domeCommand(name, arguments, address, command, {});
    if (command != first && command != first + 1)
        return refused(name, arguments, Result::InvalidCommand);
    if (speed == 0)
        return domeCommand(name, arguments, address, command, {recording});
    return domeCommand(name, arguments, address, DomeMove, {command, speed, recording});
}

std::int32_t Emulator::lensCommand(const char *name, std::uint8_t command, std::uint8_t address, std::uint8_t first)
{
    const std::vector<long long> arguments{command, address};
    if (command < first || command > first + 2)
        return refused(name, arguments, Result::InvalidCommand);
    return domeCommand(name, arguments, address, command, {});
}

std::int32_t Emulator::DevPan(std::uint8_t command, std::uint8_t speed, std::uint8_t address, std::uint8_t recording)
{
    return headCommand("DevPan", command, speed, address, recording, 0x81, 0x83);
}

std::int32_t Emulator::DevTilt(std::uint8_t command, std::uint8_t speed, std::uint8_t address, std::uint8_t recording)
{
    return headCommand("DevTilt", command, speed, address, recording, 0x84, 0x86);
}

std::int32_t Emulator::DevZoom(std::uint8_t command, std::uint8_t address)
{
    return lensCommand("DevZoom", command, address, 0x8A);
}

std::int32_t Emulator::DevFocus(std::uint8_t command, std::uint8_t address)
{
    return lensCommand("DevFocus", command, address, 0x87);
}

std::int32_t Emulator::DevIris(std::uint8_t command, std::uint8_t address)
{
    return lensCommand("DevIris", command, address, 0x90);
}

std::int32_t Emulator::DevTarget(std::uint8_t command, std::uint8_t index, std::uint8_t address)
{
    const std::vector<long long> arguments{command, index, address};
    if (command != 0xA8 && command != 0xA9)
        return refused("DevTarget", arguments, Result::InvalidCommand);
    return domeCommand("DevTarget", arguments, address, command, {index});
}

std::int32_t Emulator::DevPattern(std::uint8_t function, std::uint8_t number, std::uint8_t address, std::uint8_t repeat)
{
    const std::vector<long long> arguments{function, number, address, repeat};
    switch (function) {
    case 0: return domeCommand("DevPattern", arguments, address, 0xA0, {number});
    case 1: return domeCommand("DevPattern", arguments, address, 0xA1, {});
    case 2: return domeCommand("DevPattern", arguments, address, 0xA7, {});
    case 3: return domeCommand("DevPattern", arguments, address, 0xA2, {});
    case 4: return domeCommand("DevPattern", arguments, address, 0xA3, {repeat, number});
    case 5: return domeCommand("DevPattern", arguments, address, 0xC9, {number});
    default: return refused("DevPattern", arguments, Result::InvalidCommand);
    }
}

// The functions a dome knows answer 0 once acknowledged; the zoom query also copies the
// dome's answer into data; any other function answers 2.
std::int32_t Emulator::MiscDevCtrl(std::uint8_t command, std::uint8_t *data, std::uint8_t address)
{
    const long long first = data ? data[0] : -1;
    std::vector<long long> arguments{command, first, address};
    const auto byte = [&](std::size_t i) -> std::uint8_t { return data ? data[i] : 0; };
    switch (command) {
    case 0: return domeCommand("MiscDevCtrl", arguments, address, 0x80, {});
    case 1: return domeCommand("MiscDevCtrl", arguments, address, 0x9A, {});
    case 2: return domeCommand("MiscDevCtrl", arguments, address, 0x8D, {});
    case 3: return domeCommand("MiscDevCtrl", arguments, address, 0x8E, {});
    case 4: return domeCommand("MiscDevCtrl", arguments, address, 0x8F, {});
    case 8:
    case 9:
    case 10: return domeCommand("MiscDevCtrl", arguments, address, DomeSpecial, {command});
    case 11:
        arguments.push_back(data ? data[1] : -1);
        return domeCommand("MiscDevCtrl", arguments, address, DomeQuickSet, {byte(0), byte(1)});
    case 0xAA: return domeCommand("MiscDevCtrl", arguments, address, 0xAA, {byte(0)});
    case BusDevice::MaxOpticalZoom: return zoomQuery(arguments, data, address);
    default: return refused("MiscDevCtrl", arguments, UnknownFunction);
    }
}

std::int32_t Emulator::zoomQuery(std::vector<long long> arguments, std::uint8_t *data, std::uint8_t address)
{
    if (const auto fault = callFault("MiscDevCtrl"))
        return traced("MiscDevCtrl", std::move(arguments), *fault);
    const auto reply = queryDome(address, Bus::SocketQuery, BusDevice::MaxOpticalZoom, {}, DomeAcknowledgeWaitMs);
    if (!reply)
        return traced("MiscDevCtrl", std::move(arguments), m_plugged ? Result::NoResponse : Result::UsbError);
    if (data)
        std::memcpy(data, reply->data(), std::min(reply->size(), ZoomQueryBufferBytes));
    return traced("MiscDevCtrl", std::move(arguments), Result::Success);
}

// A query the module puts to a dome and waits for: the answer, or nothing in time.
std::optional<Bytes> Emulator::queryDome(std::uint8_t address, std::uint8_t socket, std::uint8_t command,
                                         const Bytes &parameters, std::int32_t waitMs)
{
    transmit(makeMessage(address, Bus::ModuleAddress, 0x00, socket, command, parameters));
    return awaitReply(
        [address, command](const Bytes &m) {
            return m.size() > Bus::Command && m[Bus::Source] == address && m[Bus::Command] == command;
        },
        waitMs);
}

std::int32_t Emulator::GetABSPosition(std::uint8_t *buffer, std::uint8_t address)
{
    const std::vector<long long> arguments{ptr(buffer), address};
    if (const auto fault = callFault("GetABSPosition"))
        return traced("GetABSPosition", arguments, *fault);
    const auto reply = queryDome(address, Bus::SocketQuery, BusDevice::GetAbsolutePosition, {}, DomeAcknowledgeWaitMs);
    if (!reply)
        return traced("GetABSPosition", arguments, m_plugged ? Result::NoResponse : Result::UsbError);
    if (buffer)
        std::memcpy(buffer, reply->data(), std::min(reply->size(), PositionBufferBytes));
    return traced("GetABSPosition", arguments, Result::Success);
}

std::int32_t Emulator::GotoABSPosition(std::uint8_t *position, std::uint8_t address)
{
    constexpr std::size_t PositionHandedBytes = 20;
    m_positionHanded = position ? Bytes(position, position + PositionHandedBytes) : Bytes{};
    const Bytes parameters = position ? Bytes(position, position + PositionBytes) : Bytes(PositionBytes, 0);
    return domeCommand("GotoABSPosition", {ptr(position), address}, address, BusDevice::GotoAbsolutePosition,
                       parameters);
}

// The module asks the device for its identity and reports type, revision and that it is online.
std::int32_t Emulator::GetDeviceStatus(std::uint8_t *buffer, std::uint8_t address)
{
    const std::vector<long long> arguments{ptr(buffer), address};
    if (const auto fault = callFault("GetDeviceStatus"))
        return traced("GetDeviceStatus", arguments, *fault);
    constexpr std::uint8_t IdentityBytes = 4;
    const auto reply = queryDome(address, Bus::SocketQuery, Bus::GetConfigurationBuffer,
                                 {BusDevice::IdentityBlock, IdentityBytes}, DomeAcknowledgeWaitMs);
    if (!reply || reply->size() < Bus::FirstParameter + 1 + IdentityBytes)
        return traced("GetDeviceStatus", arguments, m_plugged ? Result::NoResponse : Result::UsbError);
    if (buffer) {
        std::copy_n(reply->begin() + Bus::FirstParameter + 1, IdentityBytes, buffer);
        buffer[IdentityBytes] = 1;
    }
    return traced("GetDeviceStatus", arguments, Result::Success);
}

// The probe crosses the bus; bytes count to 2 count - 1 of the buffer receive the echo.
std::int32_t Emulator::DevPing(std::uint8_t *buffer, std::uint8_t count, std::uint8_t address, std::int32_t waitMs)
{
    const std::vector<long long> arguments{ptr(buffer), count, address, waitMs};
    if (const auto fault = callFault("DevPing"))
        return traced("DevPing", arguments, *fault);
    if (!buffer || count == 0 || count > MaxPingBytes)
        return traced("DevPing", arguments, Result::InvalidCommand);
    const auto echo = queryDome(address, Bus::SocketQuery, Bus::Ping, Bytes(buffer, buffer + count), waitMs);
    if (!echo)
        return traced("DevPing", arguments, m_plugged ? Result::NoResponse : Result::UsbError);
    const std::size_t echoed = std::min<std::size_t>(count, echo->size() - Bus::FirstParameter);
    std::copy_n(echo->begin() + Bus::FirstParameter, echoed, buffer + count);
    return traced("DevPing", arguments, Result::Success);
}

} // namespace emu
