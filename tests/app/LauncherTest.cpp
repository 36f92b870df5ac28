// The launcher as installed: the configured script in a tree laid out as the package lays
// it out, with a stand-in for the program that lists the arguments it was given.
#include "QtPrinters.h"
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
        const QString launcher = m_root.filePath(u"bin/quillbus-service"_s);
        const QString program = m_root.filePath(QStringLiteral(QUILL_LAUNCHER_PROGRAM));
        for (const QString &folder :
             {u"bin"_s, u"home"_s, u"work"_s, QStringLiteral(QUILL_LAUNCHER_SAMPLES), QFileInfo(program).path()})
            QDir(m_root.path()).mkpath(folder);
        QFile::copy(QStringLiteral(QUILL_LAUNCHER), launcher);
        write(program, "#!/bin/sh\nprintf '%s\\n' \"$@\"\n");
        for (const QString &file : {launcher, program})
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(path(QStringLiteral(QUILL_LAUNCHER_SAMPLES "/F2315-0202.hex")), ":00000001FF\n");
        write(path(u"file"_s), "");
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
        environment.remove(u"HOME"_s);
        if (home != Home::Unset) {
            const char *name = home == Home::Folder ? "home" : home == Home::File ? "file" : "missing";
            environment.insert(u"HOME"_s, path(QString::fromLatin1(name)));
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(path(u"work"_s));
        process.start(path(u"bin/quillbus-service"_s), arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return {{u"did not run"_s}, QString::fromLocal8Bit(process.readAllStandardError())};
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
    const bool rootFolderBefore = QFileInfo::exists(u"/Quillbus"_s);
    struct Case {
        QStringList arguments;
        Home home;
        bool windowsInHome; // given ~/Quillbus, made with the samples
        const char *said;   // the one line on standard error, from its start
    };
    const QString folder = u"--working-folder"_s;
    const Case cases[] = {
        {{}, Home::Folder, true, nullptr},
        {{u"--engineering"_s}, Home::Folder, true, nullptr},
        {{u"--version"_s}, Home::Folder, false, nullptr},
        {{u"--engineering"_s, u"-h"_s}, Home::Folder, false, nullptr},
        {{u"--write-tables"_s, u"."_s}, Home::Folder, false, nullptr},
        {{u"scan"_s, u"--to=3"_s}, Home::Folder, false, nullptr},
        {{u"tables"_s, u"out"_s}, Home::Unset, false, nullptr},
        {{folder, u"elsewhere"_s}, Home::Folder, false, nullptr},
        {{}, Home::Unset, false, "quillbus-service: HOME is not set, so there is no ~/Quillbus; the windows work in"},
        {{}, Home::File, false, "quillbus-service: cannot make the working folder %1/file/Quillbus: Not a directory;"},
        {{},
         Home::Missing,
         false,
         "quillbus-service: cannot make the working folder %1/missing/Quillbus: No such file or directory;"},
    };
    for (const Case &c : cases) {
        const Launcher launcher;
        const QString quillbus = launcher.path(u"home/Quillbus"_s);
        const Launcher::Ran ran = launcher.run(c.arguments, c.home);
        const QString which =
            c.arguments.join(QLatin1Char(' ')) + u" with HOME "_s + QString::number(static_cast<int>(c.home));
        const QStringList passed = c.windowsInHome ? QStringList{folder, quillbus} + c.arguments : c.arguments;
        EXPECT_EQ(ran.passed, passed) << which.toStdString();
        EXPECT_EQ(QFileInfo::exists(quillbus + u"/F2315-0202.hex"_s), c.windowsInHome) << which.toStdString();
        if (!c.windowsInHome) {
            EXPECT_FALSE(QFileInfo::exists(quillbus)) << which.toStdString();
        }
        if (c.said) {
            EXPECT_TRUE(ran.err.startsWith(QString::fromLatin1(c.said).replace(u"%1"_s, launcher.root())))
                << ran.err.toStdString();
            EXPECT_EQ(ran.err.count(QLatin1Char('\n')), 1) << ran.err.toStdString();
        } else {
            EXPECT_EQ(ran.err, QString()) << which.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(launcher.path(u"missing"_s)));
    }
    if (!rootFolderBefore) {
        EXPECT_FALSE(QFileInfo::exists(u"/Quillbus"_s));
    }
}
