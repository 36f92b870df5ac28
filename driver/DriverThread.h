#pragma once

#include "driver/DriverOperations.h"
#include "driver/ModuleDriver.h"

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// The one thread that talks to the driver. Every call the windows make, waiting or not,
// runs here one at a time in the order issued: a plain call blocks its caller until it
// has run, a submitted one does not. The windows' thread stays free while the driver
// waits for the bus. A run's steps follow one another here without waking the windows'
// thread for each; its results are handed over in batches.
class DriverThread final : public ModuleDriver {
public:
    explicit DriverThread(ModuleDriver &driver);
    // Runs what is still queued (an abort byte sent at close goes out), then stops.
    ~DriverThread() override;
    DriverThread(const DriverThread &) = delete;
    DriverThread &operator=(const DriverThread &) = delete;

    void yieldToWindows() override;

#define QWIL_QUEUED_OPERATION(name, params, args)                                  \
    std::int32_t name params override                                              \
    {                                                                              \
        return runAndWait([&](ModuleDriver &driver) { return driver.name args; }); \
    }
    QWIL_DRIVER_OPERATIONS(QWIL_QUEUED_OPERATION)
#undef QWIL_QUEUED_OPERATION

protected:
    void dispatch(Work work, Done deliver) override;
    void dispatchRun(Run run, RunEnd end, Done deliver) override;

private:
    using Clock = std::chrono::steady_clock;
    struct RunState;

    std::int32_t runAndWait(const std::function<std::int32_t(ModuleDriver &)> &call);
    void enqueue(std::function<void()> task);
    void enqueueAt(Clock::time_point due, std::function<void()> task);
    void serve();
    void runStep(const std::shared_ptr<RunState> &run);
    void handOverInTime(const std::shared_ptr<RunState> &run);

    ModuleDriver &m_driver;
    QObject m_deliveries; // lives on the windows' thread; done callbacks are delivered through it
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    std::multimap<Clock::time_point, std::function<void()>> m_later; // join m_tasks when due
    bool m_stopping = false;
    std::thread m_thread;
};
