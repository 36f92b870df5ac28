// The Ansible collection run for real, as a fleet owner runs it: the example playbook on
// this host (connection local) against the emulated bus with a state file, the program of
// this build. Skipped where Ansible is not installed (scripts/setup.sh installs it).
#include "ProcessRun.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

const QString Collections = QStringLiteral(QUILL_SOURCE_DIR "/ansible");

// What ansible said, on either channel.
QString said(const Ran &ran)
{
    return ran.out + ran.err;
}

// A site: the firmware folder and a bus of three devices, one current and two behind, that
// remembers its loads.
class Site {
public:
    explicit Site(const QByteArray &extraDevice = {})
    {
        m_folder.copyDemo({u"*.hex"_s});
        m_folder.write(u"bus.scenario"_s,
                       "device 1 type 2315 rev 0201\ndevice 2 type 2315 rev 0202\ndevice 3 type 4008 rev 0105\n" +
                           extraDevice + "state \"" + QFile::encodeName(m_folder.path(u"bus.state"_s)) +
                           "\"\ntrace \"" + QFile::encodeName(m_folder.path(u"trace.txt"_s)) + "\"\n");
    }

    // ansible-playbook on the example, with --check or not.
    Ran upgrade(bool check)
    {
        QFile::remove(m_folder.path(u"trace.txt"_s));
        // As JSON: the folder's name may hold blanks.
        const QJsonObject variables{{u"quillbus_program"_s, QStringLiteral(QUILL_SERVICE_PROGRAM)},
                                    {u"quillbus_folder"_s, m_folder.path(QString())},
                                    {u"quillbus_to"_s, 4}};
        QStringList arguments{u"-i"_s,
                              u"localhost,"_s,
                              u"-c"_s,
                              u"local"_s,
                              Collections + u"/examples/upgrade.yml"_s,
                              u"-e"_s,
                              QString::fromUtf8(QJsonDocument(variables).toJson(QJsonDocument::Compact)),
                              u"-v"_s};
        if (check)
            arguments << u"--check"_s;
        return runProgram(QStandardPaths::findExecutable(u"ansible-playbook"_s), arguments, environment());
    }
    qsizetype downloadsSent() const
    {
        return QString::fromLatin1(m_folder.read(u"trace.txt"_s)).count(u"DevDownLoad("_s);
    }
    QMap<QString, QString> environment() const
    {
        return {{u"QWILUSB_SCENARIO"_s, m_folder.path(u"bus.scenario"_s)},
                {u"ANSIBLE_NOCOLOR"_s, u"1"_s},
                {u"ANSIBLE_LOCAL_TEMP"_s, m_folder.path(u"ansible-tmp"_s)},
                {u"ANSIBLE_REMOTE_TEMP"_s, m_folder.path(u"ansible-tmp"_s)},
                {u"PYTHONPYCACHEPREFIX"_s, m_folder.path(u"pycache"_s)}};
    }

private:
    WorkingFolder m_folder;
};

#define NEED_ANSIBLE()                                                   \
    if (QStandardPaths::findExecutable(u"ansible-playbook"_s).isEmpty()) \
    GTEST_SKIP() << "ansible-playbook is not installed (scripts/setup.sh installs ansible-core)"

} // namespace

// Check mode tells what would change and sends nothing; the upgrade loads what is behind;
// run again, it changes nothing and sends nothing.
TEST(Ansible, TheUpgradeChangesOnlyWhatIsBehindAndThenNothing)
{
    NEED_ANSIBLE();
    Site site;
    const Ran check = site.upgrade(true);
    EXPECT_EQ(check.status, 0) << said(check).toStdString();
    EXPECT_TRUE(said(check).contains(u"changed=1"_s)) << said(check).toStdString();
    EXPECT_TRUE(said(check).contains(u"1 2315 0201->- would load; 2 2315 0202->- current"_s))
        << said(check).toStdString();
    EXPECT_EQ(site.downloadsSent(), 0);

    const Ran first = site.upgrade(false);
    EXPECT_EQ(first.status, 0) << said(first).toStdString();
    EXPECT_TRUE(said(first).contains(u"changed=1"_s)) << said(first).toStdString();
    EXPECT_TRUE(said(first).contains(
        u"3 devices; 1 2315 0201->0202 loaded; 2 2315 0202->0202 current; 3 4008 0105->0111 loaded"_s))
        << said(first).toStdString();
    EXPECT_GT(site.downloadsSent(), 0);

    const Ran second = site.upgrade(false);
    EXPECT_EQ(second.status, 0) << said(second).toStdString();
    EXPECT_TRUE(said(second).contains(u"changed=0"_s)) << said(second).toStdString();
    EXPECT_EQ(site.downloadsSent(), 0);
}

// A device that fails its load fails the task, with every device's record in the result.
TEST(Ansible, AFailedDeviceFailsTheTaskWithEveryRecord)
{
    NEED_ANSIBLE();
    Site site("device 4 type 2315 rev 0200 load-fault 67 nak 5\n");
    const Ran failed = site.upgrade(false);
    EXPECT_NE(failed.status, 0);
    EXPECT_TRUE(said(failed).contains(u"failed=1"_s)) << said(failed).toStdString();
    for (const char *record : {"\"outcome\": \"failed\"", "\"outcome\": \"current\"", "\"outcome\": \"loaded\""})
        EXPECT_TRUE(said(failed).contains(QLatin1String(record))) << record;
}
