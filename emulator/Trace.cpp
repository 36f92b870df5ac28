#include "emulator/Trace.h"

namespace emu {

std::string TraceEntry::text() const
{
    std::string line = std::to_string(timeMs) + " ";
    if (kind == Kind::BusMessage)
        return line + "bus " + toHex(message);
    line += name + "(";
    for (std::size_t i = 0; i < arguments.size(); ++i)
        line += (i ? ", " : "") + std::to_string(arguments[i]);
    return line + ") = " + std::to_string(result);
}

void Trace::setFile(const std::string &path)
{
    m_file.close();
    if (!path.empty())
        m_file.open(path, std::ios::out | std::ios::trunc);
}

void Trace::addCall(std::int64_t timeMs, std::string name, std::vector<long long> arguments, std::int32_t result)
{
    append({TraceEntry::Kind::Call, timeMs, std::move(name), std::move(arguments), result, {}});
}

void Trace::addBusMessage(std::int64_t timeMs, const Bytes &message)
{
    append({TraceEntry::Kind::BusMessage, timeMs, "bus", {}, 0, message});
}

std::vector<TraceEntry> Trace::calls(const std::string &name) const
{
    std::vector<TraceEntry> found;
    for (const TraceEntry &e : m_entries) {
        if (e.kind == TraceEntry::Kind::Call && e.name == name)
            found.push_back(e);
    }
    return found;
}

std::vector<Bytes> Trace::busMessages() const
{
    std::vector<Bytes> found;
    for (const TraceEntry &e : m_entries) {
        if (e.kind == TraceEntry::Kind::BusMessage)
            found.push_back(e.message);
    }
    return found;
}

void Trace::append(TraceEntry entry)
{
    if (m_file.is_open())
        m_file << entry.text() << '\n' << std::flush;
    if (!m_keptInMemory)
        return;
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > MaxEntries)
        m_entries.pop_front();
}

} // namespace emu
