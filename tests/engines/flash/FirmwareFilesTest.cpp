#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "engines/flash/BlockSenders.h"
#include "engines/flash/DownloadMessages.h"
#include "engines/flash/LoadFileConversion.h"
#include "engines/flash/SRecord.h"

#include <gtest/gtest.h>

using DownloadMessages::Bytes;

namespace {
// An S-record line with its count and checksum.
QString record(char type, long address, const Bytes &data)
{
    const int addressBytes = type == '2' || type == '8' ? 3 : 2;
    Bytes body{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
    for (int i = addressBytes - 1; i >= 0; --i)
        body.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    QString line = u"S"_s + QLatin1Char(type);
    for (const std::uint8_t b : body) {
        sum += b;
        line += u"%1"_s.arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return line + u"%1"_s.arg(~sum & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QByteArray crlf(const QStringList &lines)
{
    return (lines.join(u"\r\n"_s) + u"\r\n"_s).toLatin1();
}

QStringList linesOf(const WorkingFolder &folder, const QString &name)
{
    QString text = QString::fromLatin1(folder.read(name));
    EXPECT_TRUE(text.isEmpty() || text.endsWith(u"\r\n"_s)) << name.toStdString();
    text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(u"\r\n"_s);
}
} // namespace

TEST(DownloadMessages, DeviceMessagesByteForByte)
{
    using namespace DownloadMessages;
    EXPECT_EQ(reliableConnection(5, ImageType::Application), (Bytes{5, 0xF0, 0x40, 0x03, 0x01, 0x63, 1}));
    EXPECT_EQ(programRequest(5, ImageType::Boot), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x64, 2}));
    EXPECT_EQ(prepare(5), (Bytes{5, 0xF0, 0x40, 0x03, 0x01, 0x6A, 0x0A}));
    EXPECT_EQ(setAddress(5, 0x1000, true), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x65, 0x04, 0x10, 0x00}));
    EXPECT_EQ(setAddress(5, 0x1000, false), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x65, 0x00, 0x10, 0x00}));
    EXPECT_EQ(commit(5), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x67}));
    EXPECT_EQ(fileChecksum(5, 0x1234), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x68, 0xED, 0xCC}));
    EXPECT_EQ(fileChecksum(5, 0), (Bytes{5, 0xF0, 0xC0, 0x03, 0x01, 0x68, 0x00, 0x00}));
    EXPECT_EQ(exitLoader(5), (Bytes{5, 0xF0, 0x40, 0x03, 0x01, 0x69}));
    EXPECT_EQ(nextSequence(1), 2);
    EXPECT_EQ(nextSequence(254), 255);
    EXPECT_EQ(nextSequence(255), 1);
}

TEST(DownloadMessages, ModuleMessagesByteForByte)
{
    using namespace DownloadMessages;
    EXPECT_EQ(moduleEnterLoader(true), (Bytes{0x13, 0x00}));
    EXPECT_EQ(moduleEnterLoader(false), (Bytes{0x13, 0x01}));
    const Bytes data(48, 0x11);
    const Bytes block = moduleBlock(3, 0x12345678, data);
    ASSERT_EQ(block.size(), 58u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 8), (Bytes{0x14, 3, 0x12, 0x34, 0x56, 0x78, 0x00, 48}));
    EXPECT_EQ(Bytes(block.end() - 2, block.end()), (Bytes{0x03, 0x30})); // 48 x 0x11
    EXPECT_EQ(moduleChecksumRequest(0x1000, 0x10FF), (Bytes{0x15, 0, 0, 0x10, 0x00, 0, 0, 0x10, 0xFF}));
    EXPECT_EQ(moduleExit(true), (Bytes{0x16, 0x00}));
    EXPECT_EQ(moduleExit(false), (Bytes{0x16, 0x01}));
}

TEST(SRecord, ReadsOnlyWellFormedRecords)
{
    const QString s1 = record('1', 0x1000, {0x12, 0x34});
    const auto parsed = SRecord::parse(s1);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->isData());
    EXPECT_EQ(parsed->address, 0x1000);
    EXPECT_EQ(parsed->data, (Bytes{0x12, 0x34}));
    const auto s2 = SRecord::parse(record('2', 0x012345, Bytes(16, 0xAB)));
    ASSERT_TRUE(s2.has_value());
    EXPECT_EQ(s2->address, 0x012345);
    EXPECT_EQ(s2->count(), 16);
    EXPECT_TRUE(SRecord::parse(u"S8"_s)->isEnd());
    EXPECT_TRUE(SRecord::parse(record('0', 0, {'H', 'D', 'R'}))->isHeader());

    QString badChecksum = s1;
    badChecksum[badChecksum.size() - 1] = badChecksum.back() == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    EXPECT_FALSE(SRecord::parse(badChecksum).has_value());
    EXPECT_FALSE(SRecord::parse(s1.toLower().replace(0, 1, u"S"_s)).has_value()) << "lower case";
    EXPECT_FALSE(SRecord::parse(s1.left(s1.size() - 2)).has_value()) << "count does not match";
    EXPECT_FALSE(SRecord::parse(u"hello"_s).has_value());
    EXPECT_FALSE(SRecord::parse(u"S1"_s).has_value());
}

