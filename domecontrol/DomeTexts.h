#pragma once

#include <QString>

#include <cstdint>

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

} // namespace DomeTexts
