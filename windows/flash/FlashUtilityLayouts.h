#pragma once

#include <initializer_list>

class QLineEdit;
class QRadioButton;
class QString;
class QWidget;
struct FlashUtilityForm;

// Which of the flash loader's controls show, and with which captions, in each layout. The
// window adds what a layout change does beyond the controls (timers, the port, the module).
namespace FlashUtilityLayouts {

void showControls(std::initializer_list<QWidget *> widgets, bool visible);
// A box filled by a mode change, not typed: its typing check stays quiet, so the mode's
// own prompt stays on the status line.
void setBoxQuietly(QLineEdit *box, const QString &text);
// Clears one of an exclusive pair of options, which would otherwise keep one ticked.
void untick(QRadioButton *option);

// As the window opens, before its mode's layout: the engineering controls, the scan and
// the keypad hidden, devices to be loaded.
void showOnLoad(FlashUtilityForm &form);

// USB: the device list (or, in direct file mode, the file list), upload choice and scan.
void showUsb(FlashUtilityForm &form, bool directFileMode);
// Comm Port: the serial loader's port choice, file list and instructions.
void showComPort(FlashUtilityForm &form);
// Loading devices: the device list with its scan, or in direct file mode the file list and
// the one device's address. Debug, Pause and the keypad show for engineering only.
void showDeviceMode(FlashUtilityForm &form, bool directFileMode, bool engineering);
// What follows the device list's clearing: devices chosen, the image type options gone.
void showDeviceChoice(FlashUtilityForm &form);
// Loading the module: the file list over the device list, no scan and no debug.
void showModuleMode(FlashUtilityForm &form, bool engineering);
// The sector selector of "Sector Erase".
void showSectorSelector(FlashUtilityForm &form, bool shown);

} // namespace FlashUtilityLayouts
