#pragma once

#include <QObject>
#include <QString>

#include <functional>

class FormTimer;
class QLineEdit;

// The dome window's status line: a message stays up for three seconds, then the current
// camera returns; a number being typed shows right-aligned and untimed.
class StatusLine final : public QObject {
    Q_OBJECT
public:
    static constexpr int MessageMs = 3000;

    // timer is the window's Timer4; camera tells the address the camera text names.
    StatusLine(QLineEdit *line, FormTimer *timer, std::function<int()> camera, QObject *parent);

    void displayMessage(const QString &text);
    void showNumber(const QString &digits);
    // Written without the timer (the ping line); the camera text does not return.
    void showUntimed(const QString &text);
    void stopTimer();
    void startTimer();

private:
    void timerFired();

    QLineEdit *m_line;
    FormTimer *m_timer;
    std::function<int()> m_camera;
};
