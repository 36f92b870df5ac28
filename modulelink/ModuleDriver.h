#pragma once

#include "DriverResult.h"

#include <cstdint>

// The driver's 24 operations as every window calls them; the production driver is
// the library loaded by name, tests hand in the emulator or a scripted fake.
class ModuleDriver {
public:
    virtual ~ModuleDriver() = default;

    virtual std::int32_t OpenUSBDriver() = 0;
    virtual std::int32_t CloseUSBDriver() = 0;
    virtual std::int32_t GetDevDescr(std::uint8_t *descriptor, std::int32_t *length) = 0;
    virtual std::int32_t GetQwilUsbVersion() = 0;
    virtual std::int32_t GetData(std::uint8_t *buffer, std::uint8_t *count, std::int32_t waitMs) = 0;
    virtual std::int32_t QwilAnalyzer(std::uint8_t mode, std::uint8_t channel, std::uint8_t *result) = 0;
    virtual std::int32_t ConfigQwil(std::int32_t value, std::uint8_t second, std::uint8_t highestAddress) = 0;
    virtual std::int32_t GetConfigData(std::uint8_t *buffer, std::uint8_t length, std::uint8_t block,
                                       std::uint8_t address, std::int32_t waitMs) = 0;
    virtual std::int32_t SetConfigData(std::uint8_t *buffer, std::uint8_t count, std::uint8_t block,
                                       std::uint8_t address) = 0;
    virtual std::int32_t SndQwilData(std::uint8_t *message, std::int16_t length) = 0;
    virtual std::int32_t SndModData(std::uint8_t *bytes, std::int32_t length) = 0;
    virtual std::int32_t DevDownLoad(std::uint8_t target, std::uint8_t *message, std::uint8_t length,
                                     std::uint8_t sequence) = 0;
    virtual std::int32_t DevPan(std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                                std::uint8_t recording) = 0;
    virtual std::int32_t DevTilt(std::uint8_t command, std::uint8_t speed, std::uint8_t address,
                                 std::uint8_t recording) = 0;
    virtual std::int32_t DevZoom(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevFocus(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevIris(std::uint8_t command, std::uint8_t address) = 0;
    virtual std::int32_t DevTarget(std::uint8_t command, std::uint8_t index, std::uint8_t address) = 0;
    virtual std::int32_t DevPattern(std::uint8_t function, std::uint8_t number, std::uint8_t address,
                                    std::uint8_t repeat) = 0;
    virtual std::int32_t MiscDevCtrl(std::uint8_t command, std::uint8_t *data, std::uint8_t address) = 0;
    virtual std::int32_t GetABSPosition(std::uint8_t *buffer, std::uint8_t address) = 0;
    virtual std::int32_t GotoABSPosition(std::uint8_t *position, std::uint8_t address) = 0;
    virtual std::int32_t GetDeviceStatus(std::uint8_t *buffer, std::uint8_t address) = 0;
    virtual std::int32_t DevPing(std::uint8_t *buffer, std::uint8_t count, std::uint8_t address,
                                 std::int32_t waitMs) = 0;
};
