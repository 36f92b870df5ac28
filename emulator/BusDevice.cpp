#include "emulator/BusDevice.h"

#include <algorithm>
#include <iterator>

namespace emu {

BusDevice::BusDevice(DeviceSetup setup) : m_setup(std::move(setup)), m_loader(m_setup.loadFaults)
{
    Bytes identity{static_cast<std::uint8_t>(m_setup.type >> 8), static_cast<std::uint8_t>(m_setup.type & 0xFF),
                   static_cast<std::uint8_t>(m_setup.revision >> 8),
                   static_cast<std::uint8_t>(m_setup.revision & 0xFF)};
    for (std::size_t i = 0; i < 6; ++i)
        identity.push_back(i < m_setup.name.size() ? static_cast<std::uint8_t>(m_setup.name[i]) : 0);
    m_config[IdentityBlock] = identity;
    m_config[FlashRevisionBlock] = m_setup.flashRevision.empty()
                                       ? Bytes{identity[0], identity[1], identity[2], identity[3], 0x00, 0x01}
                                       : Bytes(m_setup.flashRevision.begin(), m_setup.flashRevision.end());
    if (m_setup.opticalZoom() > 0) {
        m_dome = std::make_unique<DomeModel>(m_setup.opticalZoom());
        m_dome->setAlarmInputs(m_setup.alarmInputs);
        const std::string &fault = m_setup.engineeringReplyFault;
        m_dome->setReplyFault(fault == "short"         ? DomeModel::ReplyFault::Short
                              : fault == "long-target" ? DomeModel::ReplyFault::LongTarget
                              : fault == "big-zoom"    ? DomeModel::ReplyFault::BigZoom
                                                       : DomeModel::ReplyFault::None);
    }
}

std::vector<BusDevice::Answer> BusDevice::receive(const Bytes &message, std::int64_t nowMs)
{
    if (m_setup.silent || message.size() < Bus::HeaderSize)
        return {};
    const auto delayed = [this](std::vector<Bytes> messages) {
        std::vector<Answer> answers;
        for (Bytes &m : messages)
            answers.push_back({std::move(m), m_setup.replyDelayMs});
        return answers;
    };
    switch (message[Bus::Command]) {
    case Bus::GetConfigurationBuffer: return delayed(answerConfigRequest(message));
    case Bus::SetConfigurationBuffer:
        if (message.size() >= Bus::FirstParameter + 2) {
            const std::uint8_t block = message[Bus::FirstParameter];
            const auto data = message.begin() + static_cast<std::ptrdiff_t>(Bus::FirstParameter + 2);
            setConfigBlock(block, Bytes(data, message.end()));
        }
        return {};
    case Bus::Ping: return answerPing(message);
    default: return m_dome ? answerDome(message, nowMs) : std::vector<Answer>{};
    }
}

std::vector<BusDevice::Answer> BusDevice::answerPing(const Bytes &message)
{
    ++m_pings;
    if (m_setup.pingLossEvery > 0 && m_pings % m_setup.pingLossEvery == 0)
        return {};
    const Bytes probe(message.begin() + static_cast<std::ptrdiff_t>(Bus::FirstParameter), message.end());
    return {{reply(Bus::SocketQuery, Bus::Ping, probe), m_setup.replyDelayMs + m_setup.pingDelayMs}};
}

Bytes BusDevice::alarmReport() const
{
    return reply(Bus::SocketEngineering, DomeAlarm, {m_dome ? m_dome->alarmInputs() : std::uint8_t{0x0F}});
}

std::vector<BusDevice::Answer> BusDevice::answerDome(const Bytes &message, std::int64_t nowMs)
{
    const auto answer = [this](std::uint8_t socket, std::uint8_t command, const Bytes &parameters) {
        return std::vector<Answer>{{reply(socket, command, parameters), m_setup.replyDelayMs}};
    };
    const Bytes parameters(message.begin() + static_cast<std::ptrdiff_t>(Bus::FirstParameter), message.end());
    switch (message[Bus::Command]) {
    case GetDomeType:
        return answer(Bus::SocketQuery, GetDomeType,
                      {static_cast<std::uint8_t>(m_setup.type >> 8), static_cast<std::uint8_t>(m_setup.type & 0xFF)});
    case MaxOpticalZoom:
        return answer(Bus::SocketQuery, MaxOpticalZoom, {static_cast<std::uint8_t>(m_dome->maxZoom())});
    case SetAlarmSocket: m_dome->setAlarmSocket(); return {{alarmReport(), m_setup.replyDelayMs}};
    case GetAbsolutePosition: return answer(Bus::SocketQuery, GetAbsolutePosition, m_dome->absolutePosition(nowMs));
    case GotoAbsolutePosition: m_dome->gotoAbsolutePosition(parameters, nowMs); return {};
    case Engineering: {
        const auto values = m_dome->engineering(message, nowMs);
        if (!values)
            return {};
        return answer(Bus::SocketEngineering, Engineering, Bytes(values->begin() + 1, values->end()));
    }
    default:
        if (message[Bus::Socket] == Bus::SocketEngineering)
            m_dome->receive(message, nowMs);
        return {};
    }
}

Bytes BusDevice::configBlock(std::uint8_t block, std::size_t length) const
{
    Bytes data(length, 0);
    const auto found = m_config.find(block);
    if (found != m_config.end())
        std::copy_n(found->second.begin(), std::min(length, found->second.size()), data.begin());
    // A device reports the revision of the firmware it now holds.
    const auto flashed = m_loader.flashedRevision();
    if (block == IdentityBlock && flashed) {
        if (length > 2)
            data[2] = static_cast<std::uint8_t>(*flashed >> 8);
        if (length > 3)
            data[3] = static_cast<std::uint8_t>(*flashed & 0xFF);
    }
    return data;
}

Bytes BusDevice::reply(std::uint8_t socket, std::uint8_t command, const Bytes &parameters) const
{
    return makeMessage(Bus::ModuleAddress, m_setup.address, 0x00, socket, command, parameters);
}

// Request: block, length. Reply: length, then that many bytes of the block.
std::vector<Bytes> BusDevice::answerConfigRequest(const Bytes &message)
{
    if (message.size() < Bus::FirstParameter + 2)
        return {};
    ++m_configRequests;
    const ConfigFault fault = m_setup.configFault;
    if (fault == ConfigFault::RetryOnly && m_configRequests % 2 == 1)
        return {};

    const std::uint8_t block = message[Bus::FirstParameter];
    std::size_t length = std::min<std::size_t>(message[Bus::FirstParameter + 1], Bus::MaxMessage - 7);
    if (fault == ConfigFault::WrongLength && length > 0)
        --length;
    if (fault == ConfigFault::Long)
        length = 40;
    Bytes parameters;
    parameters.reserve(1 + length);
    parameters.push_back(static_cast<std::uint8_t>(length));
    const Bytes data = configBlock(block, length);
    std::copy(data.begin(), data.end(), std::back_inserter(parameters));
    const std::uint8_t command =
        fault == ConfigFault::WrongCode ? Bus::SetConfigurationBuffer : Bus::GetConfigurationBuffer;
    Bytes answer = reply(Bus::SocketQuery, command, parameters);
    if (fault == ConfigFault::WrongAddress)
        answer[Bus::Source] = static_cast<std::uint8_t>(m_setup.address % 250 + 1);
    return {answer};
}

} // namespace emu
