#include "engines/flash/LookupTables.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"

#include <gtest/gtest.h>

using LookupTables::Table;

namespace {
std::vector<int> entries(Table table, int from, int count)
{
    std::vector<int> values;
    for (int i = from; i < from + count; ++i)
        values.push_back(*LookupTables::entry(table, i));
    return values;
}
} // namespace

TEST(LookupTables, TellingValues)
{
    EXPECT_EQ(entries(Table::Radius, 0, 10), (std::vector<int>{0, 0, 1, 2, 4, 6, 9, 12, 16, 20}));
    EXPECT_EQ(*LookupTables::entry(Table::Radius, 32767), 25284);
    EXPECT_EQ(*LookupTables::entry(Table::Z, 0), 4096);
    EXPECT_EQ(*LookupTables::entry(Table::Z, 32767), 2365);
    EXPECT_EQ(*LookupTables::entry(Table::SinPhi, -32768), 0) << "x = -1 is no division by a near-zero sine";
    EXPECT_EQ(*LookupTables::entry(Table::SinPhi, 0), 25736);
    EXPECT_EQ(*LookupTables::entry(Table::SinPhi, 32767), 16384);
    EXPECT_EQ(entries(Table::StretchSin, 0, 5), (std::vector<int>{0, 36, 71, 107, 143}));
    EXPECT_EQ(*LookupTables::entry(Table::StretchSin, 360), 8192);
    EXPECT_EQ(entries(Table::StretchCos, 0, 4), (std::vector<int>{8192, 8192, 8192, 8191}));
    EXPECT_EQ(*LookupTables::entry(Table::StretchCos, 360), 0);

    // Each phi / sin phi threshold: the entry above it is about four times the one at it.
    int largest = 0;
    for (int i = -32768; i <= 32767; ++i)
        largest = std::max(largest, int(*LookupTables::entry(Table::SinPhi, i)));
    EXPECT_EQ(largest, 32767);
    for (const int threshold : {-32759, -32620, -30717, -10454}) {
        const double ratio =
            LookupTables::value(Table::SinPhi, threshold + 1) / LookupTables::value(Table::SinPhi, threshold);
        EXPECT_NEAR(ratio, 4.0, 0.25) << threshold;
    }
}

TEST(LookupTables, FilesAreLaidOutTenEntriesALine)
{
    WorkingFolder folder;
    for (const Table table : LookupTables::All)
        ASSERT_FALSE(LookupTables::write(table, folder.path(QString())));
    const QByteArray radius = folder.read(u"lut_R.h"_s);
    EXPECT_TRUE(radius.startsWith("#pragma region(\"const = RTBL\")\r\nconst INT Radius_Data[] = {\r\n"
                                  " 0, 0, 1, 2, 4, 6, 9, 12, 16, 20,\r\n"));
    EXPECT_TRUE(radius.endsWith(", 25284\r\n};\r\n"));
    EXPECT_EQ(radius.count("\r\n"), 2 + 3276 + 1 + 1);
    const QList<QByteArray> lines = folder.read(u"VStrSin.h"_s).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3].count(','), 5) << "six entries on the last line, no comma after the last";
    EXPECT_TRUE(folder.read(u"VStrCos.h"_s).contains(",-")) << "negative entries carry their sign";
    EXPECT_TRUE(folder.read(u"lut_S.h"_s)
                    .startsWith("#pragma region(\"const = SINPHI\")\r\n"
                                "const INT S_Data[] = {\r\n 0,"));

    // A folder that cannot take the file: reported, nothing written.
    EXPECT_TRUE(
        LookupTables::write(Table::Z, folder.path(u"missing/deeper"_s)).why().startsWith(u"Cannot write lut_Z.h: "_s));
}
