#include "ActionQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <map>
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
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel: return true;
    default: return false;
    }
}
} // namespace

ActionQueue::ActionQueue(QWidget *window) : QObject(window), m_window(window)
{
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
    const auto queue =
        std::find_if(s_queues.begin(), s_queues.end(), [window](const ActionQueue *q) { return q->m_window == window; });
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
        if (action.receiver)
            QCoreApplication::sendEvent(action.receiver, action.event.get());
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

bool ActionQueue::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running || !isAction(event->type()) || !watched->isWidgetType())
        return false;
    const auto *widget = static_cast<const QWidget *>(watched);
    if (widget->window() != m_window)
        return false;
    if (widget == m_throughWidget) {
        if (event->type() == QEvent::MouseButtonDblClick)
            dropWaiting();
        return false;
    }
    if (m_waiting.empty() && m_outstanding.empty())
        return false;
    if (event->type() == QEvent::MouseMove && !m_waiting.empty() &&
        m_waiting.back().event->type() == QEvent::MouseMove && m_waiting.back().receiver == watched) {
        m_waiting.back().event.reset(event->clone());
        return true;
    }
    m_waiting.push_back({watched, std::unique_ptr<QEvent>(event->clone()), m_lastIssued});
    askRunsToEnd();
    return true;
}

// Every run out now was issued before the action that just came to wait.
void ActionQueue::askRunsToEnd()
{
    std::map<Ticket, std::function<void()>> runs;
    runs.swap(m_runs);
    for (auto &[ticket, endSoon] : runs)
        endSoon();
}
