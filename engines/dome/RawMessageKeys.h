#pragma once

#include "engines/dome/DomeLink.h"

// "Send Qwil Data", "Configure Qwil", "Set Config Buffer" and "Send Download Packet":
// bench traffic typed into the raw-data box or fixed. Nothing is shown on success.
class RawMessageKeys {
public:
    explicit RawMessageKeys(DomeLink link) : m_link(link) {}

    void sendQwilData(const QString &entry);
    void configureQwil(const QString &entry);
    void setConfigBuffer(const QString &entry);
    void sendDownloadPacket();

private:
    DomeLink m_link;
};
