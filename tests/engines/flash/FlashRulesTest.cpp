#include "engines/flash/AddressKeypad.h"
#include "engines/flash/DebugDump.h"
#include "engines/flash/DeviceSelection.h"
#include "engines/flash/FirmwareChoice.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/ScanRules.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <array>

TEST(LoadStatus, EveryCodeHasItsWords)
{
    // clang-format off
    const std::pair<int, const char *> cases[] = {
        {1, "Checksum Error"}, {2, "Programming Error"}, {3, "Address Error"}, {4, "Sequence Error"},
        {5, "USB Error - Reconnect USB Module and Click Connect USB"}, {6, "Invalid Request"},
        {7, "No Response From Device"}, {10, "Invalid Load File"}, {20, "Invalid Quillbus Address"},
        {0, "Unknown Error = 0"}, {8, "Unknown Error = 8"}, {11, "Unknown Error = B"}, {255, "Unknown Error = FF"},
    };
    // clang-format on
    for (const auto &[code, text] : cases)
        EXPECT_EQ(LoadStatus::text(code), text) << code;
}

TEST(ScanRules, WaitPerAddressGrowsWithTheRange)
{
    const std::pair<int, int> cases[] = {{1, 250},  {16, 250}, {17, 500},  {32, 500},
                                         {33, 750}, {64, 750}, {65, 1000}, {96, 1000}};
    for (const auto &[highest, wait] : cases)
        EXPECT_EQ(ScanRules::perAddressTimeoutMs(highest), wait) << highest;
}

TEST(ScanRules, DevicesAndTheirRowsKeepTheirColumns)
{
    // Sent form: F0, address, flags, socket, 01, C4, 10, then type, revision, name.
    std::array<std::uint8_t, 31> reply{0xF0, 10,   0x00, 0x02, 0x01, 0xC4, 10,   0x23, 0x15,
                                       0x01, 0x00, 'H',  'D',  '2',  '3',  0x00, '5'};
    EXPECT_EQ(ScanRules::row(ScanRules::device(10, reply)), " 10 HD23 52315  0100   ");
    EXPECT_TRUE(ScanRules::isValidReply(0, reply, 10, 10));
    EXPECT_FALSE(ScanRules::isValidReply(7, reply, 10, 10)) << "a reply left in the buffer by a failed call";
    reply[7] = 0x01;
    reply[8] = 0x0A;
    reply[16] = 0x00;
    const ScanRules::ScannedDevice device = ScanRules::device(10, reply);
    EXPECT_EQ(device.type, "010A");
    EXPECT_EQ(device.revision, "0100");
    EXPECT_EQ(device.name, "HD23") << "trailing blanks dropped";
    EXPECT_TRUE(device.answered);
    EXPECT_EQ(ScanRules::row(device), " 10 HD23  010A  0100   ");
    EXPECT_EQ(ScanRules::device(7).type, "    ") << "the terminal's columns keep their width";
}

TEST(FirmwareChoice, TheOnlyFileOrTheHighestRevisionWithLatestTickedElseTheTechnicianChooses)
{
    EXPECT_EQ(FirmwareChoice::pattern(u"2315"_s), "F2315-*.hex");
    struct Case {
        QStringList candidates;
        bool takeFirst;
        const char *file;
        bool ask;
    };
    const QStringList two{u"F2315-0201.hex"_s, u"F2315-0202.hex"_s};
    const Case cases[] = {
        {{u"F2315-0202.hex"_s}, false, "F2315-0202.hex", false},
        {two, true, "F2315-0202.hex", false},
        {{u"F2315-0999.hex"_s, u"F2315-1000.hex"_s, u"F2315-0998.hex"_s}, true, "F2315-1000.hex", false},
        {{u"F2315-0202.hex"_s, u"F2315-beta.hex"_s, u"F2315-0202.HEX"_s},
         true,
         "F2315-0202.hex",
         false}, // a name without a revision ranks last; the list's order among equals
        {two, false, "", true},
        {{}, true, "", false}, // no file: the conversion then names the type and address
        {{}, false, "", true},
    };
    for (const Case &c : cases) {
        const FirmwareChoice::Choice choice = FirmwareChoice::choose(c.candidates, c.takeFirst);
        EXPECT_EQ(choice.file, QString::fromLatin1(c.file)) << c.candidates.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(choice.ask, c.ask);
    }
    EXPECT_EQ(FirmwareChoice::prepare(QString(), u"2315"_s, 4).why(),
              "No Loadfile for Device Type = 2315, Adr  4"); // a number as the design writes it
    EXPECT_EQ(FirmwareChoice::checkWholeFile(QString(), false).why(), " Select File to Load!");
    EXPECT_EQ(FirmwareChoice::checkWholeFile(u"/no/such/file.hex"_s, true).why(), "Invalid Load File");
}

