#include "TargetKeys.h"

#include "TextFormat.h"

void TargetKeys::view()
{
    DomeState &s = m_link.state;
    const int n = s.EntryNumber;
    if (n == 0 || n > MaxTarget) {
        m_link.report.displayMessage(QStringLiteral("Invalid Target Number!"));
    } else {
        const std::uint8_t code = s.SetLatch ? SetTarget : GotoTarget;
        const std::int32_t r = m_link.driver.DevTarget(code, static_cast<std::uint8_t>(n - 1), s.DomeAddress);
        if (r != 0)
            m_link.report.displayError(r);
        else
            m_link.report.displayMessage(
                (s.SetLatch ? QStringLiteral("Set Target #") : QStringLiteral("Goto Target #")) +
                TextFormat::numberText(n));
    }
    s.SetLatch = false;
    s.clearEntry();
}

void TargetKeys::pattern()
{
    DomeState &s = m_link.state;
    const int n = s.EntryNumber;
    if (n == 0)
        patternWithoutNumber();
    else if (n <= MaxPattern)
        patternNumbered(n);
    else
        m_link.report.displayMessage(QStringLiteral("Invalid Pattern Number!"));
    s.clearEntry();
    s.SetLatch = false;
    s.RepeatLatch = 0;
}

// Without a number the key reviews, ends a recording, or (after "Set") accepts.
void TargetKeys::patternWithoutNumber()
{
    DomeState &s = m_link.state;
    PatternFunction function = Review;
    QString done = QStringLiteral("Review Pattern");
    if (s.PatternState == 1) {
        function = End;
        done = QStringLiteral("End Pattern");
    } else if (s.SetLatch) {
        function = Accept;
        done = QStringLiteral("Accept Pattern");
    }
    const std::int32_t r = m_link.driver.DevPattern(function, 0, s.DomeAddress, 0);
    if (r != 0) {
        m_link.report.displayError(r);
        return;
    }
    m_link.report.displayMessage(done);
    if (function == End)
        s.PatternState = 0;
}

void TargetKeys::patternNumbered(int number)
{
    DomeState &s = m_link.state;
    const auto index = static_cast<std::uint8_t>(number - 1);
    std::int32_t r = 0;
    if (s.SetLatch) {
        m_link.report.displayMessage(QStringLiteral("Define Pattern #") + TextFormat::numberText(number));
        r = m_link.driver.DevPattern(Define, index, s.DomeAddress, 0);
        if (r == 0)
            s.PatternState = 1;
    } else {
        m_link.report.displayMessage(
            (s.RepeatLatch == 1 ? QStringLiteral("Repeat Pattern #") : QStringLiteral("Run Pattern #")) +
            TextFormat::numberText(number));
        r = m_link.driver.DevPattern(Run, index, s.DomeAddress, s.RepeatLatch);
    }
    if (r != 0)
        m_link.report.displayError(r);
}

void TargetKeys::peel()
{
    DomeState &s = m_link.state;
    const std::int32_t r =
        m_link.driver.DevPattern(RunPeel, static_cast<std::uint8_t>(s.EntryNumber), s.DomeAddress, 0);
    if (r != 0)
        m_link.report.displayError(r);
    else
        m_link.report.displayMessage(QStringLiteral("Run Peel Pattern"));
    s.clearEntry();
}
