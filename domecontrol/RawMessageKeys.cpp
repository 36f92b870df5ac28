#include "RawMessageKeys.h"

#include "RawEntry.h"

#include <array>

void RawMessageKeys::sendQwilData(const QString &entry)
{
    auto bytes = RawEntry::qwilData(entry);
    if (!bytes) {
        m_link.report.displayMessage(QStringLiteral("Invalid Quillbus Data"));
        return;
    }
    m_link.showFailure(m_link.driver.SndQwilData(bytes->data(), static_cast<std::int16_t>(bytes->size())));
}

void RawMessageKeys::configureQwil(const QString &entry)
{
    const auto settings = RawEntry::configureQwil(entry);
    if (!settings) {
        m_link.report.displayMessage(QStringLiteral("Invalid Quillbus config data"));
        return;
    }
    m_link.showFailure(m_link.driver.ConfigQwil(settings->value, settings->second, settings->highestAddress));
}

void RawMessageKeys::setConfigBuffer(const QString &entry)
{
    const auto buffer = RawEntry::setConfigBuffer(entry);
    if (!buffer) {
        m_link.report.displayMessage(QStringLiteral("Invalid config Buffer Data Format"));
        return;
    }
    // The count goes as typed; the driver reads that many bytes, zeros past the typed data.
    std::array<std::uint8_t, RawEntry::MaxConfigDataBytes> data{};
    std::copy(buffer->data.begin(), buffer->data.end(), data.begin());
    m_link.showFailure(
        m_link.driver.SetConfigData(data.data(), buffer->count, buffer->block, m_link.state.DomeAddress));
}

void RawMessageKeys::sendDownloadPacket()
{
    RawEntry::Bytes packet = RawEntry::downloadPacket(m_link.state.DomeAddress);
    m_link.showFailure(m_link.driver.SndQwilData(packet.data(), static_cast<std::int16_t>(packet.size())));
}
