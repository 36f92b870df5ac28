#include "NetworkScan.h"

#include "FormTimer.h"
#include "ModuleConnection.h"
#include "ScanRules.h"
#include "TextFormat.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
constexpr std::size_t RecordHeader = 3;
constexpr std::size_t ReplyFieldsBeforeData = 7;
constexpr std::uint8_t DrainMarker = 0x2A;
} // namespace

NetworkScan::NetworkScan(ModuleDriver &driver, QObject *parent)
    : QObject(parent), m_driver(driver), m_timer17(new FormTimer(QStringLiteral("Timer17"), StartDelayMs, parent)),
      m_buffer(BufferSize, 0)
{
    m_timer17->setSingleShot(true);
    connect(m_timer17, &FormTimer::timeout, this, &NetworkScan::run);
}

void NetworkScan::start()
{
    m_running = true;
    m_active = true;
    m_stopRequested = false;
    m_timer17->setEnabled(true);
}

void NetworkScan::requestStop()
{
    m_stopRequested = true;
    m_running = false;
}

void NetworkScan::drainModule()
{
    ModuleConnection::drain(m_driver, ModuleDrainWaitMs);
}

void NetworkScan::dumpIfDebug(std::span<const std::uint8_t> bytes)
{
    if (debugOn())
        emit dump(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void NetworkScan::run()
{
    m_running = true;
    emit started();
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    emit debugCleared();
    ModuleConnection::drain(m_driver, DrainWaitMs,
                            [this](std::span<const std::uint8_t> record) { dumpIfDebug(record); });

    const int lastAddress = std::clamp(m_maxAddress ? m_maxAddress() : 0, 0, ScanRules::MaxScanAddress);
    const int timeoutMs = ScanRules::perAddressTimeoutMs(lastAddress);
    // A stop request is seen here, once the address in hand is done.
    for (int address = 1; address <= lastAddress && !m_stopRequested; ++address) {
        scanAddress(address, timeoutMs);
        QCoreApplication::processEvents();
    }

    const int highest = std::clamp(m_maxAddress ? m_maxAddress() : 0, 0, 255);
    const std::int32_t r = m_driver.ConfigQwil(IdleBusValue, BusSecond, static_cast<std::uint8_t>(highest));
    emit completed();
    if (r != DriverResult::NoResponse)
        ModuleConnection::drain(m_driver, FinalDrainWaitMs,
                                [this](std::span<const std::uint8_t> record) { dumpIfDebug(record); });
    m_running = false;
    m_active = false;
    emit finished();
}

void NetworkScan::scanAddress(int address, int timeoutMs)
{
    emit progressed();
    std::fill(m_buffer.begin(), m_buffer.end(), 0);

    // Anything still queued belongs to an earlier address; marked with '*' in the dump.
    ModuleConnection::drain(m_driver, DrainWaitMs, [this](std::span<const std::uint8_t> record) {
        std::vector<std::uint8_t> marked(record.begin(), record.end());
        marked.push_back(DrainMarker);
        dumpIfDebug(marked);
    });

    const auto target = static_cast<std::uint8_t>(address);
    const int asked = ScanRules::ConfigLength;
    int expected = asked;
    std::int32_t r =
        m_driver.GetConfigData(m_buffer.data(), ScanRules::ConfigLength, ScanRules::IdentityBlock, target, timeoutMs);
    const bool answered = r == DriverResult::Success;
    if (answered) {
        dumpIfDebug(std::span<const std::uint8_t>(m_buffer.data(), ReplyFieldsBeforeData + asked));
        if (!ScanRules::isValidReply(r, m_buffer, expected, address)) {
            // The module handed back something else; the device's reply may follow as a record.
            std::uint8_t count = 0;
            r = m_driver.GetData(m_buffer.data(), &count, ExtraReadWaitMs);
            if (r == DriverResult::Success) {
                const std::size_t length = std::min<std::size_t>(count, BufferSize - 1);
                dumpIfDebug(std::span<const std::uint8_t>(m_buffer.data(), length));
                std::copy(m_buffer.begin() + RecordHeader, m_buffer.begin() + static_cast<std::ptrdiff_t>(length + 1),
                          m_buffer.begin());
                // A complete reply of the asked length is accepted; anything shorter is not.
                if (length < RecordHeader + ReplyFieldsBeforeData + asked)
                    expected = -1;
            }
        }
    } else {
        if (debugOn())
            emit debugNote(QStringLiteral("\nRetry ") + TextFormat::numberText(address));
        r = m_driver.GetConfigData(m_buffer.data(), ScanRules::ConfigLength, ScanRules::IdentityBlock, target,
                                   timeoutMs);
        if (r == DriverResult::Success)
            dumpIfDebug(std::span<const std::uint8_t>(m_buffer.data(), ReplyFieldsBeforeData + asked));
    }

    if (ScanRules::isValidReply(r, m_buffer, expected, address))
        emit rowScanned(ScanRules::row(address, m_buffer));
    else
        emit rowScanned(ScanRules::row(address));
}
