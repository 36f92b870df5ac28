#include "engines/flash/DownloadMessages.h"

namespace DownloadMessages {
namespace {
constexpr std::uint8_t Module = 0xF0;
constexpr std::uint8_t Socket = 0x03;
constexpr std::uint8_t Marker = 0x01;
constexpr std::uint8_t Plain = 0x40;
constexpr std::uint8_t Reliable = 0xC0;

Bytes deviceMessage(std::uint8_t address, std::uint8_t flags, std::uint8_t code, const Bytes &parameters = {})
{
    Bytes message{address, Module, flags, Socket, Marker, code};
    for (const std::uint8_t b : parameters)
        message.push_back(b);
    return message;
}

void appendBigEndian(Bytes &bytes, unsigned long value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}
} // namespace

std::uint8_t nextSequence(std::uint8_t sequence)
{
    return sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
}

Bytes reliableConnection(std::uint8_t address, ImageType type)
{
    return deviceMessage(address, Plain, ReliableConnection, {static_cast<std::uint8_t>(type)});
}

Bytes programRequest(std::uint8_t address, ImageType type)
{
    return deviceMessage(address, Reliable, ProgramRequest, {static_cast<std::uint8_t>(type)});
}

Bytes prepare(std::uint8_t address)
{
    return deviceMessage(address, Plain, Prepare, {0x0A});
}

Bytes setAddress(std::uint8_t address, long blockAddress, bool knownType)
{
    const long announced = blockAddress + (knownType ? KnownTypeOffset : 0);
    Bytes message = deviceMessage(address, Reliable, SetAddress);
    appendBigEndian(message, static_cast<unsigned long>(announced), 3);
    return message;
}

Bytes dataHeader(std::uint8_t address)
{
    return deviceMessage(address, Reliable, Data);
}

Bytes commit(std::uint8_t address)
{
    return deviceMessage(address, Reliable, Commit);
}

Bytes fileChecksum(std::uint8_t address, long dataSum)
{
    const auto negated = static_cast<unsigned long>(-dataSum);
    Bytes message = deviceMessage(address, Reliable, FileChecksum);
    appendBigEndian(message, negated & 0xFFFF, 2);
    return message;
}

Bytes exitLoader(std::uint8_t address)
{
    return deviceMessage(address, Plain, ExitLoader);
}

Bytes moduleEnterLoader(bool application)
{
    return {ModuleEnterLoader, static_cast<std::uint8_t>(application ? 0x00 : 0x01)};
}

Bytes moduleBlock(std::uint8_t sequence, long address, const Bytes &data)
{
    Bytes message{ModuleDataBlock, sequence};
    appendBigEndian(message, static_cast<unsigned long>(address), 4);
    appendBigEndian(message, data.size(), 2);
    unsigned sum = 0;
    for (const std::uint8_t b : data) {
        message.push_back(b);
        sum += b;
    }
    appendBigEndian(message, sum & 0xFFFF, 2);
    return message;
}

Bytes moduleChecksumRequest(long firstAddress, long lastAddress)
{
    Bytes message{ModuleChecksumRequest};
    appendBigEndian(message, static_cast<unsigned long>(firstAddress), 4);
    appendBigEndian(message, static_cast<unsigned long>(lastAddress), 4);
    return message;
}

Bytes moduleExit(bool checksumMatched)
{
    return {ModuleExitLoader, static_cast<std::uint8_t>(checksumMatched ? 0x00 : 0x01)};
}

} // namespace DownloadMessages
