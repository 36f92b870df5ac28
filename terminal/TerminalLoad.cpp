#include "terminal/TerminalLoad.h"

#include "engines/flash/LoadStatus.h"

void TerminalLoad::showLoadStatus(int code)
{
    showStatus(LoadStatus::text(code), Colour::Error);
    enableLoadButtons();
}
