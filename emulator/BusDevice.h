#pragma once

#include "emulator/BusMessage.h"
#include "emulator/DeviceLoader.h"
#include "emulator/DomeModel.h"
#include "emulator/Scenario.h"

#include <map>
#include <memory>

namespace emu {

// One emulated device: its identity, its configuration blocks, and how it answers
// the messages addressed to it.
class BusDevice {
public:
    // Configuration block that holds type, revision and name.
    static constexpr std::uint8_t IdentityBlock = 8;
    // Flash revision block.
    static constexpr std::uint8_t FlashRevisionBlock = 6;
    // Queries and commands a dome answers.
    static constexpr std::uint8_t GetDomeType = 0x94;
    static constexpr std::uint8_t MaxOpticalZoom = 0xF2;
    static constexpr std::uint8_t SetAlarmSocket = 0xCA;
    static constexpr std::uint8_t DomeAlarm = 0xC1;
    static constexpr std::uint8_t GetAbsolutePosition = 0xA5;
    static constexpr std::uint8_t GotoAbsolutePosition = 0xA6;
    static constexpr std::uint8_t Engineering = 0xFA;

    // A message the device puts on the bus, after its delay.
    struct Answer {
        Bytes message;
        int delayMs = 0;
    };

    explicit BusDevice(DeviceSetup setup);
    virtual ~BusDevice() = default;

    const DeviceSetup &setup() const { return m_setup; }
    DeviceLoader &loader() { return m_loader; }
    const DeviceLoader &loader() const { return m_loader; }
    std::uint8_t address() const { return m_setup.address; }

    // Reacts to a message addressed to this device at time nowMs; returns its replies in
    // sent form.
    virtual std::vector<Answer> receive(const Bytes &message, std::int64_t nowMs);

    // The dome's alarm report (0xC1), sent when told 0xCA and on every change after.
    Bytes alarmReport() const;

    // The camera of a dome; nullptr for a device that is no dome.
    DomeModel *dome() { return m_dome.get(); }

    // A configuration block, padded with zeros (or cut) to the length asked for.
    Bytes configBlock(std::uint8_t block, std::size_t length) const;
    void setConfigBlock(std::uint8_t block, Bytes data) { m_config[block] = std::move(data); }

protected:
    Bytes reply(std::uint8_t socket, std::uint8_t command, const Bytes &parameters) const;

private:
    std::vector<Bytes> answerConfigRequest(const Bytes &message);
    std::vector<Answer> answerDome(const Bytes &message, std::int64_t nowMs);
    std::vector<Answer> answerPing(const Bytes &message);
    int m_pings = 0;

    DeviceSetup m_setup;
    DeviceLoader m_loader;
    int m_configRequests = 0;
    std::map<std::uint8_t, Bytes> m_config;
    std::unique_ptr<DomeModel> m_dome;
};

} // namespace emu
