#pragma once

#include "engines/dome/DomeLink.h"

// "View", "Pattern", "Repeat" and "Peel": targets and patterns worked as on a CCTV
// keyboard, an optional "Set", then a number, then the key.
class TargetKeys {
public:
    static constexpr std::uint8_t GotoTarget = 0xA9, SetTarget = 0xA8;
    enum PatternFunction : std::uint8_t { Define = 0, End = 1, Review = 2, Accept = 3, Run = 4, RunPeel = 5 };
    static constexpr int MaxTarget = 96;
    static constexpr int MaxPattern = 3;

    explicit TargetKeys(DomeLink link) : m_link(link) {}

    void view();
    void pattern();
    void repeat() { m_link.state.RepeatLatch = 1; }
    void peel();

private:
    void patternWithoutNumber();
    void patternNumbered(int number);

    DomeLink m_link;
};
