#include "BusDevice.h"

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
    if (m_setup.opticalZoom() > 0)
        m_dome = std::make_unique<DomeModel>(m_setup.opticalZoom());
}

std::vector<Bytes> BusDevice::receive(const Bytes &message, std::int64_t nowMs)
{
    if (m_setup.silent || message.size() < Bus::HeaderSize)
        return {};
    const auto type = [this] {
        return Bytes{static_cast<std::uint8_t>(m_setup.type >> 8), static_cast<std::uint8_t>(m_setup.type & 0xFF)};
    };
    switch (message[Bus::Command]) {
    case GetDomeType:
        return m_dome ? std::vector<Bytes>{reply(Bus::SocketQuery, GetDomeType, type())} : std::vector<Bytes>{};
    case MaxOpticalZoom:
        if (!m_dome)
            return {};
        return {reply(Bus::SocketQuery, MaxOpticalZoom, {static_cast<std::uint8_t>(m_dome->maxZoom())})};
    case Bus::GetConfigurationBuffer: return answerConfigRequest(message);
    case Bus::SetConfigurationBuffer:
        if (message.size() >= Bus::FirstParameter + 2) {
            const std::uint8_t block = message[Bus::FirstParameter];
            const auto data = message.begin() + static_cast<std::ptrdiff_t>(Bus::FirstParameter + 2);
            setConfigBlock(block, Bytes(data, message.end()));
        }
        return {};
    default:
        if (m_dome && message[Bus::Socket] == Bus::SocketEngineering)
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
