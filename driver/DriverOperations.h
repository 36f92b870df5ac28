#pragma once

#include <cstdint>

// The driver's operations as one list, X(name, parameters, arguments), so that every
// pass-through (library loader, emulator exports, test adapters) names each operation
// once and cannot drift from the C header.
#define QWIL_DRIVER_OPERATIONS(X)                                                                                  \
    X(OpenUSBDriver, (), ())                                                                                       \
    X(CloseUSBDriver, (), ())                                                                                      \
    X(GetDevDescr, (std::uint8_t * descriptor, std::int32_t * length), (descriptor, length))                       \
    X(GetQwilUsbVersion, (), ())                                                                                   \
    X(GetData, (std::uint8_t * buffer, std::uint8_t * count, std::int32_t waitMs), (buffer, count, waitMs))        \
    X(QwilAnalyzer, (std::uint8_t mode, std::uint8_t channel, std::uint8_t * result), (mode, channel, result))     \
    X(ConfigQwil, (std::int32_t value, std::uint8_t second, std::uint8_t highestAddress),                          \
      (value, second, highestAddress))                                                                             \
    X(GetConfigData,                                                                                               \
      (std::uint8_t * buffer, std::uint8_t length, std::uint8_t block, std::uint8_t address, std::int32_t waitMs), \
      (buffer, length, block, address, waitMs))                                                                    \
    X(SetConfigData, (std::uint8_t * buffer, std::uint8_t count, std::uint8_t block, std::uint8_t address),        \
      (buffer, count, block, address))                                                                             \
    X(SndQwilData, (std::uint8_t * message, std::int16_t length), (message, length))                               \
    X(SndModData, (std::uint8_t * bytes, std::int32_t length), (bytes, length))                                    \
    X(DevDownLoad, (std::uint8_t target, std::uint8_t * message, std::uint8_t length, std::uint8_t sequence),      \
      (target, message, length, sequence))                                                                         \
    X(DevPan, (std::uint8_t command, std::uint8_t speed, std::uint8_t address, std::uint8_t recording),            \
      (command, speed, address, recording))                                                                        \
    X(DevTilt, (std::uint8_t command, std::uint8_t speed, std::uint8_t address, std::uint8_t recording),           \
      (command, speed, address, recording))                                                                        \
    X(DevZoom, (std::uint8_t command, std::uint8_t address), (command, address))                                   \
    X(DevFocus, (std::uint8_t command, std::uint8_t address), (command, address))                                  \
    X(DevIris, (std::uint8_t command, std::uint8_t address), (command, address))                                   \
    X(DevTarget, (std::uint8_t command, std::uint8_t index, std::uint8_t address), (command, index, address))      \
    X(DevPattern, (std::uint8_t function, std::uint8_t number, std::uint8_t address, std::uint8_t repeat),         \
      (function, number, address, repeat))                                                                         \
    X(MiscDevCtrl, (std::uint8_t command, std::uint8_t * data, std::uint8_t address), (command, data, address))    \
    X(GetABSPosition, (std::uint8_t * buffer, std::uint8_t address), (buffer, address))                            \
    X(GotoABSPosition, (std::uint8_t * position, std::uint8_t address), (position, address))                       \
    X(GetDeviceStatus, (std::uint8_t * buffer, std::uint8_t address), (buffer, address))                           \
    X(DevPing, (std::uint8_t * buffer, std::uint8_t count, std::uint8_t address, std::int32_t waitMs),             \
      (buffer, count, address, waitMs))
