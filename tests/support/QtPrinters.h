#pragma once

#include <QString>

#include <ostream>

// Texts are written u"..."_s.
using namespace Qt::StringLiterals;

// Lets test failures show texts as text.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
