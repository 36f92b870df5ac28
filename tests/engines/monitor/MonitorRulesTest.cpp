#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "base/MessageDecoder.h"
#include "engines/monitor/DisplaySweep.h"
#include "engines/monitor/MonitorLog.h"
#include "engines/monitor/MonitorRows.h"
#include "engines/monitor/PcapWriter.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

#include <vector>

TEST(MonitorRows, RowLayoutAndMarker)
{
    EXPECT_EQ(MonitorRows::timeText(1.5, QLocale::c()), "    1.500");
    EXPECT_EQ(MonitorRows::timeText(1234567.25, QLocale::c()), "1234567.250");
    EXPECT_EQ(MonitorRows::timeText(1234.5, QLocale(QLocale::English, QLocale::UnitedStates)), "1,234.500");

    // Record: kind, two free bytes, message 05 FA 00 01 01 A9 05, check byte.
    const std::vector<std::uint8_t> goto6{2, 0, 0, 0x05, 0xFA, 0x00, 0x01, 0x01, 0xA9, 0x05, 0x51};
    EXPECT_EQ(MonitorRows::text(goto6, 10, u"    0.100"_s),
              u"    0.100   05FA000101    A905"_s + QString(49, QLatin1Char(' ')) + u"  Goto Target 6"_s);

    // Count 8: ten header characters, no data; the module's address is marked.
    const std::vector<std::uint8_t> shortOne{2, 0, 0, 0xF0, 0x03, 0x00, 0x02, 0x01, 0xAA};
    EXPECT_EQ(MonitorRows::text(shortOne, 8, u"    0.000"_s),
              u"    0.000   F003000201 ** "_s + QString(53, QLatin1Char(' ')) + u"  "_s);
    // Shorter still, the header shows the byte after the record in the place of the missing.
    EXPECT_EQ(MonitorRows::text(shortOne, 5, u"x"_s).left(10), u"x   F00300"_s);
    // A record too short to hold an address gives an empty header and never fails.
    const std::vector<std::uint8_t> empty{2, 0, 0};
    EXPECT_EQ(MonitorRows::text(empty, 2, u"x"_s), u"x       "_s + QString(53, QLatin1Char(' ')) + u"  "_s);
    EXPECT_TRUE(MonitorRows::message(empty, 2).empty());
}

TEST(MonitorRows, FilterListsEndAtTheFirstZero)
{
    MonitorRows::FilterList list;
    list.parse(u"05 0A"_s);
    EXPECT_TRUE(list.contains(0x05));
    EXPECT_TRUE(list.contains(0x0A));
    EXPECT_FALSE(list.contains(0x06));
    EXPECT_FALSE(list.contains(0x00)) << "0 can never be hidden";

    list.parse(u"00 8A"_s);
    EXPECT_FALSE(list.contains(0x8A));
    list.parse(u"05,1A,F0"_s);
    EXPECT_TRUE(list.contains(0xF0));
    list.parse(u"zz"_s);
    EXPECT_TRUE(list.contains(0x7F)) << "an unreadable pair hides rows without a command";
    list.parse(u"05 0"_s);
    EXPECT_TRUE(list.contains(0x05));

    // A 26th value is kept but not consulted; more values than that are ignored.
    QStringList values;
    for (int i = 1; i <= 30; ++i)
        values << u"%1"_s.arg(i, 2, 16, QLatin1Char('0')).toUpper();
    list.parse(values.join(QLatin1Char(' ')));
    EXPECT_TRUE(list.contains(25));
    EXPECT_FALSE(list.contains(26));
    EXPECT_FALSE(list.contains(30));
    list.parse(QString());
    EXPECT_FALSE(list.contains(5));
}

TEST(DisplaySweep, FillsThenSweepsWithOneBlankLine)
{
    DisplaySweep display;
    display.clear();
    for (int i = 1; i <= 24; ++i)
        display.show(u"line %1"_s.arg(i));
    QStringList lines = display.text().split(u"\r\n"_s);
    EXPECT_EQ(lines.size(), 25); // 24 lines and the empty text after the last CR LF
    display.show(u"line 25"_s);
    lines = display.text().split(u"\r\n"_s);
    ASSERT_GE(lines.size(), 25);
    EXPECT_EQ(lines[0], "line 25");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "line 2");
    EXPECT_EQ(lines[24], "line 24");

    for (int i = 26; i <= 200; ++i) {
        display.show(u"line %1"_s.arg(i));
        QString text = display.text();
        if (text.endsWith(u"\r\n"_s))
            text.chop(2);
        ASSERT_LE(text.split(u"\r\n"_s).size(), 25) << i;
        EXPECT_EQ(text.count(u"\r\n\r\n"_s), text.split(u"\r\n"_s).size() == 24 ? 0 : 1) << i;
    }
    display.setPaused(true);
    const QString frozen = display.text();
    display.show(u"hidden"_s);
    EXPECT_EQ(display.text(), frozen);
}

TEST(MonitorLog, NamesAndPlaybackAlignment)
{
    const QDate day(2004, 12, 5);
    EXPECT_EQ(MonitorLog::defaultName(u"12/05/2004"_s, u"10:23:45 AM"_s, day), "DL1205_102345.mon");
    EXPECT_EQ(MonitorLog::defaultName(u"12/05/2004"_s, u"07:08:23"_s, day), "DL1205_070823.mon");
    EXPECT_EQ(MonitorLog::defaultName(u"5 Dec 2004"_s, u"07:08:23 UTC"_s, day), "DL1205_070823.mon");
    EXPECT_EQ(MonitorLog::aligned(u"1.234   05FA"_s), "  1.234   05FA");
    EXPECT_EQ(MonitorLog::aligned(u"123.456"_s), "123.456");
    EXPECT_EQ(MonitorLog::aligned(QString()), "   ");
    EXPECT_EQ(MonitorLog::aligned(u"End"_s), "End");
}

