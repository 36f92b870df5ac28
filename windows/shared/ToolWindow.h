#pragma once

#include <QWidget>

class ActionQueue;
class QCloseEvent;

// A tool window opened from the control panel: it runs its own shutdown when it
// closes and then tells the panel to show itself again. Its user's actions keep step
// with its driver calls (ActionQueue); closing drops those that have not started.
class ToolWindow : public QWidget {
    Q_OBJECT
public:
    explicit ToolWindow(QWidget *parent = nullptr);

    ActionQueue &actions() { return *m_actions; }

signals:
    // Emitted while the window closes, after its shutdown ran.
    void unloaded();

protected:
    // The window's own shutdown: release the module, close its files.
    virtual void unloadWindow() = 0;
    // True while the window runs a blocking loop that must end before the window goes;
    // the window then asks that loop to stop and closes itself when it has.
    virtual bool deferClose() { return false; }
    void closeEvent(QCloseEvent *event) override;

private:
    ActionQueue *m_actions;
    bool m_unloaded = false;
};
