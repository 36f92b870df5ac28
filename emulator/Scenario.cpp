#include "emulator/Scenario.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string_view>

namespace emu {

const char *const DefaultScenarioText =
    R"(# A populated bus: domes of several types, an alarm interface, gaps between addresses.
module mode app
module revision 1.02
driver version 1.05
device 1  type 2315 rev 0200 name "HDOME "
device 2  type 2315 rev 0201 name "HDOME "
device 3  type 4008 rev 0105 name "PTZ   "
device 5  type 0147 rev 0101 name "DOME  "
device 6  type 0147 rev 0103 name "DOME  "
device 9  type 2507 rev 0100 name "ALARM "
device 10 type 4008 rev 0110 name "PTZ   "
device 12 type 2315 rev 0202 name "HDOME "
device 14 type 2507 rev 0101 name "ALARM "
traffic 25
)";

namespace {

struct Parser {
    int lineNumber = 0;
    ScenarioError failure;

    bool fail(const std::string &message)
    {
        failure = {lineNumber, message};
        return false;
    }
};

// Splits a line into words; a double-quoted word may hold blanks.
bool splitWords(const std::string &line, std::vector<std::string> &words, std::string &why)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) {
                why = "unterminated quoted text";
                return false;
            }
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '#')
            ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return true;
}

// Whole-string number: decimal, or hexadecimal with a 0x prefix.
std::optional<long long> parseNumber(const std::string &text, int base = 10)
{
    if (text.empty())
        return std::nullopt;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    try {
        std::size_t used = 0;
        const long long value = std::stoll(digits, &used, base);
        if (used != digits.size())
            return std::nullopt;
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::uint16_t> parseHexWord(const std::string &text)
{
    const auto value = parseNumber(text, 16);
    if (!value || *value < 0 || *value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

// "1.02": major and minor as the hexadecimal digits written (BCD).
bool parseBcdRevision(const std::string &text, std::uint8_t &major, std::uint8_t &minor)
{
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos)
        return false;
    const auto hi = parseNumber(text.substr(0, dot), 16);
    const auto lo = parseNumber(text.substr(dot + 1), 16);
    if (!hi || !lo || *hi < 0 || *hi > 0xFF || *lo < 0 || *lo > 0xFF)
        return false;
    major = static_cast<std::uint8_t>(*hi);
    minor = static_cast<std::uint8_t>(*lo);
    return true;
}

// "load-fault 67 nak 5": the step's code in hex, then silent, late or nak with a status.
// Returns the number of words used, 0 on a mistake.
std::size_t parseLoadFault(Parser &p, const std::vector<std::string> &w, std::size_t at, LoaderFaults &faults)
{
    if (at + 1 >= w.size())
        return p.fail("load-fault needs a step code (13-16 or 63-6A) and a kind"), 0;
    const auto step = parseNumber(w[at], 16);
    if (!step || *step < 0x13 || *step > 0x6A)
        return p.fail("load-fault needs a step code (13-16 or 63-6A) and a kind"), 0;
    LoaderFault fault;
    const std::string &kind = w[at + 1];
    std::size_t used = 2;
    if (kind == "silent") {
        fault.kind = LoaderFault::Kind::Silent;
    } else if (kind == "late") {
        fault.kind = LoaderFault::Kind::Late;
    } else if (kind == "corrupt") {
        fault.kind = LoaderFault::Kind::Corrupt;
    } else if (kind == "nak" && at + 2 < w.size()) {
        const auto status = parseNumber(w[at + 2]);
        if (!status || *status < 1 || *status > 255)
            return p.fail("nak needs a status from 1 to 255"), 0;
        fault.kind = LoaderFault::Kind::Nak;
        fault.status = static_cast<std::uint8_t>(*status);
        used = 3;
    } else {
        return p.fail("load-fault kind is silent, late, corrupt or nak STATUS"), 0;
    }
    faults[static_cast<std::uint8_t>(*step)] = fault;
    return used;
}

bool parseModule(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    if (w.size() < 2)
        return p.fail("module needs a setting");
    const std::string &what = w[1];
    if (what == "unplugged" && w.size() == 2) {
        s.unplugged = true;
        return true;
    }
    if (what == "load-fault")
        return parseLoadFault(p, w, 2, s.moduleLoadFaults) == w.size() - 2 ||
               p.fail("unexpected words after load-fault");
    if (what == "revision" && w.size() == 3) {
        if (!parseBcdRevision(w[2], s.revisionMajor, s.revisionMinor))
            return p.fail("revision must read like 1.02");
        return true;
    }
    if (what != "mode" || w.size() < 3)
        return p.fail("unknown module setting '" + what + "'");

    const std::string &mode = w[2];
    const auto argument = [&]() -> std::optional<long long> {
        return w.size() == 4 ? parseNumber(w[3]) : std::nullopt;
    };
    if (w.size() == 3 && (mode == "none" || mode == "app" || mode == "boot")) {
        s.connectionWord = mode == "none" ? 0x00 : mode == "app" ? 0x80 : 0x81;
        return true;
    }
    if (mode == "preapp" || mode == "preboot") {
        const auto n = argument();
        if (!n || *n < 1 || *n > 255)
            return p.fail(mode + " needs a number from 1 to 255");
        s.connectionWord = static_cast<std::int32_t>((*n << 8) | (mode == "preapp" ? 0x80 : 0x81));
        return true;
    }
    if (mode == "word" || mode == "error") {
        const auto n = argument();
        if (!n || *n < INT32_MIN || *n > UINT32_MAX)
            return p.fail(mode + " needs a number");
        s.connectionWord = static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
        return true;
    }
    return p.fail("unknown module mode '" + mode + "'");
}

bool parseDriver(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    if (w.size() != 3 || w[1] != "version")
        return p.fail("driver takes: version 1.05");
    const std::size_t dot = w[2].find('.');
    if (dot == std::string::npos) {
        const auto n = parseNumber(w[2]);
        if (!n || *n < 0 || *n > 0xFFFF)
            return p.fail("driver version must read like 1.05 or 0x0105");
        s.driverVersion = static_cast<std::int32_t>(*n);
        return true;
    }
    const auto major = parseNumber(w[2].substr(0, dot));
    const auto minor = parseNumber(w[2].substr(dot + 1));
    if (!major || !minor || *major < 0 || *major > 255 || *minor < 0 || *minor > 255)
        return p.fail("driver version must read like 1.05 or 0x0105");
    s.driverVersion = static_cast<std::int32_t>((*major << 8) | *minor);
    return true;
}

// A device's identity on the bus: its type, revision and name. Nothing when key is not one.
std::optional<bool> parseIdentity(Parser &p, const std::string &key, const std::string &value, DeviceSetup &d)
{
    if (key == "type" || key == "rev") {
        const auto word = parseHexWord(value);
        if (!word)
            return p.fail(key + " must be up to four hex digits");
        (key == "type" ? d.type : d.revision) = *word;
    } else if (key == "name") {
        // The name goes on the bus byte for byte, as a device sends it.
        if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= ' ' && c <= '~'; }))
            return p.fail("name holds printable ASCII characters only, one byte each as the device sends them");
        if (value.size() > 6)
            return p.fail("name holds at most six characters");
        d.name = value + std::string(6 - value.size(), ' ');
    } else {
        return std::nullopt;
    }
    return true;
}

