#include "EmulatedBus.h"
#include "QtPrinters.h"
#include "engines/dome/DomeTexts.h"
#include "engines/dome/Joystick.h"
#include "engines/dome/NcpcMessages.h"
#include "engines/dome/PingTest.h"
#include "engines/dome/RawEntry.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(RawEntry, QwilDataTakesHexPairsAndRefusesWhatItCannotHold)
{
    struct Case {
        QString text;
        std::optional<std::size_t> bytes;
    };
    const Case cases[] = {
        {u"0AF0000201CA"_s, 6},
        {u"0AF0000201CA1"_s, 6},
        {u"0AF0000201CAZ"_s, 6},   // an odd last character is not read, digit or not
        {u"0AF0000201CA123"_s, 8}, // rounds up: a zero byte ends it
        {u"0af0000201ca"_s, 6},
        {QString(204, QLatin1Char('1')), std::nullopt},
        {QString(202, QLatin1Char('1')), 101},
    };
    for (const Case &c : cases) {
        const auto bytes = RawEntry::qwilData(c.text);
        ASSERT_EQ(bytes.has_value(), c.bytes.has_value()) << c.text.toStdString();
        if (bytes) {
            EXPECT_EQ(bytes->size(), *c.bytes) << c.text.toStdString();
        }
    }
    EXPECT_EQ(*RawEntry::qwilData(u"0af0000201ca"_s), (Bytes{0x0A, 0xF0, 0x00, 0x02, 0x01, 0xCA}));
    EXPECT_EQ(RawEntry::qwilData(u"0AF0000201CA123"_s)->back(), 0);
}

TEST(RawEntry, ConfigureQwilAndConfigBufferLayouts)
{
    // Below 250, second 0, highest 200, beyond 16 bits, not hexadecimal, too long.
    for (const char *refused : {"00F9-01-10", "00FA-00-10", "00FA-01-C8", "80FA-01-10", "00FZ-01-10", "00FA-01-100"})
        EXPECT_FALSE(RawEntry::configureQwil(QString::fromLatin1(refused))) << refused;
    EXPECT_TRUE(RawEntry::configureQwil(u"00fa-01-10"_s)); // its fields: the window's key table

    // Only hexadecimal digits become bytes, not the codes between "9" and "A"; what an
    // accepted entry sends, and the shortest refusals, are the window's key table.
    for (const char *refused : {"21 02 AB", "20 0B AB", "05 02 ABC", "21 02 ABCD", "20 0B ABCD", "05 02 ABCG",
                                "05 02 AB@D", "05 02 :;<=", "0: 02 ABCD"})
        EXPECT_FALSE(RawEntry::setConfigBuffer(QString::fromLatin1(refused))) << refused;
    EXPECT_TRUE(RawEntry::setConfigBuffer(u"05-02-"_s + QString(102, QLatin1Char('A'))));
    EXPECT_FALSE(RawEntry::setConfigBuffer(u"05-02-"_s + QString(104, QLatin1Char('A')))) << "52 data bytes";

    const Bytes packet = RawEntry::downloadPacket(7);
    ASSERT_EQ(packet.size(), 54u);
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 6), (Bytes{7, 0xF0, 0xC0, 0x03, 0x01, 0}));
    EXPECT_EQ(packet.back(), 48);
}

TEST(Joystick, GrabZoneSpeedsTurnsAndRelease)
{
    EXPECT_EQ(Joystick::speed(726), 0);
    EXPECT_EQ(Joystick::speed(0), 25);
    EXPECT_EQ(Joystick::speed(1452), 25);

    Joystick j;
    EXPECT_FALSE(j.press(500, 700, true));
    EXPECT_FALSE(j.press(600, 900, true));
    EXPECT_FALSE(j.press(600, 700, false)) << "another button";
    EXPECT_TRUE(j.move(650, 760, true).commands.empty()) << "no drag yet";
    ASSERT_TRUE(j.press(600, 700, true));

    using C = Joystick::Command;
    const auto same = [](const std::vector<C> &a, const std::vector<C> &b) {
        const auto fields = [](const C &c) { return std::tuple(c.pan, c.code, c.speed, c.stop); };
        return std::ranges::equal(a, b, {}, fields, fields);
    };
    // The first moves' commands, and the knob's place once let go, are the window test's.
    const Joystick::Step first = j.move(650, 760, true);
    ASSERT_TRUE(first.knob);
    EXPECT_EQ(first.knob->top, 3420);
    EXPECT_TRUE(j.move(650, 760, true).commands.empty()) << "nothing changed";
    j.move(650, 690, true);
    // Far out the speeds stop at their limits.
    EXPECT_TRUE(same(j.move(-9000, -9000, true).commands,
                     {{true, 0x83, 0, true}, {false, 0x84, 50, false}, {true, 0x81, 100, false}}));

    j.release();
    EXPECT_FALSE(j.dragging());
    EXPECT_EQ(j.release().commands.size(), 2u) << "a release without a drag stops both too";
}

