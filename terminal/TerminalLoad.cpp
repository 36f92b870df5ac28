#include "terminal/TerminalLoad.h"

#include "engines/flash/LoadStatus.h"

void TerminalLoad::loadStatus(int code)
{
    status(LoadStatus::text(code), Tone::Failed);
    finished();
}
