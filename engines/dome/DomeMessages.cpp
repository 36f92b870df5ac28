#include "engines/dome/DomeMessages.h"

namespace DomeMessages {

Bytes domeQuery(std::uint8_t address, std::uint8_t code)
{
    return {address, 0xF0, 0x00, 0x02, 0x01, code};
}

Bytes engineeringHeader(std::uint8_t address)
{
    return {address, 0xF0, 0x00, 0x01, 0x01, EngineeringCommand};
}

Bytes autoMan(std::uint8_t address, bool longForm, bool focusAuto, bool irisAuto, Units units)
{
    Bytes message = engineeringHeader(address);
    message.push_back(static_cast<std::uint8_t>(0x81 + (longForm ? 0x40 : 0)));
    message.push_back(
        static_cast<std::uint8_t>((focusAuto ? 0x40 : 0) + (irisAuto ? 0x80 : 0) + static_cast<std::uint8_t>(units)));
    return message;
}

} // namespace DomeMessages
