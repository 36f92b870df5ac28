// The device-load sequence on its own, without a window: the engine on the emulated bus
// and the manual clock, a face that only says which file each device gets.
#include "DeviceLoadSequence.h"
#include "DownloadEngine.h"
#include "EmulatedBus.h"
#include "ModuleConnection.h"
#include "WorkingFolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <map>

namespace {

// A face that shows nothing and answers every question for a file from its table.
class QuietFace final : public LoadHost, public FirmwareSource {
public:
    std::map<int, QString> files; // by address; a device not named is refused
    QStringList statuses;

    bool deviceMode() const override { return true; }
    void showStatus(const QString &text, Colour) override { statuses << text; }

    Answer fileFor(const DeviceSelection::Choice &device) override
    {
        const auto named = files.find(device.deviceAddress);
        if (named == files.end())
            return {Answer::Kind::Refused, QStringLiteral("no file")};
        return {Answer::Kind::File, named->second, device.knownType};
    }
    bool namesFileFor(int address) const override { return files.count(address) > 0; }
};

struct Load {
    explicit Load(const std::string &scenario, DeviceLoadSequence::AfterFailure afterFailure)
        : bus(scenarioFrom(scenario)), engine(bus.driver, face, nullptr),
          sequence(engine, face, afterFailure, DeviceLoadSequence::RefusedDomes::NotLoaded, nullptr)
    {
        const QDir demo(QStringLiteral(QUILL_DEMO_DIR));
        for (const QString &name : demo.entryList({QStringLiteral("*.hex")}, QDir::Files))
            QFile::copy(demo.filePath(name), folder.path(name));
        EXPECT_TRUE(ModuleConnection::connect(bus.driver, ConnectOptions::flashLoader()).connected);
    }

    // Every address up to highest as the scan would find it, all selected.
    void run(int highest, std::int64_t limitMs = 600000)
    {
        std::vector<ScanRules::ScannedDevice> devices;
        for (int address = 1; address <= highest; ++address) {
            const emu::BusDevice *device = bus.emulator.device(static_cast<std::uint8_t>(address));
            const auto hex = [](std::uint16_t value) {
                return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
            };
            devices.push_back(device && !device->setup().silent
                                  ? ScanRules::ScannedDevice{address, true, QStringLiteral("D"),
                                                             hex(device->setup().type), hex(device->setup().revision)}
                                  : ScanRules::device(address));
        }
        sequence.start(devices, std::vector<bool>(devices.size(), true));
        for (std::int64_t spent = 0; sequence.running() && spent < limitMs; spent += 10)
            bus.advance(10);
    }

    // Each device's outcome in one word, in order.
    std::vector<std::string> outcomes() const
    {
        std::vector<std::string> words;
        for (const DeviceResult &r : sequence.results())
            words.push_back(std::to_string(r.device.address) + " " + r.outcome.word().toStdString());
        return words;
    }

    WorkingFolder folder;
    EmulatedBus bus;
    QuietFace face;
    DownloadEngine engine;
    DeviceLoadSequence sequence;
};

const std::string Bus = "device 1 type 2315 rev 0200 name \"HD\"\n"
                        "device 2 type 2315 rev 0200 name \"QUIET\" silent\n"
                        "device 3 type 4008 rev 0105 name \"PTZ\" load-fault 68 nak 5\n"
                        "device 4 type 0147 rev 0101 name \"OLD\"\n"
                        "device 5 type 4008 rev 0105 name \"PTZ\"\n";

} // namespace

// Each device ends with its own outcome; where the faces differ (the window stops at the
// first device not loaded, the terminal goes on) only the walk's end differs, and "Upload
// Complete" is said only when the walk reached its end and something was loaded.
TEST(DeviceLoadSequence, EveryDeviceEndsWithItsOutcome)
{
    struct Case {
        const char *fault;
        DeviceLoadSequence::AfterFailure afterFailure;
        std::map<int, QString> files;
        std::vector<std::string> outcomes;
        bool uploadComplete;
    };
    using After = DeviceLoadSequence::AfterFailure;
    const QString ptz = QStringLiteral("F4008-0111.hex"), hd = QStringLiteral("F2315-0202.hex");
    const Case cases[] = {
        {"",
         After::GoOn,
         {{1, hd}, {3, ptz}, {5, ptz}},
         {"1 loaded", "2 not loaded", "3 failed", "4 refused", "5 loaded"},
         true},
        {"",
         After::Stop,
         {{1, hd}, {3, ptz}, {5, ptz}},
         {"1 loaded", "2 not loaded", "3 failed", "4 not loaded", "5 not loaded"},
         false},
        // The module lost during the first device: nothing more is tried.
        {"fault unplug-on DevDownLoad 20\n",
         After::GoOn,
         {{1, hd}, {3, ptz}, {5, ptz}},
         {"1 module lost", "2 not loaded", "3 not loaded", "4 not loaded", "5 not loaded"},
         false},
        // A silent address whose file is named is loaded where it stands: the emulated
        // device never answers, so its load ends without an answer.
        {"", After::GoOn, {{2, hd}}, {"1 refused", "2 failed", "3 refused", "4 refused", "5 refused"}, false},
        // A file that cannot be read: refused before anything is sent, no download file left.
        {"",
         After::GoOn,
         {{1, QStringLiteral("missing.hex")}, {5, ptz}},
         {"1 refused", "2 not loaded", "3 refused", "4 refused", "5 loaded"},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.outcomes.front() + " " + c.fault);
        Load load(Bus + c.fault, c.afterFailure);
        load.face.files = c.files;
        load.run(5);
        EXPECT_EQ(load.outcomes(), c.outcomes);
        EXPECT_EQ(load.face.statuses.contains(QStringLiteral("Upload Complete")), c.uploadComplete);
        EXPECT_FALSE(QFile::exists(load.folder.path(QStringLiteral("missing.hexa.dwn"))));
    }
}

// Interrupted while a device loads: the abort byte goes out, that device is interrupted and
// the rest are not attempted; nothing is said complete.
TEST(DeviceLoadSequence, AnInterruptEndsTheDeviceInHandAndReachesNoMore)
{
    Load load(Bus, DeviceLoadSequence::AfterFailure::GoOn);
    load.face.files = {{1, QStringLiteral("F2315-0202.hex")}, {5, QStringLiteral("F4008-0111.hex")}};
    load.run(5, 2000);
    ASSERT_TRUE(load.sequence.running());
    load.sequence.interrupt();
    EXPECT_FALSE(load.sequence.running());
    EXPECT_EQ(load.outcomes(), (std::vector<std::string>{"1 interrupted", "2 not loaded", "3 not loaded",
                                                         "4 not loaded", "5 not loaded"}));
    EXPECT_EQ(load.sequence.results().front().outcome.text, "Interrupted") << "the terminal's status column";
    EXPECT_FALSE(load.face.statuses.contains(QStringLiteral("Upload Complete")));
    EXPECT_EQ(load.bus.emulator.trace().calls("SndModData").size(), 1u) << "the abort byte";
}
