#include "windows/shared/ActionQueue.h"

#include "driver/CallWatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {
// The queues of the open windows, and which queue each call still out belongs to. All of
// it lives on the windows' thread.
std::vector<ActionQueue *> s_queues;
std::map<ActionQueue::Ticket, ActionQueue *> s_owners;
ActionQueue::Ticket s_lastTicket = 0;

bool isAction(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod: return true;
    default: return false;
    }
}

// Typing goes where the keyboard focus is when it is handled, not where it was when it came.
bool followsFocus(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::InputMethod;
}

// The focus policy an input event moves the focus by, or NoFocus.
Qt::FocusPolicy focusingPolicy(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: return Qt::ClickFocus;
    case QEvent::Wheel: return Qt::WheelFocus;
    default: return Qt::NoFocus;
    }
}

QPoint localPosition(const QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return static_cast<const QWheelEvent *>(event)->position().toPoint();
    return static_cast<const QMouseEvent *>(event)->position().toPoint();
}

// A press handed on late is not a spontaneous one, so Qt does not move the focus for it:
// the focus moves here as a fresh press would move it.
void focusAsAPressWould(QWidget *widget, QPoint position, Qt::FocusPolicy policy)
{
    for (QWidget *candidate = widget; candidate; candidate = candidate->parentWidget()) {
        QWidget *proxy = candidate->focusProxy() ? candidate->focusProxy() : candidate;
        if (candidate->isEnabled() && candidate->rect().contains(position) &&
            (candidate->focusPolicy() & policy) == policy && (proxy->focusPolicy() & policy) == policy) {
            candidate->setFocus(Qt::MouseFocusReason);
            return;
        }
        if (candidate->isWindow() || proxy->hasFocus())
            return;
        position += candidate->pos();
    }
}
} // namespace

ActionQueue::ActionQueue(QWidget *window) : QObject(window), m_window(window)
{
    // The driver tells the windows' queues of every call it is given.
    CallWatch::install({&ActionQueue::issued, &ActionQueue::answered, &ActionQueue::runDue});
    s_queues.push_back(this);
    QCoreApplication::instance()->installEventFilter(this);
}

ActionQueue::~ActionQueue()
{
    s_queues.erase(std::remove(s_queues.begin(), s_queues.end(), this), s_queues.end());
    for (auto owner = s_owners.begin(); owner != s_owners.end();)
        owner = owner->second == this ? s_owners.erase(owner) : std::next(owner);
}

ActionQueue *ActionQueue::serving(const QObject *receiver)
{
    while (receiver && !receiver->isWidgetType())
        receiver = receiver->parent();
    if (!receiver)
        return nullptr;
    const QWidget *window = static_cast<const QWidget *>(receiver)->window();
    const auto queue = std::find_if(s_queues.begin(), s_queues.end(),
                                    [window](const ActionQueue *q) { return q->m_window == window; });
    return queue == s_queues.end() ? nullptr : *queue;
}

ActionQueue::Ticket ActionQueue::issued(const QObject *receiver, std::function<void()> endSoon)
{
    ActionQueue *queue = serving(receiver);
    if (!queue)
        return 0;
    const Ticket ticket = ++s_lastTicket;
    queue->m_outstanding.insert(ticket);
    queue->m_lastIssued = ticket;
    s_owners[ticket] = queue;
    if (endSoon)
        queue->m_runs.emplace(ticket, std::move(endSoon));
    return ticket;
}

void ActionQueue::answered(Ticket ticket)
{
    const auto owner = s_owners.find(ticket);
    if (owner == s_owners.end())
        return;
    owner->second->m_outstanding.erase(ticket);
    owner->second->m_runs.erase(ticket);
    s_owners.erase(owner);
}

void ActionQueue::runDue()
{
    const std::vector<ActionQueue *> queues = s_queues;
    for (ActionQueue *queue : queues) {
        if (std::find(s_queues.begin(), s_queues.end(), queue) != s_queues.end())
            queue->run();
    }
}

