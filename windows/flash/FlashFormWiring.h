#pragma once

#include <QString>

#include <functional>

class AddressKeypad;
struct FlashUtilityForm;
class NetworkScan;
class QObject;
struct LoadSettings;

// What the flash loader's form is wired to apart from the window's own steps: the loads'
// settings, the table buttons and the engineering keypad.
namespace FlashFormWiring {

// Keeps the loads' settings (and the scan's debug) as the form's controls have them, from
// now on at each change, whoever makes it.
void keepLoadSettings(FlashUtilityForm &form, LoadSettings &settings, NetworkScan &scan, QObject *context);

// The five table buttons write their tables into the working folder; a table that cannot
// be written is shown with why.
void wireTableButtons(FlashUtilityForm &form, std::function<void(const QString &)> showFailure, QObject *context);

// The keypad's twelve keys type an address into its box (Text9); one it takes goes into
// the scan's address box (Text10) and entered follows, one it refuses calls refused.
void wireKeypad(FlashUtilityForm &form, AddressKeypad &keypad, std::function<void()> entered,
                std::function<void()> refused, QObject *context);

} // namespace FlashFormWiring
