#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

using Bytes = std::vector<std::uint8_t>;

// Field positions and values of a bus message in sent form.
namespace Bus {
constexpr std::uint8_t ModuleAddress = 0xF0;
constexpr std::size_t Destination = 0;
constexpr std::size_t Source = 1;
constexpr std::size_t Flags = 2;
constexpr std::size_t Socket = 3;
constexpr std::size_t Marker = 4;
constexpr std::size_t Command = 5;
constexpr std::size_t FirstParameter = 6;
constexpr std::size_t HeaderSize = 6;

constexpr std::uint8_t SocketEngineering = 1;
constexpr std::uint8_t SocketQuery = 2;
constexpr std::uint8_t SocketDownload = 3;

constexpr std::uint8_t GetConfigurationBuffer = 0xC4;
constexpr std::uint8_t SetConfigurationBuffer = 0xC5;
constexpr std::uint8_t Ping = 0x5A;

// A record of GetData is at most this long; the check byte follows it.
constexpr std::size_t MaxRecord = 100;
constexpr std::size_t RecordHeader = 3;
constexpr std::size_t MaxMessage = MaxRecord - RecordHeader;
} // namespace Bus

// Kinds of GetData records (byte 0).
enum class RecordKind : std::uint8_t { Module = 1, BusMessage = 2 };

// The check byte that ends a message on the wire: the bytes and it sum to 0 mod 256.
std::uint8_t checkByte(const Bytes &message);

// A message in sent form: destination, source, flags, socket, 0x01, command, parameters.
Bytes makeMessage(std::uint8_t destination, std::uint8_t source, std::uint8_t flags, std::uint8_t socket,
                  std::uint8_t command, const Bytes &parameters = {});

// Upper-case hexadecimal, no separators.
std::string toHex(const Bytes &bytes);

} // namespace emu