// How a device behaves: its faults, answers and timing.
bool parseBehaviour(Parser &p, const std::string &key, const std::string &value, DeviceSetup &d)
{
    if (key == "config") {
        static const std::pair<const char *, ConfigFault> faults[] = {{"late", ConfigFault::Late},
                                                                      {"wrong-address", ConfigFault::WrongAddress},
                                                                      {"wrong-code", ConfigFault::WrongCode},
                                                                      {"wrong-length", ConfigFault::WrongLength},
                                                                      {"long", ConfigFault::Long},
                                                                      {"retry-only", ConfigFault::RetryOnly}};
        bool known = false;
        for (const auto &[word, fault] : faults) {
            if (value == word) {
                d.configFault = fault;
                known = true;
            }
        }
        if (!known)
            return p.fail("config takes late, wrong-address, wrong-code, wrong-length, long or retry-only");
    } else if (key == "flash") {
        if (value.size() != 12)
            return p.fail("flash takes twelve hex digits");
        for (std::size_t k = 0; k < 12; k += 2) {
            const auto byte = parseHexWord(value.substr(k, 2));
            if (!byte)
                return p.fail("flash takes twelve hex digits");
            d.flashRevision.push_back(static_cast<std::uint8_t>(*byte));
        }
    } else if (key == "ping-loss" || key == "ping-delay") {
        const auto n = parseNumber(value);
        if (!n || *n < 0 || *n > 60000)
            return p.fail(key + " takes a number from 0");
        (key == "ping-loss" ? d.pingLossEvery : d.pingDelayMs) = static_cast<int>(*n);
    } else if (key == "alarms") {
        const auto bits = parseNumber(value);
        if (!bits || *bits < 0 || *bits > 0x0F)
            return p.fail("alarms takes the four input bits, 0 to 0x0F");
        d.alarmInputs = static_cast<std::uint8_t>(*bits);
    } else if (key == "ncpc-reply") {
        if (value != "short" && value != "long-target" && value != "big-zoom")
            return p.fail("ncpc-reply takes short, long-target or big-zoom");
        d.engineeringReplyFault = value;
    } else if (key == "zoom") {
        const auto zoom = parseNumber(value);
        if (!zoom || *zoom < 0 || *zoom > 255)
            return p.fail("zoom must be 0 (no camera) to 255");
        d.zoom = static_cast<int>(*zoom);
    } else if (key == "delay") {
        const auto ms = parseNumber(value);
        if (!ms || *ms < 0 || *ms > 60000)
            return p.fail("delay must be 0 to 60000 ms");
        d.replyDelayMs = static_cast<int>(*ms);
    } else {
        return p.fail("unknown device setting '" + key + "'");
    }
    return true;
}

