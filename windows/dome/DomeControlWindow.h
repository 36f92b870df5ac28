#pragma once

#include "driver/ModuleDriver.h"
#include "engines/dome/DomeFunctions.h"
#include "engines/dome/DomeLink.h"
#include "engines/dome/DomeMessages.h"
#include "engines/dome/DomeState.h"
#include "engines/dome/Joystick.h"
#include "engines/dome/MotionKeys.h"
#include "engines/dome/RawMessageKeys.h"
#include "engines/dome/StatusKeys.h"
#include "engines/dome/TargetKeys.h"
#include "windows/dome/DomeControlForm.h"
#include "windows/shared/ToolWindow.h"

#include <set>

class EngineeringPanel;
class PingTest;
class QFrame;
class QMouseEvent;
class QScrollArea;
class ReceivePoll;
class StatusLine;

// The dome control window: drives one dome at a time like a CCTV keyboard.
// This class wires the form's keys to the dome's state and its key groups.
class DomeControlWindow final : public ToolWindow, private DomeEvents {
    Q_OBJECT
public:
    explicit DomeControlWindow(ModuleDriver &driver, QWidget *parent = nullptr);

    const DomeState &state() const { return m_state; }
    const PingTest &pingTest() const { return *m_ping; }
    // The designed size of the face in view, in twips.
    int widthTwips() const { return m_widthTwips; }
    int heightTwips() const { return m_heightTwips; }

protected:
    void unloadWindow() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeFace();
    void wireKeys();
    void wireMotionKeys();
    void wireFunctionKeys();
    void wireReplies();
    void holdKey(QWidget *key, std::function<void()> pressed, std::function<void()> released);
    void loadWindow();
    void connectModule();
    void setWindowSize(int widthTwips, int heightTwips);
    void growWindow();
    void stopWhatMoves();
    void reconnect();
    void keypadPressed(int key);
    void greetingStep();
    void sendDomeQuery(std::uint8_t code);
    void showMessageBytes(const DomeMessages::Bytes &bytes);
    void alarmReport(std::uint8_t inputs);
    bool padEvent(QEvent *event);
    void runJoystick(const Joystick::Step &step);

    // What the keys tell.
    void said(const QString &text) override { displayMessage(text); }
    void callFailed(std::int32_t code) override { displayError(code); }
    void lensControlChanged(LensControl control) override;
    void menuChanged(bool menuOpen) override;
    void displayMessage(const QString &text);
    void displayError(std::int32_t code);

    ModuleDriver &m_driver;
    QScrollArea *m_scroll;
    QWidget *m_face;

public:
    DomeControlForm form;

private:
    DomeState m_state;
    StatusLine *m_status;
    MotionKeys m_motion;
    TargetKeys m_targets;
    DomeFunctions m_functions;
    StatusKeys m_statusKeys;
    RawMessageKeys m_raw;
    ReceivePoll *m_poll;
    PingTest *m_ping;
    EngineeringPanel *m_panel;
    Joystick m_joystick;
    // The dome the pad's press was made on: the drag's moves and its stops go there,
    // whatever dome is chosen meanwhile.
    std::uint8_t m_padAddress = 1;
    std::map<QObject *, std::pair<std::function<void()>, std::function<void()>>> m_holdKeys;
    std::set<QObject *> m_heldKeys; // pressed and not yet released
    int m_widthTwips = DomeControlForm::CompactWidth;
    int m_heightTwips = DomeControlForm::CompactHeight;
};
