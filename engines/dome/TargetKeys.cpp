#include "engines/dome/TargetKeys.h"

#include "core/TextFormat.h"

void TargetKeys::view()
{
    DomeState &s = m_link.state;
    const int n = s.EntryNumber;
    if (n == 0 || n > MaxTarget) {
        m_link.events.said(QStringLiteral("Invalid Target Number!"));
    } else {
        const std::uint8_t code = s.SetLatch ? SetTarget : GotoTarget;
        const auto index = static_cast<std::uint8_t>(n - 1);
        const std::uint8_t address = s.DomeAddress;
        const QString done =
            (s.SetLatch ? QStringLiteral("Set Target #") : QStringLiteral("Goto Target #")) + TextFormat::numberText(n);
        m_link.send([=](ModuleDriver &d) { return d.DevTarget(code, index, address); },
                    [link = m_link, done](std::int32_t r) {
                        if (r != 0)
                            link.events.callFailed(r);
                        else
                            link.events.said(done);
                    });
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
        m_link.events.said(QStringLiteral("Invalid Pattern Number!"));
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
    const std::uint8_t address = s.DomeAddress;
    m_link.send([=](ModuleDriver &d) { return d.DevPattern(function, 0, address, 0); },
                [link = m_link, function, done](std::int32_t r) {
                    if (r != 0) {
                        link.events.callFailed(r);
                        return;
                    }
                    link.events.said(done);
                    if (function == End)
                        link.state.PatternState = 0;
                });
}

void TargetKeys::patternNumbered(int number)
{
    DomeState &s = m_link.state;
    const auto index = static_cast<std::uint8_t>(number - 1);
    const std::uint8_t address = s.DomeAddress;
    if (s.SetLatch) {
        m_link.events.said(QStringLiteral("Define Pattern #") + TextFormat::numberText(number));
        m_link.send([=](ModuleDriver &d) { return d.DevPattern(Define, index, address, 0); },
                    [link = m_link](std::int32_t r) {
                        if (r == 0)
                            link.state.PatternState = 1;
                        else
                            link.events.callFailed(r);
                    });
    } else {
        m_link.events.said((s.RepeatLatch == 1 ? QStringLiteral("Repeat Pattern #") : QStringLiteral("Run Pattern #")) +
                           TextFormat::numberText(number));
        const std::uint8_t repeat = s.RepeatLatch;
        m_link.send([=](ModuleDriver &d) { return d.DevPattern(Run, index, address, repeat); });
    }
}

void TargetKeys::peel()
{
    DomeState &s = m_link.state;
    const auto number = static_cast<std::uint8_t>(s.EntryNumber);
    const std::uint8_t address = s.DomeAddress;
    m_link.send([=](ModuleDriver &d) { return d.DevPattern(RunPeel, number, address, 0); },
                [link = m_link](std::int32_t r) {
                    if (r != 0)
                        link.events.callFailed(r);
                    else
                        link.events.said(QStringLiteral("Run Peel Pattern"));
                });
    s.clearEntry();
}
