// The launcher as installed: the configured script in a tree laid out as the package lays
// it out, with a stand-in for the program that lists the arguments it was given.
#include "QtPrinters.h"
#include "WorkingFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

// Only a start of the windows makes ~/Quillbus and gives it the samples; commands, texts
// and the tables leave it alone. Without a home, or where it cannot be made, the windows
// start in the current folder after one line saying why.
TEST(Launcher, OnlyTheWindowsMakeTheWorkingFolder)
{
    const bool rootFolderBefore = QFileInfo::exists(u"/Quillbus"_s);
    struct Case {
        QStringList arguments;
        const char *home;   // below the tree; nullptr: HOME unset
        bool windowsInHome; // given ~/Quillbus, made with the samples
        const char *said;   // the one line on standard error, from its start
    };
    const QString folder = u"--working-folder"_s;
    const Case cases[] = {
        {{}, "home", true, nullptr},
        {{u"--engineering"_s, u"-h"_s}, "home", false, nullptr},
        {{u"--write-tables"_s, u"."_s}, "home", false, nullptr},
        {{u"scan"_s, u"--to=3"_s}, "home", false, nullptr},
        {{folder, u"elsewhere"_s}, "home", false, nullptr},
        {{}, nullptr, false, "quillbus-service: HOME is not set, so there is no ~/Quillbus; the windows work in"},
        {{}, "file", false, "quillbus-service: cannot make the working folder %1/file/Quillbus: Not a directory;"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString() + " with HOME " + (c.home ? c.home : "unset"));
        WorkingFolder root;
        const QString program = root.path(QStringLiteral(QUILL_LAUNCHER_PROGRAM));
        for (const QString &made :
             {u"bin"_s, u"home"_s, u"work"_s, QStringLiteral(QUILL_LAUNCHER_SAMPLES), QFileInfo(program).path()})
            QDir(root.path(QString())).mkpath(made);
        QFile::copy(QStringLiteral(QUILL_LAUNCHER), root.path(u"bin/quillbus-service"_s));
        root.write(QStringLiteral(QUILL_LAUNCHER_PROGRAM), "#!/bin/sh\nprintf '%s\\n' \"$@\"\n");
        for (const QString &file : {root.path(u"bin/quillbus-service"_s), program})
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        root.write(QStringLiteral(QUILL_LAUNCHER_SAMPLES "/F2315-0202.hex"), ":00000001FF\n");
        root.write(u"file"_s, "");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"HOME"_s);
        if (c.home)
            environment.insert(u"HOME"_s, root.path(QString::fromLatin1(c.home)));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(root.path(u"work"_s));
        process.start(root.path(u"bin/quillbus-service"_s), c.arguments);
        ASSERT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        const QString quillbus = root.path(u"home/Quillbus"_s);
        const QStringList passed = c.windowsInHome ? QStringList{folder, quillbus} + c.arguments : c.arguments;
        EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                  passed);
        EXPECT_EQ(QFileInfo::exists(quillbus + u"/F2315-0202.hex"_s), c.windowsInHome);
        EXPECT_EQ(QFileInfo::exists(quillbus), c.windowsInHome);
        if (c.said) {
            EXPECT_TRUE(err.startsWith(QString::fromLatin1(c.said).replace(u"%1"_s, root.path(QString()))))
                << err.toStdString();
            EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
        } else {
            EXPECT_EQ(err, QString());
        }
    }
    if (!rootFolderBefore) {
        EXPECT_FALSE(QFileInfo::exists(u"/Quillbus"_s));
    }
}
