// Loads the driver the way the program does and prints what it answers, so a test
// can see which library the normal search found.
#include "driver/LibraryDriver.h"

#include <cstdio>

int main()
{
    LibraryDriver driver;
    std::printf("version=%04X word=%04X\n", static_cast<unsigned>(driver.GetQwilUsbVersion()),
                static_cast<unsigned>(driver.OpenUSBDriver()));
    driver.CloseUSBDriver();
    return 0;
}