TEST(ScanRules, BoxValueIsTheLeadingNumber)
{
    EXPECT_EQ(ScanRules::boxValue(u"16"_s), 16);
    EXPECT_EQ(ScanRules::boxValue(u" 97abc"_s), 97);
    EXPECT_EQ(ScanRules::boxValue(u"12.6"_s), 13);
    EXPECT_EQ(ScanRules::boxValue(u"abc"_s), 0);
    EXPECT_EQ(ScanRules::boxValue(QString()), 0);
    EXPECT_EQ(ScanRules::boxValue(u"99999999999"_s), 1000000);
}

TEST(DebugDump, OneUpperCaseLineAndTheTextBoxLimit)
{
    const std::array<std::uint8_t, 3> bytes{0x01, 0xF0, 0x40};
    EXPECT_EQ(DebugDump::line(bytes), "01F040");
    EXPECT_EQ(DebugDump::appendToDebugText(u"AB"_s, u"01F040"_s), "AB\n01F040");
    const QString full(60000, QLatin1Char('x'));
    EXPECT_EQ(DebugDump::appendToDebugText(full, u"01"_s), full + "\n01");
    EXPECT_EQ(DebugDump::appendToDebugText(full + "x", u"01"_s), "01");
}

TEST(AddressKeypad, EnterHandsOverBusAddressesOnly)
{
    // 256 refused and 255 entered are the window's keypad test.
    AddressKeypad keypad;
    keypad.press(0);
    keypad.press(AddressKeypad::ZeroKey);
    EXPECT_EQ(keypad.text(), "10");
    keypad.press(AddressKeypad::ClearKey);
    EXPECT_EQ(keypad.text(), "");
    for (int i = 0; i < 30; ++i) // a long run of digits stays a refused number
        keypad.press(8);
    EXPECT_TRUE(keypad.press(AddressKeypad::EnterKey).rejected);
    EXPECT_EQ(AddressKeypad::caption(9), "Enter");
    EXPECT_EQ(AddressKeypad::caption(10), "0");
    EXPECT_EQ(AddressKeypad::caption(11), "Clear");
}

TEST(DeviceSelection, WalksSelectedDevicesToTheNextOne)
{
    using DeviceSelection::Choice;
    const auto answered = [](int address, const char *type, const char *revision) {
        return ScanRules::ScannedDevice{address, true, u"DOME"_s, QString::fromLatin1(type),
                                        QString::fromLatin1(revision)};
    };
    const std::vector<ScanRules::ScannedDevice> bus{ScanRules::device(1), ScanRules::device(2),
                                                    answered(3, "4008", "0105")};

    // Addresses 1 and 3 selected, 1 silent: 1 is passed over, 3 chosen.
    Choice c = DeviceSelection::findNextDevice(bus, {true, false, true}, 0);
    EXPECT_EQ(c.result, Choice::Chosen);
    EXPECT_EQ(c.deviceAddress, 3);
    EXPECT_EQ(c.nextRow, 3);
    EXPECT_EQ(c.rowsToDeselect, std::vector<int>{0});
    EXPECT_TRUE(c.knownType);
    EXPECT_EQ(c.type, "4008");
    // ... unless its file is named already.
    c = DeviceSelection::findNextDevice(bus, {true, false, true}, 0, [](int address) { return address == 1; });
    EXPECT_EQ(c.deviceAddress, 1);
    EXPECT_TRUE(c.needsFileByHand);
    EXPECT_TRUE(c.rowsToDeselect.empty());

    // The last selected address silent, an unselected one after it: that one is chosen.
    c = DeviceSelection::findNextDevice(bus, {true, true, false}, 0);
    EXPECT_EQ(c.chosenRow, 1);
    EXPECT_TRUE(c.needsFileByHand);
    EXPECT_EQ(c.rowsToDeselect, std::vector<int>{0});

    // Nothing selected.
    c = DeviceSelection::findNextDevice(bus, {false, false, false}, 0);
    EXPECT_EQ(c.result, Choice::NoneLeft);
    EXPECT_EQ(c.nextRow, 3);

    // One silent address, selected: chosen, its file is picked by hand.
    c = DeviceSelection::findNextDevice(std::vector{ScanRules::device(1)}, {true}, 0);
    EXPECT_EQ(c.result, Choice::Chosen);
    EXPECT_TRUE(c.needsFileByHand);
    EXPECT_EQ(c.deviceAddress, 1);

    // The old dome revisions are refused, a newer one is taken as an unlisted type.
    c = DeviceSelection::findNextDevice(std::vector{answered(1, "0147", "0101")}, {true}, 0);
    EXPECT_EQ(c.result, Choice::RefusedDome);
    c = DeviceSelection::findNextDevice(std::vector{answered(1, "0147", "0103")}, {true}, 0);
    EXPECT_EQ(c.result, Choice::Chosen);
    EXPECT_FALSE(c.knownType);
    EXPECT_FALSE(c.needsFileByHand);

    // A file's name tells whether its type loads at the known offset, wherever it lies.
    EXPECT_TRUE(DeviceSelection::isKnownTypeFile(u"f5/F2315-0202.hex"_s));
    EXPECT_FALSE(DeviceSelection::isKnownTypeFile(u"F0147-0103.hex"_s));
    EXPECT_FALSE(DeviceSelection::isKnownTypeFile(u"F2315/app.hex"_s));
}
