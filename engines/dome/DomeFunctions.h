#pragma once

#include "engines/dome/DomeLink.h"

#include <memory>

class FormTimer;

// The dome's outputs, menu, DirectSet quick functions, flip, reset, automatic focus and
// iris, and the maximum optical zoom query, all through MiscDevCtrl.
class DomeFunctions {
public:
    enum Function : std::uint8_t {
        ResetDome = 0,
        Flip = 1,
        ShowMenu = 8,
        ExitMenu = 9,
        AutoFocusAndIris = 10,
        QuickSet = 11,
        SetOutputs = 0xAA,
        MaxOpticalZoom = 0xF2,
    };
    static constexpr int ResetWindowMs = 500;
    static constexpr std::size_t ZoomReplyBytes = 51;

    DomeFunctions(DomeLink link);
    ~DomeFunctions();
    DomeFunctions(const DomeFunctions &) = delete;
    DomeFunctions &operator=(const DomeFunctions &) = delete;
    // A "Reset" click waits for its second no more (the window loads again or closes).
    void cancelReset();

    void outputClicked(int output, bool checked);
    void menu();
    void directSet();
    void flip();
    void resetClicked();
    void autoFocusAndIris();
    void maxOpticalZoom();

private:
    void resetTimerFired();

    DomeLink m_link;
    // A second "Reset" click must come before it fires.
    std::unique_ptr<FormTimer> m_resetTimer;
};
