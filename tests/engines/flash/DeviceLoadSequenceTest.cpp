// The download engine and the device-load sequence on their own, without a window: on the
// emulated bus and the manual clock, a face that only says which file each device gets.
#include "engines/flash/DeviceLoadSequence.h"
#include "EmulatedBus.h"
#include "FlashImages.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/DownloadEngine.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <functional>

#include <gtest/gtest.h>

#include <map>

namespace {

// A face that shows nothing and answers every question for a file from its table.
class QuietFace final : public LoadEvents, public FirmwareSource {
public:
    std::map<int, QString> files; // by address; a device not named is refused
    QStringList statuses;
    QStringList debug;
    std::vector<int> progressMaxima;

    void debugText(const QString &text) override { debug << text; }
    void progress(int done, int total) override
    {
        if (done == 0)
            progressMaxima.push_back(total);
    }
    void status(const QString &text, Tone) override { statuses << text; }

    Answer fileFor(const DeviceSelection::Choice &device) override
    {
        const auto named = files.find(device.deviceAddress);
        if (named == files.end())
            return {Answer::Kind::Refused, u"no file"_s};
        return {Answer::Kind::File, named->second, device.knownType};
    }
    bool namesFileFor(int address) const override { return files.count(address) > 0; }
};

struct Load {
    explicit Load(const std::string &scenario, DeviceLoadSequence::AfterFailure afterFailure)
        : bus(scenarioFrom(scenario)), engine(bus.driver, face, nullptr),
          sequence(engine, face, afterFailure, DeviceLoadSequence::RefusedDomes::NotLoaded, nullptr)
    {
        engine.settings().debug = true;
        folder.copyDemo({u"*.hex"_s});
        EXPECT_TRUE(ModuleConnection::connect(bus.driver, ConnectOptions::flashLoader()).connected);
        QObject::connect(&engine, &DownloadEngine::ended, [this](const LoadOutcome &outcome) {
            ended.push_back(outcome.word().toStdString() + ": " + outcome.text.toStdString());
        });
        QObject::connect(&sequence, &Job::started, [this] { batch.push_back("started"); });
        QObject::connect(&sequence, &Job::ended, [this](const JobOutcome &outcome) {
            batch.push_back("ended " + outcome.word().toStdString());
        });
    }

    // Runs the engine's load to its end as a face does, which ends a load that completed
    // with "Upload Complete"; false when it never ends.
    bool settle(std::int64_t limitMs = 600000)
    {
        const std::size_t before = ended.size();
        bool finished = false;
        for (std::int64_t spent = 0; engine.running() && spent < limitMs; spent += 10) {
            if (!finished && ended.size() > before && ended.back().starts_with("loaded")) {
                finished = true;
                engine.finishUpload();
            }
            bus.advance(10);
        }
        return !engine.running();
    }

