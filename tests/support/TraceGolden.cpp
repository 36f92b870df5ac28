#include "TraceGolden.h"
#include "QtPrinters.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTextStream>

#include <gtest/gtest.h>

#include <map>

namespace {

// golden.txt: one line per bus, "<Suite.Test>#<n> <entries> <digest>".
const QHash<QString, QString> &goldenRecord()
{
    static const QHash<QString, QString> record = [] {
        QHash<QString, QString> lines;
        QFile file(QStringLiteral(QUILL_TRACE_GOLDEN));
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTextStream in(&file);
            while (!in.atEnd()) {
                const QString line = in.readLine();
                const qsizetype blank = line.indexOf(QLatin1Char(' '));
                if (blank > 0)
                    lines.insert(line.left(blank), line.mid(blank + 1));
            }
        }
        return lines;
    }();
    return record;
}

// The n-th bus of the running test.
QString busName()
{
    static std::map<std::string, int> busesPerTest;
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-tests";
    return QString::fromStdString(name) + QLatin1Char('#') + QString::number(++busesPerTest[name]);
}

// A bus's name as a file's: a parameterised test's name holds '/'.
QString fileName(QString name)
{
    return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

// How many entries, and a digest of their texts in order.
std::string fingerprint(const emu::Trace &trace)
{
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const emu::TraceEntry &entry : trace.entries()) {
        digest.addData(QByteArray::fromStdString(entry.text()));
        digest.addData(QByteArrayView("\n"));
    }
    return std::to_string(trace.entries().size()) + " " + digest.result().toHex().toStdString();
}

} // namespace

void TraceGolden::settle(const emu::Trace &trace)
{
    const QString name = busName();
    const QString print = QString::fromStdString(fingerprint(trace));
    const QByteArray textFolder = qgetenv("QUILL_TRACE_TEXT");
    if (!textFolder.isEmpty()) {
        QFile file(QDir(QString::fromLocal8Bit(textFolder)).filePath(fileName(name) + u".txt"_s));
        if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            for (const emu::TraceEntry &entry : trace.entries())
                file.write(QByteArray::fromStdString(entry.text() + "\n"));
        }
    }
    const QByteArray folder = qgetenv("QUILL_TRACE_RECORD");
    if (!folder.isEmpty()) {
        QFile file(QDir(QString::fromLocal8Bit(folder)).filePath(fileName(name)));
        if (file.open(QIODevice::WriteOnly | QIODevice::Text))
            file.write((name + QLatin1Char(' ') + print + QLatin1Char('\n')).toUtf8());
        return;
    }
    const auto recorded = goldenRecord().constFind(name);
    if (recorded == goldenRecord().constEnd()) {
        ADD_FAILURE() << name.toStdString() << " has no recorded fingerprint: record it with QUILL_TRACE_RECORD";
        return;
    }
    EXPECT_EQ(print.toStdString(), recorded->toStdString())
        << "the driver calls and bus messages of " << name.toStdString() << " differ from the recorded ones";
}
