#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace emu {

// The flash of an emulated device or module: what was written where. Unwritten bytes read 0xFF.
class FlashMemory {
public:
    void write(std::uint32_t address, const std::vector<std::uint8_t> &bytes)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            m_bytes[address + static_cast<std::uint32_t>(i)] = bytes[i];
    }
    std::uint8_t read(std::uint32_t address) const
    {
        const auto found = m_bytes.find(address);
        return found == m_bytes.end() ? 0xFF : found->second;
    }
    // Sum of every byte from first to last inclusive, modulo 2^32; unwritten bytes count
    // 0xFF. It takes the written bytes only, so any range is quick.
    std::uint32_t sum(std::uint32_t first, std::uint32_t last) const
    {
        if (last < first)
            return 0;
        std::uint32_t total = static_cast<std::uint32_t>((std::uint64_t{last} - first + 1) * 0xFFu);
        for (auto it = m_bytes.lower_bound(first); it != m_bytes.end() && it->first <= last; ++it)
            total += static_cast<std::uint32_t>(it->second) - 0xFFu;
        return total;
    }
    const std::map<std::uint32_t, std::uint8_t> &written() const { return m_bytes; }
    void clear() { m_bytes.clear(); }

    // Firmware carries its revision at the start of its application image: "R", "V" and
    // the revision as two BCD bytes (01 11 for 0111, or 1.11).
    std::optional<std::uint16_t> revisionAt(std::uint32_t start) const
    {
        if (read(start) != 'R' || read(start + 1) != 'V')
            return std::nullopt;
        return static_cast<std::uint16_t>((read(start + 2) << 8) | read(start + 3));
    }

private:
    std::map<std::uint32_t, std::uint8_t> m_bytes;
};

} // namespace emu
