#pragma once

#include <QString>

#include <optional>

// The flash loader's address keypad: digits build a number, Enter hands it over when
// it is a bus address (255 or less), Clear starts again.
class AddressKeypad {
public:
    static constexpr int EnterKey = 9;
    static constexpr int ZeroKey = 10;
    static constexpr int ClearKey = 11;
    static constexpr int MaxAddress = 255;

    struct Outcome {
        std::optional<int> entered; // Enter with a valid number
        bool rejected = false;      // Enter with a number above 255
    };

    // Key i: 0-8 are the digits 1-9, 9 Enter, 10 the digit 0, 11 Clear.
    Outcome press(int key);

    // What the entry box shows: the number typed so far, empty when nothing is.
    QString text() const { return m_typed ? QString::number(m_value) : QString(); }

    static QString caption(int key);

private:
    long long m_value = 0;
    bool m_typed = false;
};
