#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

// What the side that takes user input learns of driver calls: each call issued for a
// receiver, its answer handled, and the points where waiting input may have its turn. The
// driver knows nothing of input; a face that holds input back while calls are out installs
// a watch (the windows do), and without one the calls are only made.
namespace CallWatch {

using Ticket = std::uint64_t;

struct Watch {
    // A call issued for receiver: the ticket to hand back once its answer is handled (0
    // when nobody waits on it). A long run passes endSoon, to be called once input waits.
    Ticket (*issued)(const QObject *receiver, std::function<void()> endSoon) = nullptr;
    void (*answered)(Ticket ticket) = nullptr;
    // Answers have been handled: input that waited for them runs now.
    void (*runDue)() = nullptr;
};

void install(const Watch &watch);

Ticket issued(const QObject *receiver, std::function<void()> endSoon = {});
void answered(Ticket ticket);
void runDue();

} // namespace CallWatch
