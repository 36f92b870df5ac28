#include "emulator/ModuleLoader.h"

namespace emu {
namespace {
constexpr std::uint8_t EnterLoader = 0x13;
constexpr std::uint8_t DataBlock = 0x14;
constexpr std::uint8_t ChecksumRequest = 0x15;
constexpr std::uint8_t ExitLoader = 0x16;

std::uint32_t bigEndian32(const Bytes &m, std::size_t at)
{
    return (std::uint32_t{m[at]} << 24) | (std::uint32_t{m[at + 1]} << 16) | (std::uint32_t{m[at + 2]} << 8) |
           m[at + 3];
}
} // namespace

std::optional<Bytes> ModuleLoader::answer(std::uint8_t code, std::uint8_t status, const Bytes &extra)
{
    Bytes reply{ReplyMarker, code, status};
    reply.insert(reply.end(), extra.begin(), extra.end());
    const auto fault = m_faults.find(code);
    if (fault == m_faults.end())
        return reply;
    const LoaderFault f = fault->second;
    m_faults.erase(fault);
    switch (f.kind) {
    case LoaderFault::Kind::Silent: return std::nullopt;
    case LoaderFault::Kind::Late: m_heldBack = reply; return std::nullopt;
    case LoaderFault::Kind::Nak: reply[2] = f.status; return reply;
    case LoaderFault::Kind::Corrupt:
        if (reply.size() >= 7)
            ++reply.back();
        return reply;
    }
    return reply;
}

std::optional<Bytes> ModuleLoader::statusRequested()
{
    std::optional<Bytes> held = m_heldBack;
    m_heldBack.reset();
    return held;
}

std::optional<Bytes> ModuleLoader::receive(const Bytes &message)
{
    if (message.empty())
        return std::nullopt;
    const std::uint8_t code = message[0];
    if (code == EnterLoader) {
        m_active = true;
        m_nextSequence = 1;
        m_imageStart.reset();
        return answer(code, StatusOk);
    }
    if (!m_active)
        return answer(code, StatusRequest);

    switch (code) {
    case DataBlock: {
        if (message.size() < 10)
            return answer(code, StatusRequest);
        const std::uint8_t sequence = message[1];
        const std::uint32_t address = bigEndian32(message, 2);
        const std::size_t length = (std::size_t{message[6]} << 8) | message[7];
        if (message.size() != length + 10)
            return answer(code, StatusRequest);
        if (sequence != m_nextSequence)
            return answer(code, StatusSequence);
        const Bytes data(message.begin() + 8, message.begin() + 8 + static_cast<std::ptrdiff_t>(length));
        std::uint16_t sum = 0;
        for (const std::uint8_t b : data)
            sum = static_cast<std::uint16_t>(sum + b);
        const std::uint16_t sent = static_cast<std::uint16_t>((message[8 + length] << 8) | message[9 + length]);
        if (sum != sent)
            return answer(code, StatusChecksum);
        if (address + length > FlashEnd + 1)
            return answer(code, StatusAddress);
        m_flash.write(address, data);
        if (!m_imageStart)
            m_imageStart = address;
        m_nextSequence = sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
        return answer(code, StatusOk);
    }
    case ChecksumRequest: {
        if (message.size() < 9)
            return answer(code, StatusRequest);
        const std::uint32_t first = bigEndian32(message, 1);
        const std::uint32_t last = bigEndian32(message, 5);
        if (last < first || last > FlashEnd)
            return answer(code, StatusAddress);
        const std::uint32_t sum = m_flash.sum(first, last);
        return answer(code, StatusOk,
                      {static_cast<std::uint8_t>(sum >> 24), static_cast<std::uint8_t>(sum >> 16),
                       static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum)});
    }
    case ExitLoader:
        // The PC says whether the checksums it compared matched: a module told they did not
        // does not take the image as its firmware.
        m_active = false;
        m_restart = true;
        m_imageAccepted = message.size() < 2 || message[1] == 0x00;
        return answer(code, StatusOk);
    default: return answer(code, StatusRequest);
    }
}

} // namespace emu