    // Every address up to highest as the scan would find it, all selected.
    void run(int highest, std::int64_t limitMs = 600000)
    {
        std::vector<ScanRules::ScannedDevice> devices;
        for (int address = 1; address <= highest; ++address) {
            const emu::BusDevice *device = bus.emulator.device(static_cast<std::uint8_t>(address));
            const auto hex = [](std::uint16_t value) { return u"%1"_s.arg(value, 4, 16, QLatin1Char('0')).toUpper(); };
            devices.push_back(device && !device->setup().silent
                                  ? ScanRules::ScannedDevice{address, true, u"D"_s, hex(device->setup().type),
                                                             hex(device->setup().revision)}
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
    std::vector<std::string> ended; // each load's outcome, "word: text"
    std::vector<std::string> batch; // the sequence's own start and end, as its faces hear them
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
        const char *batchEnd; // the word of the sequence's one end
    };
    using After = DeviceLoadSequence::AfterFailure;
    // A bus of its own, every device sound (in place of the fault).
    static const char *const AllLoad = "device 1 type 2315\ndevice 2 type 2315\ndevice 3 type 4008\n"
                                       "device 4 type 4008\ndevice 5 type 4008\n";
    const QString ptz = u"F4008-0111.hex"_s, hd = u"F2315-0202.hex"_s;
    using O = std::vector<std::string>;
    // clang-format off
    const Case cases[] = {
        // The old dome is refused even with a file of its type at hand.
        {"", After::GoOn, {{1, hd}, {3, ptz}, {4, u"F0147-0104.hex"_s}, {5, ptz}},
         O{"1 loaded", "2 not loaded", "3 failed", "4 refused", "5 loaded"}, true, "failed"},
        {"", After::Stop, {{1, hd}, {3, ptz}, {5, ptz}},
         O{"1 loaded", "2 not loaded", "3 failed", "4 not loaded", "5 not loaded"}, false, "failed"},
        // The module lost during the first device: nothing more is tried.
        {"fault unplug-on DevDownLoad 20\n", After::GoOn, {{1, hd}, {3, ptz}, {5, ptz}},
         O{"1 module lost", "2 not loaded", "3 not loaded", "4 not loaded", "5 not loaded"}, false, "module lost"},
        // A silent address whose file is named is loaded where it stands: the emulated
        // device never answers, so its load ends without an answer.
        {"", After::GoOn, {{2, hd}},
         O{"1 refused", "2 failed", "3 refused", "4 refused", "5 refused"}, false, "failed"},
        // A file that cannot be read: refused before anything is sent, no download file left.
        {"", After::GoOn, {{1, u"missing.hex"_s}, {5, ptz}},
         O{"1 refused", "2 not loaded", "3 refused", "4 refused", "5 loaded"}, true, "failed"},
        // Every device asked for loads: the batch completes.
        {AllLoad, After::GoOn, {{1, hd}, {2, hd}, {3, ptz}, {4, ptz}, {5, ptz}},
         O{"1 loaded", "2 loaded", "3 loaded", "4 loaded", "5 loaded"}, true, "loaded"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.outcomes.front() + " " + c.fault);
        Load load(c.fault == AllLoad ? AllLoad : Bus + c.fault, c.afterFailure);
        load.face.files = c.files;
        load.run(5);
        EXPECT_EQ(load.outcomes(), c.outcomes);
        EXPECT_EQ(load.batch, (std::vector<std::string>{"started", std::string("ended ") + c.batchEnd}));
        EXPECT_EQ(load.face.statuses.contains(u"Upload Complete"_s), c.uploadComplete);
        EXPECT_FALSE(QFile::exists(load.folder.path(u"missing.hexa.dwn"_s)));
    }
}

// Interrupted while a device loads: the abort byte goes out, that device is interrupted and
// the rest are not attempted; nothing is said complete.
TEST(DeviceLoadSequence, AnInterruptEndsTheDeviceInHandAndReachesNoMore)
{
    Load load(Bus, DeviceLoadSequence::AfterFailure::GoOn);
    load.face.files = {{1, u"F2315-0202.hex"_s}, {5, u"F4008-0111.hex"_s}};
    load.run(5, 2000);
    ASSERT_TRUE(load.sequence.running());
    load.sequence.interrupt();
    EXPECT_FALSE(load.sequence.running());
    EXPECT_EQ(load.batch, (std::vector<std::string>{"started", "ended interrupted"}));
    EXPECT_EQ(load.outcomes(), (std::vector<std::string>{"1 interrupted", "2 not loaded", "3 not loaded",
                                                         "4 not loaded", "5 not loaded"}));
    EXPECT_EQ(load.sequence.results().front().outcome.text, "Interrupted") << "the terminal's status column";
    EXPECT_FALSE(load.face.statuses.contains(u"Upload Complete"_s));
    EXPECT_EQ(load.bus.emulator.trace().calls("SndModData").size(), 1u) << "the abort byte";
}

// A fault ends a device's load with its own outcome, once and promptly; a lost module
// within 200 ms. The fault is the device's or the link's, not the engine's: the next load
// completes.
TEST(DownloadEngine, EveryFaultEndsTheLoadWithItsOwnOutcomeAndTheNextLoadWorks)
{
    struct Case {
        const char *fault;
        std::size_t unplugAfterDownload; // 0: not unplugged by the test
        const char *outcome;
        std::vector<long long> bytesSent; // to the module
        bool fileSpoiltAfterTheStart = false;
    };
    const char *lost = "module lost: USB Error - Reconnect USB Module and Click Connect USB";
    const Case cases[] = {
        {"load-fault 67 silent", 0, "failed: No Response From Device", {0x1A, 0x1A, 0x1B}},
        {"load-fault 64 silent", 0, "failed: No Response From Device", {0x1B}},
        {"load-fault 67 nak 3", 0, "failed: Buffer OverFlow, Device Adr 3", {}},
        {"load-fault 68 nak 5", 0, "failed: Checksum Error, Device Adr 3", {}},
        {"load-fault 65 nak 11", 0, "failed: Address Error, Device Adr 3", {}},
        {"load-fault 6A nak 9", 0, "failed: Programming Error, Device Adr 3", {}},
        {"load-fault 65 late", 0, "loaded: Load Complete", {0x1A}},
        {"\nfault unplug-on DevDownLoad 1", 0, lost, {}}, // a send fails
        {"\nfault unplug-on DevDownLoad 6", 0, lost, {}}, // a data message fails
        {"", 3, lost, {}},                                // the poll for a reply fails
        // A download file changed after it was checked ends the load with the abort byte.
        {"", 0, "failed: Invalid Load File", {0x1B}, true},
    };
    const QString ptz = u"F4008-0111.hex"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault + std::to_string(c.unplugAfterDownload));
        Load load(std::string("device 3 type 4008 rev 0110 ") + c.fault + "\n", DeviceLoadSequence::AfterFailure::Stop);
        std::size_t downloads = 0;
        std::int64_t unplugged = -1;
        load.bus.driver.afterCall = [&](const char *operation) {
            if (std::string_view(operation) == "DevDownLoad" && ++downloads == c.unplugAfterDownload)
                load.bus.emulator.unplug();
            if (unplugged < 0 && !load.bus.emulator.isPlugged())
                unplugged = load.bus.now();
        };
        ASSERT_FALSE(load.engine.loadDevice(3, ptz, u"4008"_s, true));
        if (c.fileSpoiltAfterTheStart)
            load.folder.write(u"F4008-0111a.dwn"_s, "S0030000FC\r\nS2 not a record\r\n");
        ASSERT_TRUE(load.settle());
        load.bus.advance(30000);
        if (c.fileSpoiltAfterTheStart) {
            EXPECT_FALSE(load.bus.emulator.device(3)->loader().inLoader()) << "the device is not left in its loader";
        }
        EXPECT_EQ(load.ended, std::vector<std::string>{c.outcome});
        std::vector<long long> sent;
        for (const auto &call : load.bus.emulator.trace().calls("SndModData"))
            sent.push_back(call.arguments.at(1));
        EXPECT_EQ(sent, c.bytesSent);
        EXPECT_EQ(load.face.debug.count(u"\nResend Status Request"_s), std::count(sent.begin(), sent.end(), 0x1A));
        if (unplugged >= 0) {
            EXPECT_LE(load.bus.now() - 30000 - unplugged, 200);
            load.bus.driver.afterCall = nullptr;
            load.bus.emulator.plug();
            ASSERT_TRUE(ModuleConnection::connect(load.bus.driver, ConnectOptions::flashLoader()).connected);
        }
        ASSERT_FALSE(load.engine.loadDevice(3, ptz, u"4008"_s, true));
        ASSERT_TRUE(load.settle());
        EXPECT_EQ(load.ended.back(), "loaded: Load Complete");
    }
}

// A device's firmware is checked whole before its first message, by the dry run (a plan)
// as by the load: both say the same, and nothing reaches the device.
TEST(DeviceLoadSequence, ALoadAndItsPlanRefuseTheSameFilesBeforeTheFirstByte)
{
    const QByteArray good = [] {
        QFile demo(QStringLiteral(QUILL_DEMO_DIR "/F4008-0111.hex"));
        return demo.open(QIODevice::ReadOnly) ? demo.readAll() : QByteArray();
    }();
    ASSERT_FALSE(good.isEmpty());
    const qsizetype firstData = good.indexOf("\nS2") + 1;
    QByteArray wrongChecksum = good;
    wrongChecksum[good.indexOf("\r\n", firstData) - 1] =
        wrongChecksum[good.indexOf("\r\n", firstData) - 1] == '0' ? '1' : '0';
    QByteArray doubledCr = good;
    doubledCr.replace("\r\n", "\r\r\n");
    const QString fileError = u"No Loadfile for Device Type = 4008, Adr  3"_s;
    struct Case {
        const char *what;
        std::function<void(const QString &path)> make;
        QString said; // empty: whatever the load says, the plan says too
    };
    const auto write = [](const QByteArray &content) {
        return [content](const QString &path) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        };
    };
    const Case cases[] = {
        {"missing", [](const QString &) {}, fileError},
        {"a folder", [](const QString &path) { QDir().mkdir(path); }, fileError},
        {"a FIFO", [](const QString &path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); }, fileError},
        {"a dangling link", [](const QString &path) { QFile::link(path + u".gone"_s, path); }, fileError},
        {"3 GB, sparse",
         [](const QString &path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(3LL << 30));
         },
         fileError},
        {"empty", write({}), u"Improper File Format"_s},
        {"binary",
         write(QByteArray("\x7F"
                          "ELF\x02\x01\x01\0\0\0\xFF\xFE\r\n",
                          14)
                   .repeated(64)),
         {}},
        {"cut mid-record", write(good.left(good.indexOf("\r\n", good.size() * 9 / 10) - 7)), u"Invalid Load File"_s},
        {"a wrong record checksum", write(wrongChecksum), u"Invalid Load File"_s},
        {"CR CR LF lines", write(doubledCr), u"Invalid Load File"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load load("device 3 type 4008 rev 0105\n", DeviceLoadSequence::AfterFailure::GoOn);
        const QString file = load.folder.path(u"F4008-0200.hex"_s);
        c.make(file);
        load.face.files[3] = file;
        const std::vector<ScanRules::ScannedDevice> devices{{3, true, u"PTZ"_s, u"4008"_s, u"0105"_s}};
        const std::vector<DeviceResult> planned = load.sequence.plan(devices, {true});
        load.sequence.start(devices, {true});
        for (int spent = 0; load.sequence.running() && spent < 60000; spent += 10)
            load.bus.advance(10);
        ASSERT_EQ(planned.size(), 1u);
        ASSERT_EQ(load.sequence.results().size(), 1u);
        const LoadOutcome &loaded = load.sequence.results().front().outcome;
        EXPECT_EQ(loaded.kind, LoadOutcome::Kind::Refused) << loaded.text.toStdString();
        EXPECT_EQ(planned.front().outcome.kind, LoadOutcome::Kind::Refused);
        EXPECT_EQ(planned.front().outcome.text, loaded.text);
        if (!c.said.isEmpty()) {
            EXPECT_EQ(loaded.text, c.said);
        }
        EXPECT_EQ(load.bus.callCount("DevDownLoad"), 0u) << "nothing reaches the device";
    }
}

