#include "driver/DriverThread.h"

#include "driver/CallWatch.h"

#include <QMetaObject>
#include <QTimer>

DriverThread::DriverThread(ModuleDriver &driver) : m_driver(driver), m_thread([this] { serve(); }) {}

DriverThread::~DriverThread()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void DriverThread::enqueue(std::function<void()> task)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void DriverThread::enqueueAt(Clock::time_point due, std::function<void()> task)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_later.emplace(due, std::move(task));
    }
    m_wake.notify_one();
}

// A task that falls due joins the queue behind what was issued before. Stopping drops
// what was put off (a run's next step), never what was issued.
void DriverThread::serve()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            for (;;) {
                const Clock::time_point now = Clock::now();
                while (!m_later.empty() && m_later.begin()->first <= now) {
                    m_tasks.push_back(std::move(m_later.begin()->second));
                    m_later.erase(m_later.begin());
                }
                if (!m_tasks.empty())
                    break;
                if (m_stopping)
                    return;
                if (m_later.empty())
                    m_wake.wait(guard);
                else
                    m_wake.wait_until(guard, m_later.begin()->first);
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

std::int32_t DriverThread::runAndWait(const std::function<std::int32_t(ModuleDriver &)> &call)
{
    if (std::this_thread::get_id() == m_thread.get_id())
        return call(m_driver);
    std::int32_t result = 0;
    bool finished = false;
    std::mutex doneLock;
    std::condition_variable doneSignal;
    enqueue([&] {
        const std::int32_t r = call(m_driver);
        const std::lock_guard<std::mutex> guard(doneLock);
        result = r;
        finished = true;
        doneSignal.notify_one();
    });
    std::unique_lock<std::mutex> guard(doneLock);
    doneSignal.wait(guard, [&] { return finished; });
    return result;
}

void DriverThread::dispatch(Work work, Done deliver)
{
    enqueue([this, work = std::move(work), deliver = std::move(deliver)]() mutable {
        work(m_driver);
        QMetaObject::invokeMethod(&m_deliveries, std::move(deliver), Qt::QueuedConnection);
    });
}

struct DriverThread::RunState {
    Run run;
    RunEnd end;
    Done deliver;
    std::atomic<bool> handOverPosted = false;
    Clock::time_point lastHandOver; // on the windows' thread
};

void DriverThread::dispatchRun(Run run, RunEnd end, Done deliver)
{
    auto state = std::make_shared<RunState>();
    state->run = std::move(run);
    state->end = std::move(end);
    state->deliver = std::move(deliver);
    enqueue([this, state] { runStep(state); });
}

// One step, unless the run was asked to end meanwhile; then the next one after the gap.
// The windows' thread hears of the results once per hand-over, not once per step.
void DriverThread::runStep(const std::shared_ptr<RunState> &run)
{
    if (!*run->end)
        run->run.step(m_driver);
    if (*run->end) {
        QMetaObject::invokeMethod(
            &m_deliveries,
            [run] {
                run->run.handOver();
                run->deliver();
            },
            Qt::QueuedConnection);
        return;
    }
    if (!run->handOverPosted.exchange(true))
        QMetaObject::invokeMethod(
            &m_deliveries, [this, run] { handOverInTime(run); }, Qt::QueuedConnection);
    enqueueAt(Clock::now() + std::chrono::milliseconds(run->run.gapMs), [this, run] { runStep(run); });
}

// On the windows' thread: at most one hand-over every HandOverMs; what comes meanwhile
// waits for the next.
void DriverThread::handOverInTime(const std::shared_ptr<RunState> &run)
{
    const Clock::time_point due = run->lastHandOver + std::chrono::milliseconds(HandOverMs);
    const Clock::time_point now = Clock::now();
    if (now < due) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
        QTimer::singleShot(wait, &m_deliveries, [this, run] { handOverInTime(run); });
        return;
    }
    run->lastHandOver = now;
    run->handOverPosted = false;
    run->run.handOver();
}

// The windows run anyway; input that waited for the answers handled so far runs now.
void DriverThread::yieldToWindows()
{
    CallWatch::runDue();
}
