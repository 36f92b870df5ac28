#include "emulator/BusState.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace emu {
namespace {

constexpr char Heading[] = "# Quillbus emulated bus state: revisions and flash kept between commands";
constexpr std::size_t BytesPerLine = 64;

void writeRemembered(std::ostringstream &out, const std::string &who, const Remembered &r)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X", r.revision);
    out << who << " revision " << text << '\n';
    // The written bytes in runs of consecutive addresses, a line at most BytesPerLine long.
    const auto &bytes = r.flash.written();
    for (auto it = bytes.begin(); it != bytes.end();) {
        std::snprintf(text, sizeof text, "%08X", it->first);
        out << who << " flash " << text << ' ';
        std::uint32_t next = it->first;
        for (std::size_t n = 0; it != bytes.end() && it->first == next && n < BytesPerLine; ++it, ++next, ++n) {
            std::snprintf(text, sizeof text, "%02X", it->second);
            out << text;
        }
        out << '\n';
    }
}

std::optional<unsigned long> hexNumber(const std::string &word, std::size_t digits)
{
    if (word.empty() || word.size() > digits || word.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return std::nullopt;
    return std::stoul(word, nullptr, 16);
}

bool readLine(const std::vector<std::string> &w, BusState &state)
{
    Remembered *into = nullptr;
    std::size_t at = 1;
    if (w.size() >= 3 && w[0] == "module") {
        if (!state.module)
            state.module.emplace();
        into = &*state.module;
    } else if (w.size() >= 4 && w[0] == "device") {
        if (w[1].empty() || w[1].size() > 3 || w[1].find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(w[1]) > 255)
            return false;
        into = &state.devices[static_cast<std::uint8_t>(std::stoul(w[1]))];
        at = 2;
    } else {
        return false;
    }
    if (w[at] == "revision" && w.size() == at + 2) {
        const auto revision = hexNumber(w[at + 1], 4);
        into->revision = static_cast<std::uint16_t>(revision.value_or(0));
        return revision.has_value();
    }
    if (w[at] == "flash" && w.size() == at + 3 && w[at + 2].size() % 2 == 0) {
        const auto address = hexNumber(w[at + 1], 8);
        if (!address)
            return false;
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < w[at + 2].size(); i += 2) {
            const auto byte = hexNumber(w[at + 2].substr(i, 2), 2);
            if (!byte)
                return false;
            bytes.push_back(static_cast<std::uint8_t>(*byte));
        }
        into->flash.write(static_cast<std::uint32_t>(*address), bytes);
        return true;
    }
    return false;
}

// A lock for the time of one read-change-write; released when it goes.
class FileLock {
public:
    explicit FileLock(const std::string &path) : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

} // namespace

std::string formatBusState(const BusState &state)
{
    std::ostringstream out;
    out << Heading << '\n';
    if (state.module)
        writeRemembered(out, "module", *state.module);
    for (const auto &[address, remembered] : state.devices)
        writeRemembered(out, "device " + std::to_string(address), remembered);
    return out.str();
}

std::optional<BusState> parseBusState(const std::string &text, std::string &why)
{
    BusState state;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (!readLine(w, state)) {
            why = "line " + std::to_string(number) + " is not a bus state line";
            return std::nullopt;
        }
    }
    return state;
}

std::optional<BusState> readBusState(const std::string &path, std::string &why)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (errno == ENOENT)
            return BusState{};
        why = std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        why = "read error";
        return std::nullopt;
    }
    return parseBusState(text.str(), why);
}

bool saveBusState(const std::string &path, const BusState &changes, std::string &why)
{
    const FileLock lock(path + ".lock");
    if (!lock.held()) {
        why = "cannot lock " + path + ".lock: " + std::strerror(errno);
        return false;
    }
    // A file that is not a bus state is left as it is: what it holds may still be read by
    // hand, and a guess over it would lose it.
    std::optional<BusState> state = readBusState(path, why);
    if (!state) {
        why = "not a bus state (" + why + "); left as it is";
        return false;
    }
    // A load replaces the firmware: what the file held before for it goes.
    if (changes.module)
        state->module = changes.module;
    for (const auto &[address, changed] : changes.devices)
        state->devices[address] = changed;
    const std::string aside = path + ".new";
    {
        std::ofstream out(aside, std::ios::binary | std::ios::trunc);
        out << formatBusState(*state);
        out.flush();
        if (!out) {
            why = "cannot write " + aside;
            std::remove(aside.c_str());
            return false;
        }
    }
    if (std::rename(aside.c_str(), path.c_str()) != 0) {
        why = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(aside.c_str());
        return false;
    }
    return true;
}

} // namespace emu
