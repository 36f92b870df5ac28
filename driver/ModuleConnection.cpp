#include "driver/ModuleConnection.h"

#include "core/TimeSource.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

ConnectOptions ConnectOptions::controlPanel()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::BareShort;
    options.closeAfter = true;
    options.failureStatus = QStringLiteral("- USB ERROR");
    return options;
}

ConnectOptions ConnectOptions::busMonitor()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::Long;
    options.closeFirst = true;
    return options;
}

ConnectOptions ConnectOptions::flashLoader()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::Long;
    return options;
}

ConnectOptions ConnectOptions::domeControl()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::TitledShort;
    return options;
}

ModuleConnection::Released ModuleConnection::release(ModuleDriver &driver)
{
    constexpr std::int32_t IdleBusValue = 1000;
    constexpr std::uint8_t BusSecond = 1;
    constexpr std::uint8_t IdleHighestAddress = 16;
    Released released;
    released.setBack = driver.ConfigQwil(IdleBusValue, BusSecond, IdleHighestAddress);
    released.closed = driver.CloseUSBDriver();
    return released;
}

ConnectOutcome ModuleConnection::connect(ModuleDriver &driver, const ConnectOptions &options)
{
    if (options.closeFirst)
        driver.CloseUSBDriver();

    ConnectOutcome outcome;
    outcome.word = driver.OpenUSBDriver();
    outcome.connected = ModuleStatus::isConnected(outcome.word);
    if (outcome.connected) {
        std::array<std::uint8_t, ModuleStatus::DescriptorSize> descriptor{};
        std::int32_t length = ModuleStatus::DescriptorSize;
        driver.GetDevDescr(descriptor.data(), &length);
        outcome.revision = static_cast<std::uint16_t>(descriptor[ModuleStatus::DescriptorRevisionMajor] << 8 |
                                                      descriptor[ModuleStatus::DescriptorRevisionMinor]);
        outcome.status = ModuleStatus::statusText(outcome.word, descriptor[ModuleStatus::DescriptorRevisionMajor],
                                                  descriptor[ModuleStatus::DescriptorRevisionMinor], options.form);
    } else {
        outcome.status = options.failureStatus;
    }

    if (options.closeAfter)
        driver.CloseUSBDriver();
    return outcome;
}

int ModuleConnection::drain(ModuleDriver &driver, int waitMs,
                            const std::function<void(std::span<const std::uint8_t>)> &onRecord)
{
    std::array<std::uint8_t, ModuleRecord::BufferSize> buffer{};
    int records = 0;
    while (records < MaxDrainRecords) {
        std::uint8_t count = 0;
        if (driver.GetData(buffer.data(), &count, waitMs) != DriverResult::Success)
            break;
        ++records;
        if (onRecord)
            onRecord(std::span<const std::uint8_t>(buffer.data(), std::min<std::size_t>(count, buffer.size())));
    }
    return records;
}

void ModuleConnection::drain(ModuleDriver &driver, const QObject *receiver, int waitMs,
                             std::function<void(const Records &)> then)
{
    auto records = std::make_shared<Records>();
    driver.submit(
        receiver,
        [records, waitMs](ModuleDriver &d) {
            drain(d, waitMs, [&records](std::span<const std::uint8_t> record) {
                records->emplace_back(record.begin(), record.end());
            });
        },
        [records, then = std::move(then)] { then(*records); });
}

void ModuleConnection::read(ModuleDriver &driver, const QObject *receiver, int waitMs,
                            std::function<void(const ModuleRecord &)> then)
{
    auto record = std::make_shared<ModuleRecord>();
    driver.submit(
        receiver,
        [record, waitMs](ModuleDriver &d) {
            record->result = d.GetData(record->bytes.data(), &record->count, waitMs);
            record->answeredMs = TimeSource::clock().nowMs();
        },
        [record, then = std::move(then)] { then(*record); });
}

ModuleConnection::ReadRun ModuleConnection::readRun(ModuleDriver &driver, const QObject *receiver, int waitMs,
                                                    int gapMs,
                                                    std::function<void(const std::vector<ModuleRecord> &)> onRecords,
                                                    std::function<void()> then)
{
    struct Unread {
        std::mutex lock;
        std::vector<ModuleRecord> records;
    };
    auto unread = std::make_shared<Unread>();
    ModuleDriver::Run run;
    run.gapMs = gapMs;
    run.step = [unread, waitMs](ModuleDriver &d) {
        ModuleRecord record;
        record.result = d.GetData(record.bytes.data(), &record.count, waitMs);
        record.answeredMs = TimeSource::clock().nowMs();
        const std::lock_guard<std::mutex> guard(unread->lock);
        unread->records.push_back(std::move(record));
    };
    run.handOver = [unread, onRecords = std::move(onRecords)] {
        std::vector<ModuleRecord> batch;
        {
            const std::lock_guard<std::mutex> guard(unread->lock);
            batch.swap(unread->records);
        }
        if (!batch.empty())
            onRecords(batch);
    };
    std::function<void()> handOverNow = run.handOver;
    return {driver.submitRun(receiver, std::move(run), std::move(then)), std::move(handOverNow)};
}
