#pragma once

#include <QString>

#include <cstdint>

// Reads the module's connection word and revision into the one-line status texts.
namespace ModuleStatus {

enum class Form {
    Long,        // "Orvo USB Module Rev 1.02- Online(App)"
    TitledShort, // "Orvo USB Module Rev 1.02 APP"
    BareShort,   // "1.02 APP"
};

enum class SuffixStyle {
    Brackets, // "(App)", "(PreBoot 3}"
    Words,    // " APP", " PREBOOT  3"
};

// Connected when the low byte of the word is 0x00, 0x80 or 0x81; otherwise the whole
// word is the driver's error code.
bool isConnected(std::int32_t word);

// BCD revision bytes as "major.minor": 0x01/0x02 -> "1.02", 0x02/0x10 -> "2.10".
QString revisionText(std::uint8_t major, std::uint8_t minor);

QString modeSuffix(std::int32_t word, SuffixStyle style);

// Descriptor byte 13 is the revision major, byte 12 the minor.
QString statusText(std::int32_t word, std::uint8_t major, std::uint8_t minor, Form form);

constexpr int DescriptorSize = 31;
constexpr int DescriptorRevisionMinor = 12;
constexpr int DescriptorRevisionMajor = 13;

} // namespace ModuleStatus