bool parseDeviceSetting(Parser &p, const std::string &key, const std::string &value, DeviceSetup &d)
{
    if (const std::optional<bool> identity = parseIdentity(p, key, value, d))
        return *identity;
    return parseBehaviour(p, key, value, d);
}

bool parseDevice(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    if (w.size() < 2)
        return p.fail("device needs an address");
    const auto address = parseNumber(w[1]);
    if (!address || *address < 1 || *address > 254)
        return p.fail("device address must be 1 to 254");
    DeviceSetup d;
    d.address = static_cast<std::uint8_t>(*address);
    d.name = "      ";
    bool haveType = false;
    for (std::size_t i = 2; i < w.size(); ++i) {
        const std::string &key = w[i];
        if (key == "silent") {
            d.silent = true;
            continue;
        }
        if (key == "load-fault") {
            const std::size_t used = parseLoadFault(p, w, i + 1, d.loadFaults);
            if (used == 0)
                return false;
            i += used;
            continue;
        }
        if (i + 1 >= w.size())
            return p.fail("'" + key + "' needs a value");
        const std::string &value = w[++i];
        if (!parseDeviceSetting(p, key, value, d))
            return false;
        haveType = haveType || key == "type";
    }
    if (!haveType)
        return p.fail("device needs a type");
    if (s.device(d.address))
        return p.fail("address " + std::to_string(d.address) + " is already taken");
    s.devices.push_back(d);
    return true;
}

bool parseTraffic(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    const auto rate = w.size() >= 2 ? parseNumber(w[1]) : std::nullopt;
    if (!rate || *rate < 0 || *rate > 1000)
        return p.fail("traffic takes messages per second, 0 to 1000 [seed N]");
    s.trafficPerSecond = static_cast<int>(*rate);
    if (w.size() == 4 && w[2] == "seed") {
        const auto seed = parseNumber(w[3]);
        if (!seed || *seed < 0)
            return p.fail("seed must be a number");
        s.trafficSeed = static_cast<unsigned>(*seed);
    } else if (w.size() != 2) {
        return p.fail("traffic takes messages per second, 0 to 1000 [seed N]");
    }
    return true;
}

// "alarm 3 0x0E at 2000": the dome's alarm inputs change at that time (ms).
bool parseAlarm(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    if (w.size() != 5 || w[3] != "at")
        return p.fail("alarm takes ADDRESS INPUTS at MS");
    const auto address = parseNumber(w[1]);
    const auto inputs = parseNumber(w[2]);
    const auto at = parseNumber(w[4]);
    if (!address || *address < 1 || *address > 254 || !inputs || *inputs < 0 || *inputs > 0x0F || !at || *at < 0)
        return p.fail("alarm takes ADDRESS INPUTS at MS");
    s.alarmChanges.push_back(
        {static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(*inputs), static_cast<std::int64_t>(*at)});
    return true;
}

// The driver's operations, as a fault names them.
constexpr std::array<std::string_view, 24> Operations = {
    "OpenUSBDriver", "CloseUSBDriver", "GetDevDescr",    "GetQwilUsbVersion", "GetData",         "QwilAnalyzer",
    "ConfigQwil",    "GetConfigData",  "SetConfigData",  "SndQwilData",       "SndModData",      "DevDownLoad",
    "DevPan",        "DevTilt",        "DevZoom",        "DevFocus",          "DevIris",         "DevTarget",
    "DevPattern",    "MiscDevCtrl",    "GetABSPosition", "GotoABSPosition",   "GetDeviceStatus", "DevPing"};

