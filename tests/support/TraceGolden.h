#pragma once

#include "emulator/Trace.h"

// Every test's emulated bus leaves a fingerprint of what it saw: each driver call with
// its arguments and result, each bus message, each at its time. The fingerprints of a
// known-good build are kept in tests/traces/golden.txt, and every bus must match its
// fingerprint there, so a change in how the windows reach the driver cannot alter a single
// call unnoticed, and a new test is recorded before it passes. With
// QUILL_TRACE_RECORD=<folder> set, the fingerprints are written there instead (one file
// per bus) to renew the record; QUILL_TRACE_TEXT=<folder> also writes each trace in full,
// to see where two builds part.
namespace TraceGolden {

// Called as a test's bus goes away; checks (or records) the bus's fingerprint.
void settle(const emu::Trace &trace);

} // namespace TraceGolden