void ActionQueue::dropWaiting()
{
    m_waiting.clear();
}

bool ActionQueue::due(const Action &action) const
{
    return m_outstanding.empty() || *m_outstanding.begin() > action.after;
}

void ActionQueue::run()
{
    if (m_running)
        return;
    const QPointer<ActionQueue> self(this);
    m_running = true;
    while (self && !m_waiting.empty() && due(m_waiting.front())) {
        Action action = std::move(m_waiting.front());
        m_waiting.pop_front();
        const Ticket before = m_lastIssued;
        deliver(action);
        if (!self)
            return; // the action closed the window
        // Whatever waits came after this action, so it waits for the calls this one issued.
        if (m_lastIssued > before) {
            for (Action &next : m_waiting)
                next.after = std::max(next.after, m_lastIssued);
        }
    }
    m_running = false;
}

void ActionQueue::deliver(const Action &action)
{
    QEvent *event = action.event.get();
    if (followsFocus(event->type())) {
        QWidget *grabber = QWidget::keyboardGrabber();
        QWidget *focus = grabber && grabber->window() == m_window ? grabber : m_window->focusWidget();
        QCoreApplication::sendEvent(focus ? focus : m_window, event);
        return;
    }
    if (!action.receiver)
        return;
    if (const Qt::FocusPolicy policy = focusingPolicy(event->type()); policy != Qt::NoFocus)
        focusAsAPressWould(static_cast<QWidget *>(action.receiver.data()), localPosition(event), policy);
    if (action.receiver)
        QCoreApplication::sendEvent(action.receiver, event);
}

bool ActionQueue::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running || !watched->isWidgetType())
        return false;
    const QEvent::Type type = event->type();
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != m_window)
        return false;
    if (type == QEvent::FocusOut || type == QEvent::FocusIn) {
        noteFocusMovedByPress(widget, static_cast<const QFocusEvent *>(event));
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // While keys wait, no shortcut may act ahead of them: the key waits as a key, and
        // Qt asks for the override again when the key is handed on.
        if (m_waiting.empty() && m_outstanding.empty())
            return false;
        event->accept();
        return true;
    }
    if (!isAction(type))
        return false;
    const FocusMove pressFocus = std::exchange(m_pressFocus, {});
    if (widget == m_throughWidget) {
        if (type == QEvent::MouseButtonDblClick)
            dropWaiting();
        return false;
    }
    if (m_waiting.empty() && m_outstanding.empty())
        return false;
    if (type == QEvent::MouseMove && !m_waiting.empty() && m_waiting.back().event->type() == QEvent::MouseMove &&
        m_waiting.back().receiver == watched) {
        m_waiting.back().event.reset(event->clone());
        return true;
    }
    // Qt moved the focus for this press before it reached the queue; the press moves it
    // again in its turn, so keys typed before it still go where they were typed.
    if (pressFocus.gained) {
        if (pressFocus.lost)
            pressFocus.lost->setFocus(Qt::OtherFocusReason);
        else
            pressFocus.gained->clearFocus();
    }
    m_waiting.push_back({watched, std::unique_ptr<QEvent>(event->clone()), m_lastIssued});
    askRunsToEnd();
    return true;
}

// The focus a spontaneous press moves is moved before the press is filtered: what it left
// and what it gained are noted until the press itself comes.
void ActionQueue::noteFocusMovedByPress(QWidget *widget, const QFocusEvent *focus)
{
    if (focus->reason() != Qt::MouseFocusReason) {
        m_pressFocus = {};
        return;
    }
    if (focus->gotFocus())
        m_pressFocus.gained = widget;
    else
        m_pressFocus = {widget, nullptr};
}

// Every run out now was issued before the action that just came to wait.
void ActionQueue::askRunsToEnd()
{
    std::map<Ticket, std::function<void()>> runs;
    runs.swap(m_runs);
    for (auto &[ticket, endSoon] : runs)
        endSoon();
}
