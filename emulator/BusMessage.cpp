#include "emulator/BusMessage.h"

namespace emu {

std::uint8_t checkByte(const Bytes &message)
{
    unsigned sum = 0;
    for (const std::uint8_t b : message)
        sum += b;
    return static_cast<std::uint8_t>((0x100u - (sum & 0xFFu)) & 0xFFu);
}

Bytes makeMessage(std::uint8_t destination, std::uint8_t source, std::uint8_t flags, std::uint8_t socket,
                  std::uint8_t command, const Bytes &parameters)
{
    Bytes message;
    message.reserve(Bus::HeaderSize + parameters.size());
    for (const std::uint8_t b : {destination, source, flags, socket, std::uint8_t{0x01}, command})
        message.push_back(b);
    for (const std::uint8_t b : parameters)
        message.push_back(b);
    return message;
}

std::string toHex(const Bytes &bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += Digits[b >> 4];
        text += Digits[b & 0x0F];
    }
    return text;
}

} // namespace emu
