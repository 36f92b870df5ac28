// Writes the Wireshark dissector from its template, with the monitor's own decoder rules
// put in as a Lua table, so the dissector words every message as the monitor does.
#include "base/MessageDecoder.h"

#include <QFile>
#include <QString>

#include <cstdio>

namespace {

QString luaString(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString luaString(const char *text)
{
    return luaString(QString::fromLatin1(text));
}

QString hex(int code)
{
    return QStringLiteral("0x") + QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

const char *ruleName(MessageDecoder::Number number)
{
    switch (number) {
    case MessageDecoder::Number::None: return "none";
    case MessageDecoder::Number::FirstPlusOne: return "first_plus_one";
    case MessageDecoder::Number::First: return "first";
    case MessageDecoder::Number::Second: return "second";
    }
    return "none";
}

QString decoderTable()
{
    using namespace MessageDecoder;
    QString lua = QStringLiteral("local decoder = {\n");
    lua += QStringLiteral("    invalid = %1,\n").arg(luaString(InvalidCommand));
    lua += QStringLiteral("    unreadable = %1,\n").arg(hex(Unreadable));
    lua += QStringLiteral("    variable_speed = %1,\n").arg(hex(VariableSpeedMove));
    lua += QStringLiteral("    speed_unit = %1,\n").arg(luaString(SpeedUnit));
    lua += QStringLiteral("    directions = {\n");
    for (const Entry &entry : speedDirections())
        lua += QStringLiteral("        [%1] = %2,\n").arg(hex(entry.code), luaString(entry.text));
    lua += QStringLiteral("    },\n");
    lua += QStringLiteral("    repeat_pattern = %1,\n").arg(hex(RepeatPattern));
    lua += QStringLiteral("    run_pattern_text = %1,\n").arg(luaString(RunPatternText));
    lua += QStringLiteral("    repeat_pattern_text = %1,\n").arg(luaString(RepeatPatternText));
    lua += QStringLiteral("    commands = {\n");
    for (const Entry &entry : commands())
        lua += QStringLiteral("        [%1] = { %2, \"%3\" },\n")
                   .arg(hex(entry.code), luaString(entry.text), QLatin1String(ruleName(entry.number)));
    lua += QStringLiteral("    },\n}\n");
    return lua;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Cannot read %s: %s\n", argv[1], qPrintable(source.errorString()));
        return 1;
    }
    const QByteArray marker = "-- @DECODER_TABLE@\n";
    QByteArray text = source.readAll();
    if (!text.contains(marker)) {
        std::fprintf(stderr, "%s has no decoder table marker\n", argv[1]);
        return 1;
    }
    text.replace(marker, decoderTable().toUtf8());
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size() || !out.flush()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", argv[2], qPrintable(out.errorString()));
        out.remove();
        return 1;
    }
    return 0;
}
