// The launcher as installed: the configured script in a tree laid out as the package lays
// it out, with a stand-in for the program that lists the arguments it was given.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

enum class Home { Folder, Unset, File, Missing };

class Launcher {
public:
    Launcher()
    {
        const QString launcher = m_root.filePath(QStringLiteral("bin/quillbus-service"));
        const QString program = m_root.filePath(QStringLiteral(QUILL_LAUNCHER_PROGRAM));
        for (const QString &folder : {QStringLiteral("bin"), QStringLiteral("home"), QStringLiteral("work"),
                                      QStringLiteral(QUILL_LAUNCHER_SAMPLES), QFileInfo(program).path()})
            QDir(m_root.path()).mkpath(folder);
        QFile::copy(QStringLiteral(QUILL_LAUNCHER), launcher);
        write(program, "#!/bin/sh\nprintf '%s\\n' \"$@\"\n");
        for (const QString &file : {launcher, program})
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(path(QStringLiteral(QUILL_LAUNCHER_SAMPLES "/F2315-0202.hex")), ":00000001FF\n");
        write(path(QStringLiteral("file")), "");
    }

    QString root() const { return m_root.path(); }
    QString path(const QString &name) const { return m_root.filePath(name); }

    struct Ran {
        QStringList passed; // the arguments the program was given
        QString err;
    };
    Ran run(const QStringList &arguments, Home home) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("HOME"));
        if (home != Home::Unset) {
            const char *name = home == Home::Folder ? "home" : home == Home::File ? "file" : "missing";
            environment.insert(QStringLiteral("HOME"), path(QString::fromLatin1(name)));
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(path(QStringLiteral("work")));
        process.start(path(QStringLiteral("bin/quillbus-service")), arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return {{QStringLiteral("did not run")}, QString::fromLocal8Bit(process.readAllStandardError())};
        QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        out.chop(1);
        return {out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n')),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private:
    static void write(const QString &name, const QByteArray &content)
    {
        QFile file(name);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    QTemporaryDir m_root;
};

} // namespace

// Only a start of the windows makes ~/Quillbus and gives it the samples; commands, texts
// and the tables leave it alone. Without a home, or where it cannot be made, the windows
// start in the current folder after one line saying why.
TEST(Launcher, OnlyTheWindowsMakeTheWorkingFolder)
{
    const bool rootFolderBefore = QFileInfo::exists(QStringLiteral("/Quillbus"));
    struct Case {
        QStringList arguments;
        Home home;
        bool windowsInHome; // given ~/Quillbus, made with the samples
        const char *said;   // the one line on standard error, from its start
    };
    const QString folder = QStringLiteral("--working-folder");
    const Case cases[] = {
        {{}, Home::Folder, true, nullptr},
        {{QStringLiteral("--engineering")}, Home::Folder, true, nullptr},
        {{QStringLiteral("--version")}, Home::Folder, false, nullptr},
        {{QStringLiteral("--engineering"), QStringLiteral("-h")}, Home::Folder, false, nullptr},
        {{QStringLiteral("--write-tables"), QStringLiteral(".")}, Home::Folder, false, nullptr},
        {{QStringLiteral("scan"), QStringLiteral("--to=3")}, Home::Folder, false, nullptr},
        {{QStringLiteral("tables"), QStringLiteral("out")}, Home::Unset, false, nullptr},
        {{folder, QStringLiteral("elsewhere")}, Home::Folder, false, nullptr},
        {{}, Home::Unset, false, "quillbus-service: HOME is not set, so there is no ~/Quillbus; the windows work in"},
        {{}, Home::File, false, "quillbus-service: cannot make the working folder %1/file/Quillbus: Not a directory;"},
        {{},
         Home::Missing,
         false,
         "quillbus-service: cannot make the working folder %1/missing/Quillbus: No such file or directory;"},
    };
    for (const Case &c : cases) {
        const Launcher launcher;
        const QString quillbus = launcher.path(QStringLiteral("home/Quillbus"));
        const Launcher::Ran ran = launcher.run(c.arguments, c.home);
        const QString which = c.arguments.join(QLatin1Char(' ')) + QStringLiteral(" with HOME ") +
                              QString::number(static_cast<int>(c.home));
        const QStringList passed = c.windowsInHome ? QStringList{folder, quillbus} + c.arguments : c.arguments;
        EXPECT_EQ(ran.passed, passed) << which.toStdString();
        EXPECT_EQ(QFileInfo::exists(quillbus + QStringLiteral("/F2315-0202.hex")), c.windowsInHome)
            << which.toStdString();
        if (!c.windowsInHome) {
            EXPECT_FALSE(QFileInfo::exists(quillbus)) << which.toStdString();
        }
        if (c.said) {
            EXPECT_TRUE(ran.err.startsWith(QString::fromLatin1(c.said).replace(QStringLiteral("%1"), launcher.root())))
                << ran.err.toStdString();
            EXPECT_EQ(ran.err.count(QLatin1Char('\n')), 1) << ran.err.toStdString();
        } else {
            EXPECT_EQ(ran.err, QString()) << which.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(launcher.path(QStringLiteral("missing"))));
    }
    if (!rootFolderBefore) {
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Quillbus")));
    }
}
