#pragma once

#include "core/JobOutcome.h"

// How a load ended: the whole-file load of the module, one device's load or a serial run.
using LoadOutcome = JobOutcome;
