#pragma once

#include <functional>

// The beep engines and windows ask for, counted so tests can tell whether a handler beeped.
// The face turns it into a sound: the windows install the computer's beep; a terminal
// command has none.
namespace Beep {
void beep();
int count();
void setSound(std::function<void()> sound);
} // namespace Beep
