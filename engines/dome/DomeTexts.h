#pragma once

#include <QString>

#include <cstdint>
#include <span>

// The dome window's own wording of its results.
namespace DomeTexts {

// "Camera " and the address with its leading blank: "Camera  5".
QString camera(int address);

// A driver result as the dome window words it: 7 names the dome that did not answer.
QString error(std::int32_t code, int domeAddress);

// What a successful DirectSet with quick number n shows; n = 1 depends on whether the
// dome's menu was open before.
QString quickSet(int n, bool menuWasOpen);

// The "Max Opt Zoom" answer: "Max Optical Zoom, Dome # 1=  20".
QString maxOpticalZoom(int domeAddress, int zoom);

// Shown when a zoom query answers success without the query's code in the reply.
inline const QString NoZoomAnswer = QStringLiteral("No Zoom Data from Device");

// "Flash Rev. = 0123-4567-89AB" from bytes 7 to 12 of the configuration reply.
QString flashRevision(std::span<const std::uint8_t> reply);

// "Dev # 3: Type = 4008  Rev = 0110  Online = 01  " from the status buffer.
QString deviceStatus(int domeAddress, std::span<const std::uint8_t> status);

// "ABS Pos = " and bytes 6 to 15, each followed by a blank.
QString absolutePosition(std::span<const std::uint8_t> position);

// The ping test's line: the spacer before Rx loses four blanks from the 101st ping on.
QString pingLine(long sent, long echoed);

} // namespace DomeTexts
