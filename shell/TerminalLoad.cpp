#include "TerminalLoad.h"

#include "LoadStatus.h"

void TerminalLoad::showLoadStatus(int code)
{
    showStatus(LoadStatus::text(code), Colour::Error);
    enableLoadButtons();
}
