#pragma once

#include "engines/dome/DomeMessages.h"

#include <QString>

#include <optional>
#include <span>

// The engineering panel's 0xFA messages: the requests it builds from its choices, and
// the dome's replies read back into its value boxes.
namespace Ncpc {

using DomeMessages::Bytes;
using DomeMessages::Units;

// The engineering messages, built from the choices the panel holds when one is sent.
struct Choices {
    bool pan = false, tilt = false, zoom = false;
    Units units = Units::Degrees;
    bool longForm = true;
    bool relative = false;
    bool maxLimit = true;
    bool focusAuto = true, irisAuto = true;
};

constexpr std::size_t TargetDataBytes = 51;
constexpr std::size_t TargetBytesSent = 21;

Bytes get(std::uint8_t address, const Choices &c);
Bytes getUnits(std::uint8_t address, const Choices &c);
Bytes getTarget(std::uint8_t address, const Choices &c);
Bytes setTarget(std::uint8_t address, const Choices &c, std::span<const std::uint8_t> targetData);
enum class Nudge { Near, Far, Open, Close };
Bytes nudge(std::uint8_t address, const Choices &c, Nudge which);
Bytes frameMove(std::uint8_t address);

// A value box read for "NCPC SET": a number (nothing when it does not fit 32 bits signed),
// or with "Counts" the hexadecimal digits unsigned (nothing beyond 32 bits).
std::optional<std::int64_t> parseValue(const QString &text, const Choices &c, bool shortForm);

struct SetRequest {
    Bytes message;
    QString shownValue; // what the received-data box shows
};
// "NCPC SET" in the long or the short form; nothing when a value does not fit its field
// (24 bits for pan and tilt, 16 for zoom) read as signed or as unsigned.
std::optional<SetRequest> set(std::uint8_t address, const Choices &c, const QString &panText, const QString &tiltText,
                              const QString &zoomText);

// What a reply changes in the panel: a box is left alone (nullopt), emptied or filled.
struct ReplyView {
    std::optional<QString> pan, tilt, zoom;
    std::optional<Bytes> targetData;
};
// record: a GetData record with byte 8 = 0xFA, and its byte at index count.
ReplyView decode(std::span<const std::uint8_t> record, std::size_t count);

} // namespace Ncpc
