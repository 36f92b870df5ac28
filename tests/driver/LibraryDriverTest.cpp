#include "driver/LibraryDriver.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <array>
#include <string>
#include <vector>

namespace {

QString probeOutput(const QString &libraryPath)
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QWILUSB_SCENARIO"_s);
    if (libraryPath.isEmpty())
        env.remove(u"LD_LIBRARY_PATH"_s);
    else
        env.insert(u"LD_LIBRARY_PATH"_s, libraryPath);
    probe.setProcessEnvironment(env);
    probe.start(QCoreApplication::applicationDirPath() + u"/driver-probe"_s, {});
    if (!probe.waitForFinished(30000))
        return u"probe did not finish"_s;
    return QString::fromLatin1(probe.readAllStandardOutput()).trimmed();
}

void expectEveryOperationAnswersNoDevice(LibraryDriver &driver)
{
    std::array<std::uint8_t, 101> buffer{};
    std::uint8_t count = 0;
    std::int32_t length = 0;
    EXPECT_EQ(driver.OpenUSBDriver(), 8);
    EXPECT_EQ(driver.CloseUSBDriver(), 8);
    EXPECT_EQ(driver.GetDevDescr(buffer.data(), &length), 8);
    EXPECT_EQ(driver.GetQwilUsbVersion(), 8);
    EXPECT_EQ(driver.GetData(buffer.data(), &count, 10), 8);
    EXPECT_EQ(driver.GetConfigData(buffer.data(), 10, 8, 1, 10), 8);
    EXPECT_EQ(driver.DevPing(buffer.data(), 5, 1, 10), 8);
    EXPECT_EQ(driver.DevPan(0x81, 10, 1, 0), 8);
}

} // namespace

TEST(LibraryDriver, MissingLibraryAnswersNoDeviceFoundToEveryOperationAndIsReportedOnce)
{
    LibraryDriver driver("libQwilUSB-not-installed.so");
    std::vector<std::string> reports;
    driver.setUnusableReport([&reports](const std::string &why) { reports.push_back(why); });
    expectEveryOperationAnswersNoDevice(driver);
    EXPECT_FALSE(driver.load());
    EXPECT_FALSE(driver.loadError().empty());
    EXPECT_EQ(reports, std::vector<std::string>{driver.loadError()});
}

TEST(LibraryDriver, LibraryMissingAnOperationIsNotUsedAtAll)
{
    LibraryDriver driver("libQwilPartial.so");
    expectEveryOperationAnswersNoDevice(driver);
    EXPECT_NE(driver.loadError().find("DevPing"), std::string::npos) << driver.loadError();
}

TEST(LibraryDriver, ProgramFindsTheEmulatorBesideItUnlessTheSearchPathNamesAnother)
{
    EXPECT_EQ(probeOutput({}), u"version=0105 word=0080"_s);
    EXPECT_EQ(probeOutput(QCoreApplication::applicationDirPath() + u"/fake-driver"_s), u"version=0999 word=0081"_s);
}
