#pragma once

#include "engines/dome/DomeLink.h"

// Pan, tilt, zoom, focus, iris and Vphase keys: press-and-hold keys send their start code
// on press and their stop code on release; the menu arrows and "Toggle" are taps.
class MotionKeys {
public:
    static constexpr std::uint8_t PanLeft = 0x81, PanRight = 0x82, PanStop = 0x83, TiltUp = 0x84, TiltDown = 0x85,
                                  TiltStop = 0x86, FocusNear = 0x87, FocusFar = 0x88, FocusStop = 0x89, ZoomIn = 0x8A,
                                  ZoomOut = 0x8B, ZoomStop = 0x8C, IrisOpen = 0x90, IrisClose = 0x91, IrisStop = 0x92;
    static constexpr std::uint8_t VphaseIncrement = 2, VphaseDecrement = 3, VphaseStop = 4;

    explicit MotionKeys(DomeLink link) : m_link(link) {}

    void zoomPressed(std::uint8_t code);
    void zoomReleased();
    void focusPressed(std::uint8_t code);
    void focusReleased();
    void irisPressed(std::uint8_t code);
    void irisReleased();
    void vphasePressed(std::uint8_t code);
    void vphaseReleased();

    void panTap(std::uint8_t code);
    void tiltTap(std::uint8_t code);
    void toggleTap();
    void select();

private:
    void vphase(std::uint8_t code, const QString &done);
    void guardedPress(bool &guard, std::int32_t (ModuleDriver::*send)(std::uint8_t, std::uint8_t), std::uint8_t code,
                      DomeEvents::LensControl manual, std::uint8_t &startedAt);

    DomeLink m_link;
    // Where each held key's start went: its stop goes there, whatever dome is chosen by
    // the time the key is let go.
    std::uint8_t m_zoomAddress = 0;
    std::uint8_t m_focusAddress = 0;
    std::uint8_t m_irisAddress = 0;
    std::uint8_t m_vphaseAddress = 0;
};
