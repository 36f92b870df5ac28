#pragma once

// The computer's beep, counted so tests can tell whether a handler beeped.
namespace Beep {
void beep();
int count();
} // namespace Beep
