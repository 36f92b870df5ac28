#include "DriverThread.h"

#include "ActionQueue.h"

#include <QMetaObject>

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

void DriverThread::serve()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
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

// The windows run anyway; the actions that waited for the answers handled so far run now.
void DriverThread::yieldToWindows()
{
    ActionQueue::runDue();
}
