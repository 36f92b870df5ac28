#pragma once

#include "engines/dome/DomeLink.h"

// "Flash Rev", "Device Status", the read-position key and "Goto Abs Pos": what the dome
// reports about itself, and the way back to a position read.
class StatusKeys {
public:
    static constexpr std::uint8_t FlashRevisionLength = 6, FlashRevisionBlock = 6;
    static constexpr int ConfigWaitMs = 250;

    explicit StatusKeys(DomeLink link) : m_link(link) {}

    void flashRevision();
    void deviceStatus();
    void readPosition();
    void gotoPosition();

private:
    DomeLink m_link;
};
