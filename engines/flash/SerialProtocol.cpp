#include "engines/flash/SerialProtocol.h"

#include "engines/flash/SRecord.h"

namespace SerialProtocol {
namespace {
void putBigEndian(Bytes &out, long value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}
} // namespace

std::optional<Bytes> bootImage(const QStringList &lines, QString *why)
{
    Bytes image(BootImageSize, 0);
    for (const QString &line : lines) {
        const auto record = SRecord::parse(line);
        if (!record || !record->isData())
            continue;
        if (record->address < 0 || record->address + record->count() > static_cast<long>(BootImageSize)) {
            if (why)
                *why = QStringLiteral("Boot image record outside 0-600 at ") +
                       QString::number(record->address, 16).toUpper();
            return std::nullopt;
        }
        std::copy(record->data.begin(), record->data.end(), image.begin() + record->address);
    }
    return image;
}

Bytes blockFrame(long address, const Bytes &data)
{
    Bytes frame{'f'};
    putBigEndian(frame, address, 4);
    putBigEndian(frame, static_cast<long>(data.size()), 2);
    long sum = 0;
    for (const std::uint8_t b : data) {
        frame.push_back(b);
        sum += b;
    }
    putBigEndian(frame, (-sum) & 0xFFFF, 2);
    return frame;
}

Bytes checksumRequest(long firstAddress, long lastAddress)
{
    Bytes request{'i'};
    putBigEndian(request, firstAddress, 4);
    putBigEndian(request, lastAddress, 4);
    return request;
}

void SectorMask::set(int sector, bool chosen)
{
    if (sector < 0 || sector >= Sectors)
        return;
    const auto bit = static_cast<std::uint8_t>(1u << (sector % 8));
    std::uint8_t &byte = m_bytes[static_cast<std::size_t>(sector / 8)];
    byte = static_cast<std::uint8_t>(chosen ? byte | bit : byte & ~bit);
}

Bytes eraseSectors(const SectorMask &mask)
{
    return {'d', 0x01, mask.byte(2), mask.byte(1), mask.byte(0)};
}

Reply classify(std::uint8_t first)
{
    if (first == '0')
        return Reply::Done;
    if (first >= '1' && first <= '3')
        return Reply::EraseError;
    if (first >= '4' && first <= '9')
        return Reply::ProgrammingError;
    if (first == 'i')
        return Reply::ChecksumReport;
    return first == 'j' ? Reply::DisplayFlash : Reply::Other;
}

std::optional<std::uint32_t> reportedChecksum(const Bytes &received)
{
    if (received.size() < ChecksumReportSize || received[0] != 'i')
        return std::nullopt;
    return (std::uint32_t{received[1]} << 24) | (std::uint32_t{received[2]} << 16) | (std::uint32_t{received[3]} << 8) |
           received[4];
}

} // namespace SerialProtocol
