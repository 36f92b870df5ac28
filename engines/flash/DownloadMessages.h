#pragma once

#include <cstdint>
#include <vector>

// The messages of the download protocols, byte for byte. Device messages travel in the
// bus's sent form (address, F0, flags, socket 3, 01, code, ...); module messages go to the
// module itself. Multi-byte values are most significant byte first.
namespace DownloadMessages {

using Bytes = std::vector<std::uint8_t>;

// Device loader commands; each is also the code of the reply it waits for.
constexpr std::uint8_t ReliableConnection = 0x63;
constexpr std::uint8_t ProgramRequest = 0x64;
constexpr std::uint8_t SetAddress = 0x65;
constexpr std::uint8_t Data = 0x66;
constexpr std::uint8_t Commit = 0x67;
constexpr std::uint8_t FileChecksum = 0x68;
constexpr std::uint8_t ExitLoader = 0x69;
constexpr std::uint8_t Prepare = 0x6A;
constexpr std::uint8_t DeviceReply = 0x70;
// The reply the next file of the same device waits for.
constexpr std::uint8_t NextFile = 2;

// Module loader codes.
constexpr std::uint8_t ModuleReplyMarker = 0x17;
constexpr std::uint8_t ModuleEnterLoader = 0x13;
constexpr std::uint8_t ModuleDataBlock = 0x14;
constexpr std::uint8_t ModuleChecksumRequest = 0x15;
constexpr std::uint8_t ModuleExitLoader = 0x16;

// Bytes sent to the module with SndModData.
constexpr std::uint8_t StatusRequest = 0x1A;
constexpr std::uint8_t AbortLoad = 0x1B;

constexpr std::size_t DataHeaderSize = 6;
constexpr std::size_t MaxDataBytes = 48;
constexpr int MessagesPerBlock = 64;
// Device block addresses of the listed device types are offset by this.
constexpr long KnownTypeOffset = 0x40000;

// Image type carried by the connection and program requests: 1 application, 2 boot, 3 FPGA.
enum class ImageType : std::uint8_t { Application = 1, Boot = 2, Fpga = 3 };

// 1 to 255, then 1 again: 0 never follows 255.
std::uint8_t nextSequence(std::uint8_t sequence);

Bytes reliableConnection(std::uint8_t address, ImageType type);
Bytes programRequest(std::uint8_t address, ImageType type);
Bytes prepare(std::uint8_t address);
Bytes setAddress(std::uint8_t address, long blockAddress, bool knownType);
Bytes dataHeader(std::uint8_t address);
Bytes commit(std::uint8_t address);
// The two's complement of the file's data sum, 16 bits wide.
Bytes fileChecksum(std::uint8_t address, long dataSum);
Bytes exitLoader(std::uint8_t address);

Bytes moduleEnterLoader(bool application);
// 14 seq A3 A2 A1 A0 Lhi Llo data Shi Slo, S being the 16-bit sum of the data.
Bytes moduleBlock(std::uint8_t sequence, long address, const Bytes &data);
Bytes moduleChecksumRequest(long firstAddress, long lastAddress);
Bytes moduleExit(bool checksumMatched);

} // namespace DownloadMessages
