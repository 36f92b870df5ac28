#include "engines/flash/AddressKeypad.h"

namespace {
// Beyond this the number is refused anyway; stop growing it so it cannot overflow.
constexpr long long MaxTyped = 99999999;
} // namespace

AddressKeypad::Outcome AddressKeypad::press(int key)
{
    Outcome outcome;
    if (key == EnterKey) {
        if (m_value <= MaxAddress)
            outcome.entered = static_cast<int>(m_value);
        else
            outcome.rejected = true;
        m_value = 0;
        m_typed = false;
    } else if (key == ClearKey) {
        m_value = 0;
        m_typed = false;
    } else if (key >= 0 && key <= ZeroKey) {
        const int digit = key == ZeroKey ? 0 : key + 1;
        if (m_value <= MaxTyped)
            m_value = m_value * 10 + digit;
        m_typed = true;
    }
    return outcome;
}

QString AddressKeypad::caption(int key)
{
    if (key == EnterKey)
        return QStringLiteral("Enter");
    if (key == ClearKey)
        return QStringLiteral("Clear");
    return QString::number(key == ZeroKey ? 0 : key + 1);
}
