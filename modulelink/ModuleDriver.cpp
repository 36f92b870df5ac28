#include "ModuleDriver.h"

#include <QCoreApplication>

void ModuleDriver::submit(const QObject *receiver, Work work, Done done)
{
    m_submitted.push_back({QPointer<const QObject>(receiver), std::move(work), std::move(done)});
    if (m_runningSubmitted)
        return; // the outer call runs it next, so submits from a done never nest
    m_runningSubmitted = true;
    while (!m_submitted.empty()) {
        Submitted next = std::move(m_submitted.front());
        m_submitted.pop_front();
        next.work(*this);
        if (next.receiver)
            next.done();
    }
    m_runningSubmitted = false;
}

void ModuleDriver::yieldToWindows()
{
    QCoreApplication::processEvents();
}
