#include "ModuleDriver.h"

#include "ActionQueue.h"

#include <QCoreApplication>

void ModuleDriver::submit(const QObject *receiver, Work work, Done done)
{
    const ActionQueue::Ticket ticket = ActionQueue::issued(receiver);
    dispatch(std::move(work), [ticket, receiver = QPointer<const QObject>(receiver), done = std::move(done)] {
        ActionQueue::answered(ticket);
        if (receiver)
            done();
        ActionQueue::runDue();
    });
}

void ModuleDriver::dispatch(Work work, Done deliver)
{
    m_submitted.push_back({std::move(work), std::move(deliver)});
    if (m_runningSubmitted)
        return; // the outer call runs it next, so submits from a done never nest
    m_runningSubmitted = true;
    while (!m_submitted.empty()) {
        Submitted next = std::move(m_submitted.front());
        m_submitted.pop_front();
        next.work(*this);
        next.deliver();
    }
    m_runningSubmitted = false;
}

void ModuleDriver::yieldToWindows()
{
    QCoreApplication::processEvents();
}
