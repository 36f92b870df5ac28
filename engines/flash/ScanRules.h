#pragma once

#include <QString>

#include <cstdint>
#include <span>

// The rules of the network scan: how long to wait per address, which configuration
// replies count, and how a device-list row reads.
namespace ScanRules {

constexpr int MaxScanAddress = 96;
constexpr int RowWidth = 23;
constexpr std::uint8_t ConfigReplyCode = 0xC4;
constexpr std::uint8_t ConfigLength = 10;
constexpr std::uint8_t IdentityBlock = 8;

// Reply layout in the receive buffer (sent form).
constexpr int ReplyAddress = 1;
constexpr int ReplyCode = 5;
constexpr int ReplyLength = 6;
constexpr int ReplyData = 7;

// Per-address wait: 250 ms up to 16 addresses, 500 up to 32, 750 up to 64, 1000 above.
int perAddressTimeoutMs(int maxAddress);

// A box's value: its leading number (a decimal point allowed), rounded to a whole
// number; 0 when the text starts with none.
int boxValue(const QString &text);

// A reply counts when the call succeeded and the reply names the asked address, the
// configuration reply code and the expected count of data bytes.
bool isValidReply(int result, std::span<const std::uint8_t> buffer, int expectedLength, int address);

// What the scan learned of one address.
struct ScannedDevice {
    int address = 0;
    bool answered = false;
    QString name;     // the device's six name bytes, a 0 byte read as a blank, trailing blanks dropped
    QString type;     // four hexadecimal digits; four blanks for a silent address
    QString revision; // likewise
};

// The device at address, from its valid reply, or silent without one.
ScannedDevice device(int address, std::span<const std::uint8_t> validReply = {});

// The device-list row of exactly 23 columns: the address right-aligned in columns 1-3,
// then, for a device that answered, the name (columns 5-10), type (11-14) and revision (17-20).
QString row(const ScannedDevice &device);

} // namespace ScanRules
