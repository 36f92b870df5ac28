#pragma once

#include <QString>

#include <optional>
#include <utility>

// The answer of a check or a step that either goes ahead or cannot: none, or the sentence
// a technician reads to see why it cannot. A problem is never told by an empty text.
class [[nodiscard]] Problem {
public:
    Problem() = default;
    explicit Problem(QString why) : m_why(std::move(why)) {}

    // True when there is a problem.
    explicit operator bool() const { return m_why.has_value(); }
    // Why it cannot go ahead; empty when it can.
    QString why() const { return m_why.value_or(QString()); }

private:
    std::optional<QString> m_why;
};
