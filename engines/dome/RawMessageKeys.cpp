#include "engines/dome/RawMessageKeys.h"

#include "engines/dome/RawEntry.h"

#include <array>

void RawMessageKeys::sendQwilData(const QString &entry)
{
    auto bytes = RawEntry::qwilData(entry);
    if (!bytes) {
        m_link.events.said(QStringLiteral("Invalid Quillbus Data"));
        return;
    }
    m_link.send([message = *bytes](ModuleDriver &d) mutable {
        return d.SndQwilData(message.data(), static_cast<std::int16_t>(message.size()));
    });
}

void RawMessageKeys::configureQwil(const QString &entry)
{
    const auto settings = RawEntry::configureQwil(entry);
    if (!settings) {
        m_link.events.said(QStringLiteral("Invalid Quillbus config data"));
        return;
    }
    m_link.send([s = *settings](ModuleDriver &d) { return d.ConfigQwil(s.value, s.second, s.highestAddress); });
}

void RawMessageKeys::setConfigBuffer(const QString &entry)
{
    const auto buffer = RawEntry::setConfigBuffer(entry);
    if (!buffer) {
        m_link.events.said(QStringLiteral("Invalid config Buffer Data Format"));
        return;
    }
    // The count goes as typed; the driver reads that many bytes, zeros past the typed data.
    std::array<std::uint8_t, RawEntry::MaxConfigDataBytes> data{};
    std::copy(buffer->data.begin(), buffer->data.end(), data.begin());
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.send([data, count = buffer->count, block = buffer->block, address](ModuleDriver &d) mutable {
        return d.SetConfigData(data.data(), count, block, address);
    });
}

void RawMessageKeys::sendDownloadPacket()
{
    RawEntry::Bytes packet = RawEntry::downloadPacket(m_link.state.DomeAddress);
    m_link.send([packet](ModuleDriver &d) mutable {
        return d.SndQwilData(packet.data(), static_cast<std::int16_t>(packet.size()));
    });
}
