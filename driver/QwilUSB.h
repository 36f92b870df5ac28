/* The bus-interface module's driver library: 24 operations with a C ABI.
 * Every operation returns 0 on success and 7 when nothing arrived in time. */
#ifndef QWILUSB_H
#define QWILUSB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t OpenUSBDriver(void);
int32_t CloseUSBDriver(void);
int32_t GetDevDescr(uint8_t *descriptor, int32_t *length);
int32_t GetQwilUsbVersion(void);
int32_t GetData(uint8_t *buffer, uint8_t *count, int32_t waitMs);
int32_t QwilAnalyzer(uint8_t mode, uint8_t channel, uint8_t *result);
int32_t ConfigQwil(int32_t value, uint8_t second, uint8_t highestAddress);
int32_t GetConfigData(uint8_t *buffer, uint8_t length, uint8_t block, uint8_t address, int32_t waitMs);
int32_t SetConfigData(uint8_t *buffer, uint8_t count, uint8_t block, uint8_t address);
int32_t SndQwilData(uint8_t *message, int16_t length);
int32_t SndModData(uint8_t *bytes, int32_t length);
int32_t DevDownLoad(uint8_t target, uint8_t *message, uint8_t length, uint8_t sequence);
int32_t DevPan(uint8_t command, uint8_t speed, uint8_t address, uint8_t recording);
int32_t DevTilt(uint8_t command, uint8_t speed, uint8_t address, uint8_t recording);
int32_t DevZoom(uint8_t command, uint8_t address);
int32_t DevFocus(uint8_t command, uint8_t address);
int32_t DevIris(uint8_t command, uint8_t address);
int32_t DevTarget(uint8_t command, uint8_t index, uint8_t address);
int32_t DevPattern(uint8_t function, uint8_t number, uint8_t address, uint8_t repeat);
int32_t MiscDevCtrl(uint8_t command, uint8_t *data, uint8_t address);
int32_t GetABSPosition(uint8_t *buffer, uint8_t address);
int32_t GotoABSPosition(uint8_t *position, uint8_t address);
int32_t GetDeviceStatus(uint8_t *buffer, uint8_t address);
int32_t DevPing(uint8_t *buffer, uint8_t count, uint8_t address, int32_t waitMs);

#ifdef __cplusplus
}
#endif

#endif /* QWILUSB_H */
