#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The raw-data entries for bench work, read into what the raw messages send. An entry
// that cannot be represented exactly is refused, never cut or wrapped.
namespace RawEntry {

using Bytes = std::vector<std::uint8_t>;

constexpr qsizetype MinQwilDataLength = 12;
constexpr qsizetype MaxQwilDataLength = 202; // 101 bytes
constexpr std::size_t MaxConfigDataBytes = 51;
constexpr int MaxConfigBlock = 32;
constexpr int MaxConfigCount = 10;

// "Send Qwil Data": hex pairs from the first character; length / 2 rounded half to even,
// so 15 characters send 8 bytes, the last 0.
std::optional<Bytes> qwilData(const QString &text);

struct BusSettings {
    std::int32_t value = 0;
    std::uint8_t second = 0;
    std::uint8_t highestAddress = 0;
};
// "Configure Qwil": VVVV-SS-HH, value at least 250, second above 0, highest below 200.
std::optional<BusSettings> configureQwil(const QString &text);

struct ConfigBuffer {
    std::uint8_t block = 0;
    std::uint8_t count = 0;
    Bytes data;
};
// "Set Config Buffer": BB-CC-DDDD..., block up to 32, count up to 10, data in pairs.
std::optional<ConfigBuffer> setConfigBuffer(const QString &text);

// "Send Download Packet": the 54-byte test message to the dome.
Bytes downloadPacket(std::uint8_t domeAddress);

} // namespace RawEntry
