// A broken driver library: it exports only two of the driver's operations.
#include "driver/QwilUSB.h"

extern "C" __attribute__((visibility("default"))) int32_t OpenUSBDriver(void)
{
    return 0x0080;
}

extern "C" __attribute__((visibility("default"))) int32_t GetQwilUsbVersion(void)
{
    return 0x0105;
}