TEST(Ncpc, RequestsByteForByte)
{
    Ncpc::Choices c;
    c.pan = c.zoom = true;
    EXPECT_EQ(Ncpc::get(1, c), (Bytes{1, 0xF0, 0x00, 0x01, 0x01, 0xFA, 0x0C, 0x01}));
    c.longForm = false;
    EXPECT_EQ(Ncpc::get(1, c)[6], 0x4C);

    Ncpc::Choices nudge;
    nudge.units = Ncpc::Units::Counts;
    EXPECT_EQ(Ncpc::nudge(2, nudge, Ncpc::Nudge::Far), (Bytes{2, 0xF0, 0x00, 0x01, 0x01, 0xFA, 0x83, 0x90}));
    nudge.focusAuto = false;
    nudge.units = Ncpc::Units::Frames;
    EXPECT_EQ(Ncpc::nudge(2, nudge, Ncpc::Nudge::Close)[7], 0x22);
    nudge.maxLimit = false;
    nudge.longForm = false;
    EXPECT_EQ(Ncpc::getUnits(2, nudge)[6], 0x40);
    EXPECT_EQ(Ncpc::getTarget(2, nudge)[6], 0x5E);

    const Bytes target = Ncpc::setTarget(3, Ncpc::Choices{}, {});
    ASSERT_EQ(target.size(), 29u);
    EXPECT_EQ(target[6], 0x9E);
    EXPECT_EQ(Bytes(target.begin() + 8, target.end()), Bytes(21, 0)) << "no target read yet";
    EXPECT_EQ(Ncpc::frameMove(3), (Bytes{3, 0xF0, 0x00, 0x01, 0x01, 0xFA, 0xAA, 0xC2, 0xFF, 0xEC, 0x78, 0, 0, 0}));
}

// "NCPC SET" in each form, and the emulated dome taken there (from pan 0, tilt 0, zoom 1,
// each row going on from the one before); a value its field cannot hold, read as signed
// or as unsigned, is refused rather than wrapped.
TEST(Ncpc, SetSendsEachFormAndRefusesWhatItsFieldCannotHold)
{
    using Pos = emu::DomePosition;
    const Ncpc::Choices panBox{.pan = true}, tiltBox{.tilt = true}, zoomBox{.zoom = true};
    const Ncpc::Choices all{.pan = true, .tilt = true, .zoom = true}, counts{.pan = true, .units = Ncpc::Units::Counts};
    const auto shortForm = [](Ncpc::Choices c, bool relative) {
        c.longForm = false;
        c.relative = relative;
        return c;
    };
    struct Case {
        const char *what;
        Ncpc::Choices c;
        const char *pan, *tilt, *zoom;
        const char *sent; // nullptr: refused
        const char *shown = nullptr;
        std::optional<Pos> after = {};
    };
    const Case cases[] = {
        {"long, rounded before scaling", panBox, "12.5", "", "", "01F0000101FA87C101D4C0", "120000", Pos{12, 0, 1}},
        {"short pan", shortForm(panBox, false), "12.5", "", "", "01F0000101FAC7C101E848", "12.5", Pos{12.5, 0, 1}},
        {"short pan Rel", shortForm(panBox, true), "12.5", "", "", "01F0000101FAE7C101E848", "12.5", Pos{25, 0, 1}},
        {"short tilt", shortForm(tiltBox, false), "", "10", "", "01F0000101FACAC10186A0", nullptr, Pos{25, 10, 1}},
        {"short tilt Rel", shortForm(tiltBox, true), "", "10", "", "01F0000101FAEAC10186A0", nullptr, Pos{25, 20, 1}},
        {"short zoom", shortForm(zoomBox, false), "", "", "300", "01F0000101FACCC0012C", nullptr, Pos{25, 20, 3}},
        {"short zoom Rel", shortForm(zoomBox, true), "", "", "100", "01F0000101FAECC00064", nullptr, Pos{25, 20, 4}},
        // Every box ticked, the short form sends pan, scaled and sized as pan.
        {"short, every box", shortForm(all, false), "45", "10", "3", "01F0000101FAC7C106DDD0", nullptr, Pos{45, 20, 4}},
        // The long form with zoom: every box, 24, 24 and 16 bits, units 0.
        {"long, every box", all, "-2", "3", "250", "01F0000101FA8CC0FFFFFE00000300FA"},
        {"degrees, signed 24 bits", panBox, "-838", "", "", "01F0000101FA87C18021A0"},
        {"degrees beyond 24 bits", panBox, "-900", "", "", nullptr},
        {"short beyond 32 bits once scaled", shortForm(panBox, true), "300000", "", "", nullptr},
        {"counts in hexadecimal", counts, "4e2", "", "", "01F0000101FA87C00004E2"},
        {"counts, unsigned 24 bits", counts, "FFFFFF", "", "", "01F0000101FA87C0FFFFFF"},
        {"counts beyond 24 bits", counts, "1000000", "", "", nullptr},
        {"counts beyond 32 bits", counts, "1FFFFFFFF", "", "", nullptr},
        {"zoom, unsigned 16 bits", all, "0", "0", "65535", "01F0000101FA8CC0000000000000FFFF"},
        {"zoom beyond 16 bits", all, "0", "0", "65536", nullptr},
        {"zoom far beyond", all, "0", "0", "70000", nullptr},
        {"zoom below signed 16 bits", all, "0", "0", "-32769", nullptr},
    };
    EmulatedBus bus;
    bus.emulator.OpenUSBDriver();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto request =
            Ncpc::set(1, c.c, QString::fromLatin1(c.pan), QString::fromLatin1(c.tilt), QString::fromLatin1(c.zoom));
        ASSERT_EQ(request.has_value(), c.sent != nullptr);
        if (!request)
            continue;
        Bytes &m = request->message;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(m.data()), qsizetype(m.size())).toHex().toUpper(), c.sent);
        if (c.shown) {
            EXPECT_EQ(request->shownValue, c.shown);
        }
        bus.emulator.SndQwilData(m.data(), static_cast<std::int16_t>(m.size()));
        if (c.after) {
            const emu::DomePosition at = bus.emulator.domeState(1)->position;
            EXPECT_NEAR(at.pan, c.after->pan, 0.01);
            EXPECT_NEAR(at.tilt, c.after->tilt, 0.01);
            EXPECT_NEAR(at.zoom, c.after->zoom, 0.01);
        }
    }
}

