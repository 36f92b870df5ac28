#pragma once

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A program run to its end as a script runs it: its exit status (-1 when it crashed or did
// not end within the wait) and what it wrote, with variables added to the environment.
struct Ran {
    int status = -1;
    QString out;
    QString err;
};

inline Ran runProgram(const QString &program, const QStringList &arguments,
                      const QMap<QString, QString> &environment = {}, int waitMs = 300000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.begin(); it != environment.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(waitMs))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
