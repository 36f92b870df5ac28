#include "driver/LibraryDriver.h"

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
    env.remove(QStringLiteral("QWILUSB_SCENARIO"));
    if (libraryPath.isEmpty())
        env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    else
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), libraryPath);
    probe.setProcessEnvironment(env);
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/driver-probe"), {});
    if (!probe.waitForFinished(30000))
        return QStringLiteral("probe did not finish");
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
    EXPECT_EQ(probeOutput({}), QStringLiteral("version=0105 word=0080"));
    EXPECT_EQ(probeOutput(QCoreApplication::applicationDirPath() + QStringLiteral("/fake-driver")),
              QStringLiteral("version=0999 word=0081"));
}