// An S0 header and one 16-byte record at 1000h, sent whole to a device of no listed type.
TEST(DownloadEngine, OneRecordFileGoesAsSetAddressOneMessageCommitAndChecksum)
{
    Load load("device 3 type 4008\n", DeviceLoadSequence::AfterFailure::Stop);
    load.folder.write(u"ONE.hex"_s, "S00600004844521B\r\nS1131000000102030405060708090A0B0C0D0E0F64\r\n");
    ASSERT_FALSE(load.engine.loadWholeFile(u"./ONE.hex"_s, 3, false));
    ASSERT_TRUE(load.settle());
    EXPECT_EQ(load.ended, std::vector<std::string>{"loaded: Load Complete"});
    EXPECT_EQ(flashDifferences(load.bus.emulator.device(3)->loader().flash(),
                               expectedImages(load.folder.path(u"ONE.hex"_s), 0, true)),
              0u);

    std::vector<emu::Bytes> sent = load.bus.emulator.trace().busMessages();
    std::erase_if(sent, [](const emu::Bytes &m) { return m.size() < 6 || m[0] != 3 || m[3] != 0x03; });
    std::vector<std::pair<int, std::size_t>> codesAndLengths;
    for (const emu::Bytes &m : sent)
        codesAndLengths.emplace_back(m[5], m.size());
    EXPECT_EQ(codesAndLengths,
              (std::vector<std::pair<int, std::size_t>>{
                  {0x63, 7}, {0x64, 7}, {0x6A, 7}, {0x65, 9}, {0x66, 22}, {0x67, 6}, {0x68, 8}, {0x69, 6}}));
    EXPECT_EQ(emu::Bytes(sent[3].begin() + 6, sent[3].end()), (emu::Bytes{0x00, 0x10, 0x00})) << "not a listed type";
    // Data 00..0F sum to 0x78: the checksum is its two's complement.
    EXPECT_EQ(emu::Bytes(sent[6].begin() + 6, sent[6].end()), (emu::Bytes{0xFF, 0x88}));
    // Sequence numbers: 0 for the connection, 1 for the program request, then one more each.
    std::vector<long long> sequences;
    for (const auto &call : load.bus.emulator.trace().calls("DevDownLoad"))
        sequences.push_back(call.arguments.at(2));
    EXPECT_EQ(sequences, (std::vector<long long>{0, 1, 2, 3, 4, 5, 6, 7}));
}