TEST(Ncpc, RepliesFillTheBoxesTheyCarry)
{
    // A record: kind, two free bytes, the message (F0 dome 00 01 01 FA echo units values), check byte.
    const auto record = [](std::uint8_t echo, std::uint8_t units, Bytes values) {
        Bytes r{2, 0, 0, 0xF0, 3, 0x00, 0x01, 0x01, 0xFA, echo, units};
        r.insert(r.end(), values.begin(), values.end());
        const std::size_t count = r.size();
        r.push_back(0x5C);
        return std::pair{r, count};
    };
    struct Case {
        const char *what;
        std::uint8_t echo, units;
        Bytes values;
        std::optional<QString> pan, tilt, zoom;
    };
    const Case cases[] = {
        {"long counts, tilt asked", 10, 0, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, "010203", "040506", ""},
        {"long counts, pan asked", 7, 0, {0x01, 0x02, 0x03}, "010203", "", ""},
        {"long degrees, all", 0x0C, 1, {0x01, 0xD4, 0xC0, 0xFE, 0x79, 0x60, 0x00, 0xFA}, "12", "-10", "250"},
        {"long zoom above 32767", 0x0C, 1, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, "0", "0", "65535"},
        {"short tilt degrees", 0x4A, 1, {0xFE, 0x79, 0x60}, "", "-10", ""},
        {"short zoom counts", 0x4C, 0, {0x01, 0x02}, "", "", "0102"},
        {"short frames", 0x47, 2, {0x01, 0x02, 0x03}, std::nullopt, std::nullopt, std::nullopt},
        {"cut short", 0x0C, 1, {0x01}, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto [r, count] = record(c.echo, c.units, c.values);
        const Ncpc::ReplyView view = Ncpc::decode(r, count);
        EXPECT_EQ(view.pan, c.pan);
        EXPECT_EQ(view.tilt, c.tilt);
        EXPECT_EQ(view.zoom, c.zoom);
    }
    // Target replies: the data and the byte after it, at most 51 bytes.
    const auto [target, targetCount] = record(30, 0, Bytes(21, 7));
    EXPECT_EQ(Ncpc::decode(target, targetCount).targetData->size(), 22u);
    const auto [longTarget, longCount] = record(30, 0, Bytes(60, 7));
    EXPECT_EQ(Ncpc::decode(longTarget, longCount).targetData->size(), 51u);
}

TEST(DomeTexts, PositionAndPingLines)
{
    Bytes position(26, 0);
    position[6] = 0x12;
    EXPECT_EQ(DomeTexts::absolutePosition(position), "ABS Pos = 12 00 00 00 00 00 00 00 00 00 ");
    EXPECT_EQ(DomeTexts::pingLine(100, 99), "Ping Test:  Tx =  100        Rx =  99");
    EXPECT_EQ(DomeTexts::pingLine(101, 99), "Ping Test:  Tx =  101    Rx =  99");
    const std::pair<int, int> waits[] = {{16, 300}, {17, 600}, {32, 600}, {33, 900}, {64, 900}, {65, 1200}};
    for (const auto &[address, wait] : waits)
        EXPECT_EQ(PingTest::waitFor(address), wait) << address;
}
