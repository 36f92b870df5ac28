#include "engines/flash/NetworkScan.h"

#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "engines/flash/ScanRules.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {
constexpr std::size_t RecordHeader = 3;
constexpr std::size_t ReplyFieldsBeforeData = 7;
constexpr std::uint8_t DrainMarker = 0x2A;
} // namespace

NetworkScan::NetworkScan(ModuleDriver &driver, QObject *parent)
    : Job(parent), m_driver(driver),
      m_startDelay(new FormTimer(QStringLiteral("scanStartDelay"), StartDelayMs, parent ? parent : this))
{
    m_startDelay->setSingleShot(true);
    connect(m_startDelay, &FormTimer::timeout, this, &NetworkScan::run);
}

bool NetworkScan::begin(int highest)
{
    if (highest > ScanRules::MaxScanAddress)
        return false;
    m_driver.ConfigQwil(ScanBusValue, BusSecond, static_cast<std::uint8_t>(std::max(highest, 0)));
    start();
    return true;
}

void NetworkScan::start()
{
    m_running = true;
    m_active = true;
    m_stopRequested = false;
    ModuleConnection::drain(m_driver, this, ModuleDrainWaitMs,
                            [this](const ModuleConnection::Records &) { m_startDelay->setEnabled(true); });
}

void NetworkScan::requestStop()
{
    m_stopRequested = true;
    m_running = false;
}

void NetworkScan::dumpIfDebug(std::span<const std::uint8_t> bytes)
{
    if (debugOn())
        emit dump(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void NetworkScan::dumpAll(const ModuleConnection::Records &records)
{
    for (const auto &record : records)
        dumpIfDebug(record);
}

// The scan runs as a chain of submitted steps: a drain, one step per address, the bus
// set back and a last drain. A stop request is seen between two addresses.
void NetworkScan::run()
{
    m_running = true;
    m_moduleLostWith = 0;
    emit started();
    emit debugCleared();
    ModuleConnection::drain(m_driver, this, DrainWaitMs, [this](const ModuleConnection::Records &records) {
        dumpAll(records);
        m_lastAddress = std::clamp(m_maxAddress ? m_maxAddress() : 0, 0, ScanRules::MaxScanAddress);
        m_timeoutMs = ScanRules::perAddressTimeoutMs(m_lastAddress);
        scanFrom(1);
    });
}

void NetworkScan::scanFrom(int address)
{
    if (address > m_lastAddress || m_stopRequested) {
        setBusBack();
        return;
    }
    scanAddress(address, m_timeoutMs);
}

void NetworkScan::setBusBack()
{
    const int highest = std::clamp(m_maxAddress ? m_maxAddress() : 0, 0, 255);
    const std::int32_t r = m_driver.ConfigQwil(IdleBusValue, BusSecond, static_cast<std::uint8_t>(highest));
    // The module that takes the setting is there: an address that failed failed on its own.
    if (DriverResult::moduleGone(r))
        m_moduleLostWith = m_moduleLostWith ? m_moduleLostWith : r;
    else
        m_moduleLostWith = 0;
    if (r == DriverResult::NoResponse) {
        end();
        return;
    }
    ModuleConnection::drain(m_driver, this, FinalDrainWaitMs, [this](const ModuleConnection::Records &records) {
        dumpAll(records);
        end();
    });
}

void NetworkScan::end()
{
    m_running = false;
    m_active = false;
    // Everything is done: the last address, the module set back and the final drain.
    if (m_moduleLostWith != 0)
        emit ended({JobOutcome::Kind::ModuleLost, QStringLiteral("Module lost")});
    else if (m_stopRequested)
        emit ended({JobOutcome::Kind::Interrupted, QStringLiteral("Interrupted")});
    else
        emit ended({JobOutcome::Kind::Completed, QString()});
}

// What one address gave: what the debug box shows of it (the records drained before it,
// each marked with '*', the reply or the device's late record, the note of a second
// request) and the reply.
struct NetworkScan::AddressAnswer {
    ModuleConnection::Records dumps;
    std::size_t retryNoteAt = SIZE_MAX; // the retry note goes before this dump

    std::int32_t result = 0;
    int expected = ScanRules::ConfigLength;
    std::vector<std::uint8_t> reply = std::vector<std::uint8_t>(BufferSize, 0);
};

void NetworkScan::scanAddress(int address, int timeoutMs)
{
    emit progressed();
    auto answer = std::make_shared<AddressAnswer>();
    m_driver.submit(
        this, [answer, address, timeoutMs](ModuleDriver &driver) { ask(driver, address, timeoutMs, *answer); },
        [this, answer, address] {
            for (std::size_t i = 0; i <= answer->dumps.size(); ++i) {
                if (i == answer->retryNoteAt && debugOn())
                    emit debugNote(QStringLiteral("\nRetry ") + TextFormat::numberText(address));
                if (i < answer->dumps.size())
                    dumpIfDebug(answer->dumps[i]);
            }
            if (DriverResult::moduleGone(answer->result) && m_moduleLostWith == 0)
                m_moduleLostWith = answer->result; // lost, unless it answers the bus's setting back
            if (ScanRules::isValidReply(answer->result, answer->reply, answer->expected, address))
                emit deviceScanned(ScanRules::device(address, answer->reply));
            else
                emit deviceScanned(ScanRules::device(address));
            // The window has its turn here, so a stop request is seen before the next address.
            m_driver.yieldToWindows();
            scanFrom(address + 1);
        });
}

// Runs on the driver's thread: everything one address takes, in the designed order.
void NetworkScan::ask(ModuleDriver &driver, int address, int timeoutMs, AddressAnswer &answer)
{
    std::vector<std::uint8_t> &buffer = answer.reply;
    // Anything still queued belongs to an earlier address; marked with '*' in the dump.
    ModuleConnection::drain(driver, DrainWaitMs, [&answer](std::span<const std::uint8_t> record) {
        std::vector<std::uint8_t> marked(record.begin(), record.end());
        marked.push_back(DrainMarker);
        answer.dumps.push_back(std::move(marked));
    });

    const auto target = static_cast<std::uint8_t>(address);
    const int asked = ScanRules::ConfigLength;
    std::int32_t r =
        driver.GetConfigData(buffer.data(), ScanRules::ConfigLength, ScanRules::IdentityBlock, target, timeoutMs);
    if (r == DriverResult::Success) {
        answer.dumps.emplace_back(buffer.begin(), buffer.begin() + ReplyFieldsBeforeData + asked);
        if (!ScanRules::isValidReply(r, buffer, answer.expected, address)) {
            // The module handed back something else; the device's reply may follow as a record.
            std::uint8_t count = 0;
            r = driver.GetData(buffer.data(), &count, ExtraReadWaitMs);
            if (r == DriverResult::Success) {
                const std::size_t length = std::min<std::size_t>(count, BufferSize - 1);
                answer.dumps.emplace_back(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
                std::copy(buffer.begin() + RecordHeader, buffer.begin() + static_cast<std::ptrdiff_t>(length + 1),
                          buffer.begin());
                // A complete reply of the asked length is accepted; anything shorter is not.
                if (length < RecordHeader + ReplyFieldsBeforeData + asked)
                    answer.expected = -1;
            }
        }
    } else {
        answer.retryNoteAt = answer.dumps.size();
        r = driver.GetConfigData(buffer.data(), ScanRules::ConfigLength, ScanRules::IdentityBlock, target, timeoutMs);
        if (r == DriverResult::Success)
            answer.dumps.emplace_back(buffer.begin(), buffer.begin() + ReplyFieldsBeforeData + asked);
    }
    answer.result = r;
}
