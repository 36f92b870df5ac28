#pragma once

#include "emulator/BusMessage.h"

#include <cstdint>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

namespace emu {

// One thing the emulator saw: a driver call with its arguments and result, or a
// message that crossed the bus.
struct TraceEntry {
    enum class Kind { Call, BusMessage };
    Kind kind = Kind::Call;
    std::int64_t timeMs = 0;
    std::string name; // operation name; "bus" for a bus message
    std::vector<long long> arguments;
    std::int32_t result = 0;
    Bytes message; // bytes in sent form, check byte excluded

    std::string text() const;
};

// Every driver call and bus message, in order; optionally copied to a file as it happens.
class Trace {
public:
    void setFile(const std::string &path);
    // The driver library serves a long-running program: it keeps no trace in memory,
    // only the file the scenario names.
    void setKeptInMemory(bool kept) { m_keptInMemory = kept; }

    void addCall(std::int64_t timeMs, std::string name, std::vector<long long> arguments, std::int32_t result);
    void addBusMessage(std::int64_t timeMs, const Bytes &message);

    // The in-memory trace keeps the most recent entries only, so a long session stays small.
    static constexpr std::size_t MaxEntries = 200000;

    const std::deque<TraceEntry> &entries() const { return m_entries; }
    std::vector<TraceEntry> calls(const std::string &name) const;
    std::vector<Bytes> busMessages() const;
    void clear() { m_entries.clear(); }

private:
    void append(TraceEntry entry);

    std::deque<TraceEntry> m_entries;
    std::ofstream m_file;
    bool m_keptInMemory = true;
};

} // namespace emu
