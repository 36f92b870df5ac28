#include "ModuleConnection.h"

#include <algorithm>
#include <array>

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
    options.drainAfter = true;
    return options;
}

ConnectOptions ConnectOptions::flashLoader()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::Long;
    options.drainAfter = true;
    return options;
}

ConnectOptions ConnectOptions::domeControl()
{
    ConnectOptions options;
    options.form = ModuleStatus::Form::TitledShort;
    return options;
}

ConnectOutcome ModuleConnection::connect(ModuleDriver &driver, const ConnectOptions &options)
{
    if (options.closeFirst)
        driver.CloseUSBDriver();

    ConnectOutcome outcome;
    outcome.word = driver.OpenUSBDriver();
    if (options.onWord)
        options.onWord(outcome.word);
    outcome.connected = ModuleStatus::isConnected(outcome.word);

    if (outcome.connected) {
        std::array<std::uint8_t, ModuleStatus::DescriptorSize> descriptor{};
        std::int32_t length = ModuleStatus::DescriptorSize;
        driver.GetDevDescr(descriptor.data(), &length);
        outcome.status = ModuleStatus::statusText(outcome.word, descriptor[ModuleStatus::DescriptorRevisionMajor],
                                                  descriptor[ModuleStatus::DescriptorRevisionMinor], options.form);
        if (options.onConnected)
            options.onConnected(outcome.status);
        if (options.drainAfter)
            drain(driver, DrainWaitMs, options.onDrained);
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
    std::array<std::uint8_t, RecordBufferSize> buffer{};
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
