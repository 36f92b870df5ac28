// The program's commands run as a technician's script runs them: a process on the
// emulated bus, its standard output, standard error and exit status.
#include "Commands.h"
#include "WorkingFolder.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

namespace {
struct Ran {
    int status = -1;
    QString out;
    QString err;
};

Ran service(const QStringList &arguments, const QString &folder, const QString &scenario = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // a command needs no display at all
    if (!scenario.isEmpty())
        environment.insert(QStringLiteral("QWILUSB_SCENARIO"), scenario);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUILL_SERVICE_PROGRAM), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

TEST(ServiceCommands, ScanListsTheDevicesThatAnswerInEachFormat)
{
    WorkingFolder folder;
    const Ran table = service({QStringLiteral("scan"), QStringLiteral("--to=3")}, folder.path(QString()));
    ASSERT_EQ(table.status, ExitStatus::Completed) << table.err.toStdString();
    const QStringList rows = table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], "Addr  Name    Type  Rev");
    EXPECT_EQ(rows[1], "   1  HDOME   2315  0200");
    EXPECT_EQ(rows[3], "   3  PTZ     4008  0105");
    EXPECT_TRUE(table.err.contains(QStringLiteral("Scanning Network for Devices")));

    const Ran csv = service({QStringLiteral("scan"), QStringLiteral("--to"), QStringLiteral("3"),
                             QStringLiteral("--format=csv")},
                            folder.path(QString()));
    EXPECT_EQ(csv.out, "address,name,type,revision\n1,HDOME,2315,0200\n2,HDOME,2315,0201\n3,PTZ,4008,0105\n");

    const Ran json = service({QStringLiteral("scan"), QStringLiteral("--to=3"), QStringLiteral("--format"),
                              QStringLiteral("json")},
                             folder.path(QString()));
    const QJsonArray devices = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(devices.size(), rows.size() - 1);
    EXPECT_EQ(devices[2].toObject().value(QStringLiteral("type")).toString(), "4008");
}

TEST(ServiceCommands, EveryKindOfFailureHasItsOwnStatus)
{
    WorkingFolder folder;
    const QString here = folder.path(QString());
    struct Case {
        QStringList arguments;
        int status;
        const char *saying;
    };
    const Case cases[] = {
        {{QStringLiteral("bogus")}, ExitStatus::Usage, "Unknown command: bogus"},
        {{QStringLiteral("scan"), QStringLiteral("--to"), QStringLiteral("97")}, ExitStatus::Usage, "1 to 96"},
        {{QStringLiteral("scan"), QStringLiteral("--format"), QStringLiteral("xml")}, ExitStatus::Usage, "table, csv"},
        {{QStringLiteral("scan"), QStringLiteral("--bogus")}, ExitStatus::Usage, "scan --help"},
        {{QStringLiteral("tables")}, ExitStatus::Usage, "one folder"},
        {{QStringLiteral("tables"), QStringLiteral("missing")}, ExitStatus::Failed, "no such folder"},
    };
    for (const Case &c : cases) {
        const Ran ran = service(c.arguments, here);
        EXPECT_EQ(ran.status, c.status) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(ran.err.contains(QString::fromLatin1(c.saying))) << ran.err.toStdString();
        EXPECT_TRUE(ran.out.isEmpty()) << ran.out.toStdString();
    }
    folder.write(QStringLiteral("silent.scenario"), "module unplugged\n");
    const Ran noModule = service({QStringLiteral("scan")}, here, folder.path(QStringLiteral("silent.scenario")));
    EXPECT_EQ(noModule.status, ExitStatus::NoModule) << noModule.err.toStdString();
    EXPECT_TRUE(noModule.err.contains(QStringLiteral("No USB module"))) << noModule.err.toStdString();

    for (const char *command : {"scan", "tables"}) {
        const Ran help = service({QString::fromLatin1(command), QStringLiteral("--help")}, here);
        EXPECT_EQ(help.status, ExitStatus::Completed);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: quillbus-service ") + QString::fromLatin1(command)));
    }
}