TEST(LoadFileConversion, SplitsSectionsIntoThreeDownloadFiles)
{
    WorkingFolder folder;
    const QString h1 = record('0', 0, {'V', '1'}), h2 = record('0', 0, {'A'}), h3 = record('0', 0, {'B'}),
                  h4 = record('0', 0, {'C'}), h5 = record('0', 0, {'D'});
    const QString d1 = record('2', 0x100, {1, 2, 3}), d2 = record('2', 0x8000, {4}), d3 = record('2', 0x10000, {5}),
                  d4 = record('2', 0x20000, {6});

    folder.write(u"F2315-0100.hex"_s, crlf({h1, d3, h2, d1, h3, d2, h4, d3, h5, d4}));
    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F2315-0100.hex"_s), LoadFileConversion::Outcome::Written);
    EXPECT_EQ(linesOf(folder, u"F2315-0100a.dwn"_s), (QStringList{h2, d1}));
    EXPECT_EQ(linesOf(folder, u"F2315-0100b.dwn"_s), (QStringList{h3, d2, "S8"}));
    EXPECT_EQ(linesOf(folder, u"F2315-0100c.dwn"_s), (QStringList{h4, d3, h5, d4, "S8"}));

    // A file that would stop a load midway (here its last image goes back below the one
    // before, which a device's block cannot take) is refused before anything is sent, and
    // the download files of the last conversion go with it.
    folder.write(u"F2315-0100.hex"_s, crlf({h1, d3, h2, d1, h3, d2, h4, d3, h5, d1}));
    EXPECT_EQ(LoadFileConversion::checkLoadFiles(u"F2315-0100.hex"_s), LoadFileConversion::Outcome::InvalidRecords);
    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F2315-0100.hex"_s), LoadFileConversion::Outcome::InvalidRecords);
    EXPECT_FALSE(QFile::exists(folder.path(u"F2315-0100a.dwn"_s)));

    // Four S0 lines and nothing else, with a name shorter than ten characters: images
    // without data are no firmware to load, and no download file is left behind.
    folder.write(u"F1.hex"_s, crlf({h1, h2, h3, h4}));
    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F1.hex"_s), LoadFileConversion::Outcome::ImproperFormat);
    for (const char *left : {"F1.hexa.dwn", "F1.hexb.dwn", "F1.hexc.dwn"})
        EXPECT_FALSE(QFile::exists(folder.path(QString::fromLatin1(left)))) << left;

    // The download files go beside the firmware file, named by ten characters of its name.
    EXPECT_EQ(LoadFileConversion::downloadFile(u"./F2315-0100.hex"_s, QLatin1Char('a')), "./F2315-0100a.dwn");
    EXPECT_EQ(LoadFileConversion::downloadFile(u"f5/sub/F2315-0100.hex"_s, QLatin1Char('c')), "f5/sub/F2315-0100c.dwn");
}

TEST(LoadFileConversion, TooFewSectionsIsAnImproperFormat)
{
    WorkingFolder folder;
    const QString h1 = record('0', 0, {'V'}), h2 = record('0', 0, {'A'}), h3 = record('0', 0, {'B'});
    const QString d1 = record('2', 0x100, {1});
    folder.write(u"F4008-0001.hex"_s, crlf({h1, d1, h2, d1, h3, d1}));
    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F4008-0001.hex"_s), LoadFileConversion::Outcome::ImproperFormat);
    folder.write(u"F4008-0002.hex"_s, crlf({h1, d1, record('2', 0x200, {2})}));
    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F4008-0002.hex"_s), LoadFileConversion::Outcome::ImproperFormat);
    // What was cut before the fault showed is not left behind.
    for (const char *left : {"F4008-0001a.dwn", "F4008-0001b.dwn", "F4008-0002a.dwn"})
        EXPECT_FALSE(QFile::exists(folder.path(QString::fromLatin1(left)))) << left;

    EXPECT_EQ(LoadFileConversion::createLoadFiles(u"F9999-0000.hex"_s), LoadFileConversion::Outcome::FileError);
    EXPECT_EQ(LoadFileConversion::createLoadFiles(QString()), LoadFileConversion::Outcome::FileError);
}

TEST(DeviceBlockSender, PadsRecordsFillsGapsAndClosesBlocks)
{
    WorkingFolder folder;
    // Three short records back to back, then a gap of 0x40 bytes, then one more record.
    folder.write(u"a.dwn"_s,
                 crlf({record('0', 0, {'A'}), record('2', 0x100, Bytes(16, 1)), record('2', 0x110, Bytes(10, 2)),
                       record('2', 0x120, Bytes(16, 3)), record('2', 0x170, Bytes(16, 4)), "S8"}));
    RecordFile file;
    ASSERT_TRUE(file.open(u"a.dwn"_s));
    file.readNext();
    DeviceBlockSender sender;
    sender.startFile(0x100);
    std::uint8_t sequence = 4;
    DeviceBlockSender::Hooks hooks;
    hooks.advanceSequence = [&] { return sequence = DownloadMessages::nextSequence(sequence); };
    hooks.lineRead = [] {};

    // One message a call until the block is to be committed.
    std::vector<Bytes> sent;
    std::vector<int> sequences;
    DeviceBlockSender::Action action = sender.next(file, 9, hooks);
    for (; action.kind == DeviceBlockSender::Action::Kind::Send; action = sender.next(file, 9, hooks)) {
        sent.push_back(action.message);
        sequences.push_back(action.sequence);
    }
    EXPECT_EQ(action.kind, DeviceBlockSender::Action::Kind::Commit);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sequences, (std::vector<int>{5, 6, 6, 7})) << "a gap's messages share one number";
    EXPECT_EQ(sent[0].size(), 6u + 48u); // three records of 16, the short one padded
    EXPECT_EQ(sent[0][6 + 16 + 10], 0);  // padding
    EXPECT_EQ(sent[1].size(), 6u + 48u); // the gap as zeros
    EXPECT_EQ(sent[2].size(), 6u + 16u);
    EXPECT_EQ(sent[3].size(), 6u + 16u);
    EXPECT_EQ(sent[3][6], 4);
    EXPECT_EQ(sender.expectedChecksum, 16 * 1 + 10 * 2 + 16 * 3 + 16 * 4);
    EXPECT_TRUE(file.exhausted());
}