bool parseFault(Parser &p, const std::vector<std::string> &w, Scenario &s)
{
    if (w.size() >= 3 && (w[1] == "unplug-on" || w[1] == "result") &&
        std::find(Operations.begin(), Operations.end(), w[2]) == Operations.end())
        return p.fail("fault names an operation the driver does not have: " + w[2]);
    if (w.size() == 4 && w[1] == "unplug-on") {
        const auto n = parseNumber(w[3]);
        if (!n || *n < 1 || *n > 1000000)
            return p.fail("unplug-on needs a call count from 1");
        s.faults.push_back({FaultSetup::Kind::UnplugOnCall, w[2], static_cast<int>(*n)});
        return true;
    }
    if ((w.size() == 4 || (w.size() == 6 && w[4] == "on")) && w[1] == "result") {
        const auto result = parseNumber(w[3]);
        const auto n = w.size() == 6 ? parseNumber(w[5]) : std::optional<long long>(0);
        if (!result || *result < INT32_MIN || *result > INT32_MAX || !n || *n < 0 || *n > 1000000)
            return p.fail("result takes OPERATION CODE [on N]");
        FaultSetup fault{FaultSetup::Kind::ResultOf, w[2], static_cast<int>(*n), static_cast<std::int32_t>(*result)};
        s.faults.push_back(fault);
        return true;
    }
    return p.fail("unknown fault; known: unplug-on OPERATION N, result OPERATION CODE [on N]");
}

// Why a file of this kind cannot be a scenario; empty for a regular file.
std::string kindProblem(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return std::strerror(EISDIR);
    if (S_ISFIFO(mode))
        return "not a regular file (a pipe)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "not a regular file (a device)";
    return "not a regular file";
}

// Reads a regular file whole; the reason when it cannot. A pipe or a device is refused
// without waiting on it: the open does not block, and the open file is examined again in
// case the name was replaced after it was looked at.
std::string readRegularFile(const std::string &path, std::string &text)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (std::string problem = kindProblem(info.st_mode); !problem.empty())
        return problem;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::strerror(errno);
    std::string why;
    if (::fstat(fd, &info) != 0)
        why = std::strerror(errno);
    else
        why = kindProblem(info.st_mode);
    char chunk[65536];
    while (why.empty()) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0)
            text.append(chunk, static_cast<std::size_t>(got));
        else if (got == 0)
            break;
        else if (errno != EINTR)
            why = std::strerror(errno);
    }
    ::close(fd);
    return why;
}

} // namespace

int DeviceSetup::opticalZoom() const
{
    if (zoom >= 0)
        return zoom;
    switch (type) {
    case 0x2507: return 0; // the alarm interface has no camera
    case 0x2315: return 23;
    case 0x4008: return 35;
    case 0x0147: return 18;
    default: return 10;
    }
}

Scenario Scenario::defaultBus()
{
    auto parsed = parseScenario(DefaultScenarioText);
    return parsed ? *parsed : Scenario{};
}

const DeviceSetup *Scenario::device(std::uint8_t address) const
{
    for (const DeviceSetup &d : devices) {
        if (d.address == address)
            return &d;
    }
    return nullptr;
}

std::optional<Scenario> parseScenario(const std::string &text, ScenarioError *error)
{
    Scenario scenario;
    Parser p;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        ++p.lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> words;
        std::string why;
        bool ok = splitWords(line, words, why) || p.fail(why);
        if (ok && !words.empty()) {
            const std::string &keyword = words[0];
            if (keyword == "module")
                ok = parseModule(p, words, scenario);
            else if (keyword == "driver")
                ok = parseDriver(p, words, scenario);
            else if (keyword == "device")
                ok = parseDevice(p, words, scenario);
            else if (keyword == "fault")
                ok = parseFault(p, words, scenario);
            else if (keyword == "alarm")
                ok = parseAlarm(p, words, scenario);
            else if (keyword == "traffic")
                ok = parseTraffic(p, words, scenario);
            else if (keyword == "trace" && words.size() == 2)
                scenario.traceFile = words[1];
            else if (keyword == "state" && words.size() == 2)
                scenario.stateFile = words[1];
            else
                ok = p.fail("unknown line '" + keyword + "'");
        }
        if (!ok) {
            if (error)
                *error = p.failure;
            return std::nullopt;
        }
    }
    return scenario;
}

std::optional<Scenario> loadScenarioFile(const std::string &path, ScenarioError *error)
{
    std::string text;
    const std::string why = readRegularFile(path, text);
    if (!why.empty()) {
        if (error)
            *error = {0, "cannot read scenario file " + path + ": " + why};
        return std::nullopt;
    }
    std::optional<Scenario> scenario = parseScenario(text, error);
    // The bus's memory belongs with its scenario, wherever a command is started from.
    const std::size_t slash = path.rfind('/');
    if (scenario && !scenario->stateFile.empty() && scenario->stateFile[0] != '/' && slash != std::string::npos)
        scenario->stateFile = path.substr(0, slash + 1) + scenario->stateFile;
    return scenario;
}

} // namespace emu
