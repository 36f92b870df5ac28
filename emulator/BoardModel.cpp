#include "emulator/BoardModel.h"

namespace emu {
namespace {
const Bytes Done{'0'};
constexpr std::uint8_t BadBlock = '5';
constexpr std::uint8_t BeyondFlash = '7'; // a block that reaches past the last sector

std::uint32_t bigEndian(const Bytes &b, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | b[at + static_cast<std::size_t>(i)];
    return value;
}

// How many bytes a command needs; 0 while that depends on bytes still to come. Before
// the flash loader runs, "d" stands alone.
std::size_t commandLength(const Bytes &pending, bool flashLoader)
{
    switch (pending[0]) {
    case 'f': return pending.size() < 7 ? 0 : 7 + bigEndian(pending, 5, 2) + 2;
    case 'i': return 9;
    case 'd':
        if (!flashLoader)
            return 1;
        if (pending.size() < 2)
            return 0;
        return pending[1] == 0x01 ? 5 : 2;
    default: return 1;
    }
}
} // namespace

std::uint32_t BoardModel::sectorStart(int sector)
{
    return sector < 8 ? static_cast<std::uint32_t>(sector) * 0x2000u
                      : 0x10000u + static_cast<std::uint32_t>(sector - 8) * 0x10000u;
}

std::uint32_t BoardModel::sectorSize(int sector)
{
    return sector < 8 ? 0x2000u : 0x10000u;
}

void BoardModel::eraseSector(int sector)
{
    const std::uint32_t start = sectorStart(sector);
    const std::uint32_t end = start + sectorSize(sector);
    std::map<std::uint32_t, std::uint8_t> kept;
    for (const auto &[address, value] : m_flash.written()) {
        if (address < start || address >= end)
            kept[address] = value;
    }
    m_flash.clear();
    for (const auto &[address, value] : kept)
        m_flash.write(address, {value});
    ++m_erasedSectors;
}

void BoardModel::powerCycle()
{
    m_stage = Stage::Rom;
    m_bootImage.clear();
    m_pending.clear();
    m_frameWaiting.reset();
    m_loader.clear();
}

std::vector<BoardModel::Reply> BoardModel::receive(const Bytes &bytes, int baud)
{
    std::vector<Reply> replies;
    for (const std::uint8_t byte : bytes) {
        // At the wrong speed the board sees noise, not bytes.
        const int expected = m_stage == Stage::FlashLoader ? LoaderBaud : RomBaud;
        if (baud != expected)
            continue;
        if (m_stage == Stage::Rom && m_bootImage.size() < BootImageBytes) {
            m_bootImage.push_back(byte);
            continue;
        }
        for (Reply &reply : command(byte))
            replies.push_back(std::move(reply));
    }
    return replies;
}

std::vector<BoardModel::Reply> BoardModel::command(std::uint8_t byte)
{
    m_pending.push_back(byte);
    const std::size_t length = commandLength(m_pending, m_stage == Stage::FlashLoader);
    if (length == 0 || m_pending.size() < length)
        return {};
    const Bytes c = std::move(m_pending);
    m_pending.clear();
    m_commands.push_back(c);

    switch (m_stage) {
    case Stage::Rom:
        if (c[0] != 'd')
            return {};
        m_stage = Stage::BootImage;
        return {{Done}};
    case Stage::BootImage:
        if (c[0] == 'f') {
            m_frameWaiting = c;
            return {};
        }
        if (c[0] == 'g')
            return m_frameWaiting ? frameDone() : std::vector<Reply>{};
        if (c[0] == 'h')
            m_stage = Stage::FlashLoader;
        return {};
    case Stage::FlashLoader: break;
    }

    if (c[0] == 'f') {
        m_frameWaiting = c;
        return frameDone();
    }
    if (c[0] == 'i') {
        std::uint32_t sum = m_flash.sum(bigEndian(c, 1, 4), bigEndian(c, 5, 4));
        if (m_faults.wrongChecksum)
            ++sum;
        const Bytes report{'i', static_cast<std::uint8_t>(sum >> 24), static_cast<std::uint8_t>(sum >> 16),
                           static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum)};
        if (m_faults.splitReport)
            return {{Bytes(report.begin(), report.begin() + 2)}, {Bytes(report.begin() + 2, report.end()), 50}};
        return {{report}};
    }
    if (c[0] == 'd' && c[1] == 0x02)
        return {{Done}};
    if (c[0] == 'd' && (c[1] == 0x04 || c[1] == 0x01)) {
        if (m_faults.eraseError)
            return {{Bytes{static_cast<std::uint8_t>(m_faults.eraseError)}, m_faults.eraseMs}};
        for (int sector = 0; sector < Sectors; ++sector) {
            const std::uint8_t maskByte = c[1] == 0x04 ? 0xFF : c[static_cast<std::size_t>(4 - sector / 8)];
            if (maskByte & (1u << (sector % 8)))
                eraseSector(sector);
        }
        return {{Done, m_faults.eraseMs}};
    }
    return {};
}

// A block arrived whole: its sum is checked and its data stored, in the flash loader's
// memory before "h", in the flash after it.
std::vector<BoardModel::Reply> BoardModel::frameDone()
{
    const Bytes frame = *m_frameWaiting;
    m_frameWaiting.reset();
    const std::uint32_t address = bigEndian(frame, 1, 4);
    const std::size_t count = bigEndian(frame, 5, 2);
    const Bytes data(frame.begin() + 7, frame.begin() + 7 + static_cast<std::ptrdiff_t>(count));
    std::uint32_t sum = bigEndian(frame, 7 + count, 2);
    for (const std::uint8_t b : data)
        sum += b;
    if ((sum & 0xFFFF) != 0)
        return {{Bytes{BadBlock}}};
    if (m_stage != Stage::FlashLoader) {
        m_loader.write(address, data);
        return {{Done}};
    }
    if (m_faults.silentBlocks)
        return {};
    if (m_faults.programmingError) {
        const char error = m_faults.programmingError;
        m_faults.programmingError = 0;
        return {{Bytes{static_cast<std::uint8_t>(error)}}};
    }
    if (std::uint64_t{address} + count > sectorStart(Sectors - 1) + sectorSize(Sectors - 1))
        return {{Bytes{BeyondFlash}}};
    m_flash.write(address, data);
    return {{Done}};
}

} // namespace emu
