#include "driver/ModuleDriver.h"

#include "driver/CallWatch.h"

#include <QCoreApplication>

void ModuleDriver::submit(const QObject *receiver, Work work, Done done)
{
    const CallWatch::Ticket ticket = CallWatch::issued(receiver);
    dispatch(std::move(work), [ticket, receiver = QPointer<const QObject>(receiver), done = std::move(done)] {
        CallWatch::answered(ticket);
        if (receiver)
            done();
        CallWatch::runDue();
    });
}

ModuleDriver::RunEnd ModuleDriver::submitRun(const QObject *receiver, Run run, Done done)
{
    RunEnd end = std::make_shared<std::atomic<bool>>(false);
    const CallWatch::Ticket ticket = CallWatch::issued(receiver, [end] { *end = true; });
    const QPointer<const QObject> guard(receiver);
    run.handOver = [guard, handOver = std::move(run.handOver)] {
        if (guard)
            handOver();
    };
    dispatchRun(std::move(run), end, [ticket, guard, done = std::move(done)] {
        CallWatch::answered(ticket);
        if (guard)
            done();
        CallWatch::runDue();
    });
    return end;
}

void ModuleDriver::dispatchRun(Run run, RunEnd end, Done deliver)
{
    *end = true;
    dispatch(std::move(run.step), [handOver = std::move(run.handOver), deliver = std::move(deliver)] {
        handOver();
        deliver();
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
