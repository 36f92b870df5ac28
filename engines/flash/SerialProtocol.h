#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The board's serial boot protocol: the raw boot image its ROM loader takes, the framed
// blocks its flash loader takes, the commands, and what its single-byte replies mean.
namespace SerialProtocol {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t BootImageSize = 601; // offsets 0-600
constexpr std::size_t BootImageSent = 581; // offsets 0-580 go to the board
constexpr std::size_t BlockLimit = 1024;   // data bytes a frame gathers at most
constexpr long FlashBytes = 0xF0000;       // the board's flash, SA0-SA21: addresses 0-0xEFFFF

// The boot image from the boot loader file's S1 and S2 records; nothing (and why) when a
// record does not lie within the image.
std::optional<Bytes> bootImage(const QStringList &lines, QString *why = nullptr);

// "f", the block's address (4 bytes), its data count (2), the data, and the 16-bit
// negated sum of the data.
Bytes blockFrame(long address, const Bytes &data);

// "i", the first and the last address of the range (4 bytes each).
Bytes checksumRequest(long firstAddress, long lastAddress);

inline const Bytes StartBootImage{'d'};
inline const Bytes NextBlock{'g'};
inline const Bytes SwitchSpeed{'h'};
inline const Bytes StartApplication{'d', 0x02};
inline const Bytes EraseAll{'d', 0x04};

// The 22 flash sectors SA0-SA21: sector n is bit n mod 8 of byte n div 8.
class SectorMask {
public:
    static constexpr int Sectors = 22;
    void set(int sector, bool chosen);
    void clear() { m_bytes.fill(0); }
    std::uint8_t byte(int index) const { return m_bytes[static_cast<std::size_t>(index)]; }

private:
    std::array<std::uint8_t, 4> m_bytes{};
};

// "d", 0x01 and the mask's bytes 2, 1, 0: the highest sectors first.
Bytes eraseSectors(const SectorMask &mask);

enum class Reply { Done, EraseError, ProgrammingError, ChecksumReport, DisplayFlash, Other };
Reply classify(std::uint8_t first);
constexpr std::size_t ChecksumReportSize = 5;
// The sum an "i" report carries, once all its five bytes are there.
std::optional<std::uint32_t> reportedChecksum(const Bytes &received);

} // namespace SerialProtocol
