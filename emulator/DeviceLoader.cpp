#include "emulator/DeviceLoader.h"

namespace emu {
namespace {
constexpr std::uint8_t ReliableConnection = 0x63;
constexpr std::uint8_t ProgramRequest = 0x64;
constexpr std::uint8_t SetAddress = 0x65;
constexpr std::uint8_t Data = 0x66;
constexpr std::uint8_t Commit = 0x67;
constexpr std::uint8_t FileChecksum = 0x68;
constexpr std::uint8_t ExitLoader = 0x69;
constexpr std::uint8_t Prepare = 0x6A;

std::uint8_t after(std::uint8_t sequence)
{
    return sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
}
} // namespace

std::optional<std::uint8_t> DeviceLoader::answer(std::uint8_t step, std::uint8_t status)
{
    const auto fault = m_faults.find(step);
    if (fault == m_faults.end())
        return status;
    const LoaderFault f = fault->second;
    m_faults.erase(fault); // each fault strikes once
    switch (f.kind) {
    case LoaderFault::Kind::Silent: return std::nullopt;
    case LoaderFault::Kind::Late: m_heldBack = status; return std::nullopt;
    case LoaderFault::Kind::Nak:
    case LoaderFault::Kind::Corrupt: return f.status ? f.status : StatusChecksum;
    }
    return status;
}

bool DeviceLoader::sequenceFollows(std::uint8_t sequence)
{
    // Gap-filling data messages repeat the number of the message they belong to.
    const bool follows = sequence == after(m_lastSequence) || sequence == m_lastSequence;
    m_lastSequence = sequence;
    return follows;
}

std::optional<std::uint8_t> DeviceLoader::statusRequested()
{
    std::optional<std::uint8_t> held = m_heldBack;
    m_heldBack.reset();
    return held;
}

void DeviceLoader::abort()
{
    m_connected = false;
    m_programming = false;
    m_block.clear();
    m_heldBack.reset();
}

std::optional<std::uint8_t> DeviceLoader::receive(const Bytes &message, std::uint8_t sequence)
{
    if (message.size() < Bus::HeaderSize)
        return std::nullopt;
    const std::uint8_t command = message[Bus::Command];
    const auto parameter = [&](std::size_t i) -> std::uint8_t {
        return Bus::FirstParameter + i < message.size() ? message[Bus::FirstParameter + i] : 0;
    };

    if (command == ReliableConnection) {
        abort();
        m_connected = true;
        m_filesThisConnection = 0;
        return answer(command, StatusOk);
    }
    if (!m_connected)
        return std::nullopt; // a device outside its loader ignores download messages
    if (command == ExitLoader) {
        abort();
        return answer(command, StatusOk);
    }
    if (command == ProgramRequest) {
        m_imageType = parameter(0);
        m_lastSequence = sequence;
        m_programming = true;
        m_fileSum = 0;
        m_block.clear();
        m_fileStart.reset();
        return answer(command, sequence == 1 ? StatusOk : StatusSequence);
    }
    if (!m_programming)
        return answer(command, StatusSequence);
    if (!sequenceFollows(sequence))
        return command == Data ? std::nullopt : answer(command, StatusSequence);

    return receiveProgramming(message);
}

// A message of the programming steps, in sequence: the block's address, its data, its
// commit, the file's checksum.
std::optional<std::uint8_t> DeviceLoader::receiveProgramming(const Bytes &message)
{
    const std::uint8_t command = message[Bus::Command];
    const auto parameter = [&](std::size_t i) -> std::uint8_t {
        return Bus::FirstParameter + i < message.size() ? message[Bus::FirstParameter + i] : 0;
    };
    switch (command) {
    case Prepare: return answer(command, StatusOk);
    case SetAddress: {
        m_blockAddress = (std::uint32_t{parameter(0)} << 16) | (std::uint32_t{parameter(1)} << 8) | parameter(2);
        m_block.clear();
        if (!m_fileStart)
            m_fileStart = m_blockAddress;
        return answer(command, m_blockAddress > FlashEnd ? StatusAddress : StatusOk);
    }
    case Data:
        for (std::size_t i = Bus::FirstParameter; i < message.size(); ++i) {
            m_block.push_back(message[i]);
            m_fileSum = static_cast<std::uint16_t>(m_fileSum + message[i]);
        }
        return std::nullopt; // data messages are not answered
    case Commit: {
        if (m_block.size() > MaxBlock)
            return answer(command, StatusOverflow);
        if (m_blockAddress + m_block.size() > FlashEnd + 1)
            return answer(command, StatusAddress);
        m_flash.write(m_blockAddress, m_block);
        m_blockAddress += static_cast<std::uint32_t>(m_block.size());
        m_block.clear();
        return answer(command, StatusOk);
    }
    case FileChecksum: return fileChecksum(static_cast<std::uint16_t>((parameter(0) << 8) | parameter(1)));
    default: return std::nullopt;
    }
}

std::optional<std::uint8_t> DeviceLoader::fileChecksum(std::uint16_t sent)
{
    const bool matches = static_cast<std::uint16_t>(m_fileSum + sent) == 0;
    m_programming = false;
    if (matches) {
        ++m_filesAccepted;
        // The first file of a load is the application image, which names its revision.
        if (m_filesThisConnection++ == 0 && m_fileStart)
            if (const auto revision = m_flash.revisionAt(*m_fileStart))
                m_flashedRevision = revision;
    }
    return answer(FileChecksum, matches ? StatusOk : StatusChecksum);
}

} // namespace emu