// A log's times are read as they were written, whichever locale wrote them and whichever
// reads them; a time that is not one makes the line no row.
TEST(MonitorLog, RowTimesReadAsWrittenInAnyLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::pair<const char *, double> times[] = {{"0.003", 0.003},      {"0,003", 0.003},
                                                     {"12.500", 12.5},      {"1,234.500", 1234.5},
                                                     {"1.234,500", 1234.5}, {"1.234.567,001", 1234567.001}};
    for (const auto &[text, seconds] : times) {
        const auto row = MonitorLog::readRow(QString::fromLatin1(text) + u"   05F0C00201"_s);
        ASSERT_TRUE(row.has_value()) << text;
        EXPECT_DOUBLE_EQ(row->seconds, seconds) << text;
    }
    for (const char *notATime :
         {"3", "0.03", "0.0031", ",003", "1,23.500", "12,34,567.000", "-1.000", "1e3.000", "\u0661.000"})
        EXPECT_FALSE(MonitorLog::readRow(QString::fromUtf8(notATime) + u" 05F0C00201"_s)) << notATime;
    QLocale::setDefault(before);
}

TEST(MonitorLog, PlaybackReadsEveryKindOfLineEnd)
{
    WorkingFolder folder;
    const QByteArray longLine(LogReader::MaxLineLength + 70000, 'x');
    // A CR LF split between two pieces of the file (64 KiB each) is one line end.
    QByteArray split;
    QStringList splitLines;
    while (split.size() + 4096 < 65536) {
        split += "1.000 " + QByteArray(4089, 'a') + "\n";
        splitLines << "1.000 " + QString(4089, u'a');
    }
    splitLines << "1.000 " + QString(65535 - split.size() - 6, u'b') << "2.000 B";
    split += "1.000 " + QByteArray(65535 - split.size() - 6, 'b') + "\r\n2.000 B";
    struct Case {
        QByteArray text;
        QStringList lines;
    };
    const Case cases[] = {
        {"  1.000 A\r  2.000 B\r", {"1.000 A", "2.000 B"}},
        {"  1.000 A\n  2.000 B", {"1.000 A", "2.000 B"}},
        {"  1.000 A\r\n\r\n  2.000 B\r\n", {"1.000 A", "", "2.000 B"}},
        // Control characters are shown escaped; an overlong line is cut.
        {"1.000 \x1B[2J\x7F\xE9\n2.000 " + longLine + "\n3.000 C",
         {"1.000 \\x1B[2J\\x7F\u00e9", "2.000 " + QString(LogReader::MaxLineLength - 6, u'x'), "3.000 C"}},
        {"", {}},
        {split, splitLines},
    };
    for (const Case &c : cases) {
        folder.write(u"DL1.mon"_s, c.text);
        LogReader reader;
        ASSERT_TRUE(reader.open(u"DL1.mon"_s)) << reader.errorString().toStdString();
        QStringList lines;
        while (!reader.atEnd())
            lines << reader.next();
        EXPECT_TRUE(lines == c.lines) << c.text.left(40).toStdString() << ": " << lines.size() << " lines";
    }
}

// What is not a monitor log is refused at the open, by the rule it breaks.
TEST(MonitorLog, PlaybackRefusesWhatIsNotALog)
{
    WorkingFolder folder;
    const std::pair<QByteArray, const char *> cases[] = {
        {QByteArray("1.000 A\n") + QByteArray(1, '\0'), "not a monitor log: it holds binary data (a NUL byte)"},
        {"\x1B]0;owned\x07\n1.000 A\n",
         "not a monitor log: its first line does not start with a row's time (as 0.000)"},
        {"hello\n", "not a monitor log: its first line does not start with a row's time (as 0.000)"},
        {"1.00 A\n", "not a monitor log: its first line does not start with a row's time (as 0.000)"},
    };
    for (const auto &[text, why] : cases) {
        folder.write(u"DL1.mon"_s, text);
        LogReader reader;
        EXPECT_FALSE(reader.open(u"DL1.mon"_s)) << why;
        EXPECT_EQ(reader.errorString(), why);
        EXPECT_TRUE(reader.atEnd());
    }
}

// A capture file that the disk stops taking partway through a packet keeps the packets
// before it whole: a reader sees a capture that ended early, never one cut in a packet.
TEST(PcapWriter, AFileTheDiskStopsTakingHoldsOnlyWholePackets)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"small.pcap"_s);
    const std::uint8_t bytes[] = {0x05, 0xF0, 0xC0, 0x02, 0x01, 0x81, 0x1A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    PcapWriter::Message message;
    message.kind = 2;
    message.bytes = bytes;
    const auto packetBytes = static_cast<qint64>(16 + PcapWriter::packetData(message).size());

    // The file may grow to 5000 bytes, as a disk that fills there.
    const auto quietBefore = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 5000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    PcapWriter writer;
    bool opened = writer.open(path);
    int written = 0;
    while (opened && written < 100000 && writer.write(message))
        ++written;
    const bool closedWhole = writer.close();
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, quietBefore);

    ASSERT_TRUE(opened);
    EXPECT_FALSE(closedWhole && written == 100000) << "the limit was reached";
    EXPECT_FALSE(writer.errorString().isEmpty());
    const qint64 size = QFileInfo(path).size();
    EXPECT_GT(size, 24 + packetBytes);
    EXPECT_EQ((size - 24) % packetBytes, 0) << size << " bytes: a packet is cut short";
}
