#pragma once

#include <initializer_list>

class QWidget;
struct FlashUtilityForm;

// Which of the flash loader's controls show, and with which captions, in each layout. The
// window adds what a layout change does beyond the controls (timers, the port, the module).
namespace FlashUtilityLayouts {

void showControls(std::initializer_list<QWidget *> widgets, bool visible);

// USB: the device list (or, in direct file mode, the file list), upload choice and scan.
void showUsb(FlashUtilityForm &form, bool directFileMode);
// Comm Port: the serial loader's port choice, file list and instructions.
void showComPort(FlashUtilityForm &form);
// The sector selector of "Sector Erase".
void showSectorSelector(FlashUtilityForm &form, bool shown);

} // namespace FlashUtilityLayouts
