#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QEvent;
class QFocusEvent;
class QWidget;

// A window's user actions in step with its driver calls. A click, a key or a drag that
// arrives while a call the window issued before it is still out waits, and is handled
// once that call's answer has been handled, with the state the answer left: one action at
// a time, in the order they came, as when the window's thread waited for the driver.
// Mouse moves waiting in a row collapse into the latest. The window paints meanwhile.
// A waiting key goes where the keyboard focus is when its turn comes, and a waiting press
// moves the focus in its turn, as if each had just been made.
class ActionQueue final : public QObject {
    Q_OBJECT
public:
    using Ticket = std::uint64_t;

    explicit ActionQueue(QWidget *window);
    ~ActionQueue() override;

    // The driver tells (through CallWatch) of a call issued for receiver (an object of a window): the ticket
    // to hand back once its answer has been handled; 0 when no window waits on it. A long
    // run of calls passes endSoon: it is called once an action comes to wait for the run,
    // which then ends as soon as it can so that the action gets its turn.
    static Ticket issued(const QObject *receiver, std::function<void()> endSoon = {});
    static void answered(Ticket ticket);
    // Where answers have been handled (after each, and at a long run's breathing point):
    // the actions that waited for them run, in order.
    static void runDue();

    // Closing or reconnecting: the actions that have not started are dropped.
    void dropWaiting();
    // Input to this widget never waits: it drops what waits and is handled at once.
    void letThrough(const QWidget *widget) { m_throughWidget = widget; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Action {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
        Ticket after; // the last call issued before it came
    };
    // Where a press moved the focus before the press came to the queue.
    struct FocusMove {
        QPointer<QWidget> lost;
        QPointer<QWidget> gained;
    };
    static ActionQueue *serving(const QObject *receiver);
    bool due(const Action &action) const;
    void run();
    void deliver(const Action &action);
    void noteFocusMovedByPress(QWidget *widget, const QFocusEvent *focus);

    QWidget *m_window;
    const QWidget *m_throughWidget = nullptr;
    void askRunsToEnd();

    std::set<Ticket> m_outstanding;
    std::map<Ticket, std::function<void()>> m_runs; // outstanding runs not yet asked to end
    Ticket m_lastIssued = 0;
    std::deque<Action> m_waiting;
    FocusMove m_pressFocus;
    bool m_running = false;
};
