#include "engines/dome/DomeState.h"

#include "engines/dome/DomeTexts.h"

namespace DomeKeypad {

Outcome addDigit(DomeState &state, int digit)
{
    if (state.EntryDigits != 0)
        state.EntryNumber *= 10;
    state.EntryNumber += digit;
    // A count that wrapped to 0 would make the next digit start a fresh number.
    if (state.EntryDigits < 255)
        ++state.EntryDigits;
    if (state.EntryNumber > DomeState::MaxEntry) {
        state.EntryNumber = 0;
        return {Outcome::Show::Message, QStringLiteral("Invalid Number!")};
    }
    return {Outcome::Show::Number, QString::number(state.EntryNumber)};
}

Outcome selectCamera(DomeState &state)
{
    Outcome outcome;
    if (state.EntryNumber > DomeState::MaxCamera) {
        outcome = {Outcome::Show::Message, QStringLiteral("Invalid Camera Number")};
    } else if (state.EntryNumber == 0) {
        state.SetLatch = true;
    } else {
        state.DomeAddress = static_cast<std::uint8_t>(state.EntryNumber);
        outcome = {Outcome::Show::Message, DomeTexts::camera(state.DomeAddress)};
        if (state.DomeAddress > state.MaxConfiguredAddress) {
            state.MaxConfiguredAddress = state.DomeAddress;
            outcome.reconfigure = true;
        }
        outcome.greet = true;
    }
    state.clearEntry();
    return outcome;
}

Outcome clear(DomeState &state)
{
    state.clearEntry();
    return {Outcome::Show::Message, QString()};
}

} // namespace DomeKeypad
