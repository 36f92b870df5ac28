#pragma once

#include <QString>

#include <array>
#include <cstdint>

// What the dome window remembers between key presses: the dome it drives, the number
// being typed and the latches the function keys read. Reset when the window loads.
struct DomeState {
    static constexpr int MaxEntry = 255;
    static constexpr int MaxCamera = 230;
    static constexpr std::uint8_t FirstMaxConfiguredAddress = 16;

    std::uint8_t DomeAddress = 1;
    std::uint8_t MaxConfiguredAddress = FirstMaxConfiguredAddress;
    int EntryNumber = 0;
    std::uint8_t EntryDigits = 0; // only zero versus non-zero is read; it stops growing at 255
    bool SetLatch = false;
    std::uint8_t RepeatLatch = 0;
    int PatternState = 0; // 1 while a pattern is being recorded
    bool MenuMode = false;
    std::uint8_t OutputMask = 0;
    std::array<std::uint8_t, 26> PositionBuffer{};
    std::array<std::uint8_t, 16> PingPattern{10, 20, 30, 40, 50};
    bool PingRunning = false;

    // Guards: true only while the named handler runs, so the engineering panel's
    // Auto/Man options it selects send nothing.
    bool FocusKeyActive = false;
    bool IrisKeyActive = false;
    bool AutoKeyActive = false;
    bool NudgeActive = false;
    bool ResetArmed = false;
    // True while the engineering panel handles its pan, tilt or zoom axis choice: it is not undone meanwhile.
    bool PanBoxBusy = false;
    bool TiltBoxBusy = false;
    bool ZoomBoxBusy = false;
    std::array<std::uint8_t, 51> TargetData{}; // the last target reply

    void clearEntry()
    {
        EntryNumber = 0;
        EntryDigits = 0;
    }
    // The record argument of pan and tilt moves.
    std::uint8_t recordFlag() const { return static_cast<std::uint8_t>(PatternState & 0xFF); }
};

// The keypad's number entry and its "Set" key.
namespace DomeKeypad {

struct Outcome {
    enum class Show {
        Nothing,
        Message, // text as a timed message
        Number,  // text right-aligned, untimed, while typing
    };
    Show show = Show::Nothing;
    QString text;
    bool reconfigure = false; // tell the module the new highest address (DomeAddress)
    bool greet = false;       // greet the newly chosen dome
};

Outcome addDigit(DomeState &state, int digit);
Outcome selectCamera(DomeState &state);
// "Clr": the entry is dropped and the status line blanked.
Outcome clear(DomeState &state);

} // namespace DomeKeypad
