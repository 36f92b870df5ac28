// The Ansible collection run for real, as a fleet owner runs it: the example playbook on
// this host (connection local) against the emulated bus with a state file, the program of
// this build. Skipped where Ansible is not installed (scripts/setup.sh installs it).
#include "ProcessRun.h"
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
        const QDir demo(QStringLiteral(QUILL_SOURCE_DIR "/demo"));
        for (const QString &name : demo.entryList({QStringLiteral("*.hex")}, QDir::Files))
            QFile::copy(demo.filePath(name), m_folder.path(name));
        m_folder.write(QStringLiteral("bus.scenario"),
                       "device 1 type 2315 rev 0201\ndevice 2 type 2315 rev 0202\ndevice 3 type 4008 rev 0105\n" +
                           extraDevice + "state \"" + QFile::encodeName(m_folder.path(QStringLiteral("bus.state"))) +
                           "\"\ntrace \"" + QFile::encodeName(m_folder.path(QStringLiteral("trace.txt"))) + "\"\n");
    }

    // ansible-playbook on the example, with --check or not.
    Ran upgrade(bool check)
    {
        QFile::remove(m_folder.path(QStringLiteral("trace.txt")));
        // As JSON: the folder's name may hold blanks.
        const QJsonObject variables{{QStringLiteral("quillbus_program"), QStringLiteral(QUILL_SERVICE_PROGRAM)},
                                    {QStringLiteral("quillbus_folder"), m_folder.path(QString())},
                                    {QStringLiteral("quillbus_to"), 4}};
        QStringList arguments{QStringLiteral("-i"),
                              QStringLiteral("localhost,"),
                              QStringLiteral("-c"),
                              QStringLiteral("local"),
                              Collections + QStringLiteral("/examples/upgrade.yml"),
                              QStringLiteral("-e"),
                              QString::fromUtf8(QJsonDocument(variables).toJson(QJsonDocument::Compact)),
                              QStringLiteral("-v")};
        if (check)
            arguments << QStringLiteral("--check");
        return runProgram(QStandardPaths::findExecutable(QStringLiteral("ansible-playbook")), arguments, environment());
    }
    qsizetype downloadsSent() const
    {
        return QString::fromLatin1(m_folder.read(QStringLiteral("trace.txt"))).count(QStringLiteral("DevDownLoad("));
    }
    QMap<QString, QString> environment() const
    {
        return {{QStringLiteral("QWILUSB_SCENARIO"), m_folder.path(QStringLiteral("bus.scenario"))},
                {QStringLiteral("ANSIBLE_NOCOLOR"), QStringLiteral("1")},
                {QStringLiteral("ANSIBLE_LOCAL_TEMP"), m_folder.path(QStringLiteral("ansible-tmp"))},
                {QStringLiteral("ANSIBLE_REMOTE_TEMP"), m_folder.path(QStringLiteral("ansible-tmp"))},
                {QStringLiteral("PYTHONPYCACHEPREFIX"), m_folder.path(QStringLiteral("pycache"))}};
    }

private:
    WorkingFolder m_folder;
};

#define NEED_ANSIBLE()                                                                \
    if (QStandardPaths::findExecutable(QStringLiteral("ansible-playbook")).isEmpty()) \
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
    EXPECT_TRUE(said(check).contains(QStringLiteral("changed=1"))) << said(check).toStdString();
    EXPECT_TRUE(said(check).contains(QStringLiteral("1 2315 0201->- would load; 2 2315 0202->- current")))
        << said(check).toStdString();
    EXPECT_EQ(site.downloadsSent(), 0);

    const Ran first = site.upgrade(false);
    EXPECT_EQ(first.status, 0) << said(first).toStdString();
    EXPECT_TRUE(said(first).contains(QStringLiteral("changed=1"))) << said(first).toStdString();
    EXPECT_TRUE(said(first).contains(
        QStringLiteral("3 devices; 1 2315 0201->0202 loaded; 2 2315 0202->0202 current; 3 4008 0105->0111 loaded")))
        << said(first).toStdString();
    EXPECT_GT(site.downloadsSent(), 0);

    const Ran second = site.upgrade(false);
    EXPECT_EQ(second.status, 0) << said(second).toStdString();
    EXPECT_TRUE(said(second).contains(QStringLiteral("changed=0"))) << said(second).toStdString();
    EXPECT_EQ(site.downloadsSent(), 0);
}

// A device that fails its load fails the task, with every device's record in the result.
TEST(Ansible, AFailedDeviceFailsTheTaskWithEveryRecord)
{
    NEED_ANSIBLE();
    Site site("device 4 type 2315 rev 0200 load-fault 67 nak 5\n");
    const Ran failed = site.upgrade(false);
    EXPECT_NE(failed.status, 0);
    EXPECT_TRUE(said(failed).contains(QStringLiteral("failed=1"))) << said(failed).toStdString();
    for (const char *record : {"\"outcome\": \"failed\"", "\"outcome\": \"current\"", "\"outcome\": \"loaded\""})
        EXPECT_TRUE(said(failed).contains(QLatin1String(record))) << record;
}

// The modules are Python that compiles, and their documentation is what ansible-doc shows.
TEST(Ansible, TheModulesCompileAndDocumentThemselves)
{
    NEED_ANSIBLE();
    const Site site;
    QMap<QString, QString> environment = site.environment();
    environment.insert(QStringLiteral("ANSIBLE_COLLECTIONS_PATH"), Collections);
    const QString modules = Collections + QStringLiteral("/ansible_collections/quillbus/service/plugins/modules/");
    const Ran compiled = runProgram(QStringLiteral("python3"),
                                    {QStringLiteral("-m"), QStringLiteral("py_compile"),
                                     modules + QStringLiteral("firmware.py"), modules + QStringLiteral("bus_facts.py")},
                                    environment);
    EXPECT_EQ(compiled.status, 0) << said(compiled).toStdString();
    for (const QString &module : {QStringLiteral("firmware"), QStringLiteral("bus_facts")}) {
        const Ran doc = runProgram(QStandardPaths::findExecutable(QStringLiteral("ansible-doc")),
                                   {QStringLiteral("quillbus.service.") + module}, environment);
        EXPECT_EQ(doc.status, 0) << said(doc).toStdString();
        EXPECT_TRUE(said(doc).contains(QStringLiteral("quillbus-service"))) << said(doc).toStdString();
    }
}
