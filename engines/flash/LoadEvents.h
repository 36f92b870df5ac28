#pragma once

#include "engines/flash/DownloadMessages.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <span>

// How a load is to run, as its face has set it. A load reads these as it goes, so a change
// (a pause let go, debug switched on) counts from its next step.
struct LoadSettings {
    bool devices = true;     // bus devices, not the module
    bool directFile = false; // a file sent to one device as it stands
    DownloadMessages::ImageType imageType = DownloadMessages::ImageType::Application;
    bool debug = false;  // the messages, replies and checksums are told as they pass
    bool paused = false; // each block waits to be let go
};

// What a load (the download engine, the serial loader) tells as it goes, in the order it
// happens. Each event has a default that passes it by, so a face takes what it shows.
class LoadEvents {
public:
    // What a status text says of the load: a step under way, why it stopped, or that it is done.
    enum class Tone { Working, Failed, Completed };

    virtual ~LoadEvents() = default;
    virtual void status(const QString &, Tone) {}
    // An answer came and the load goes on: the last status text stands, now as work under way.
    virtual void working() {}
    // done of total steps.
    virtual void progress(int, int) {}
    // A load status code (the reason a load was given up, or an address refused).
    virtual void loadStatus(int) {}
    // With debug set: a message or reply as it passed, and notes on the checksums.
    virtual void debugBytes(std::span<const std::uint8_t>) {}
    virtual void debugText(const QString &) {}
    // The module restarts with its new firmware: the link to it has to be made again.
    virtual void moduleRestarted() {}
    // The run is over (done, failed or given up); what a face held back during it comes back.
    virtual void finished() {}
};

// How far a load has come, told to its watcher at each change.
class LoadProgress {
public:
    explicit LoadProgress(LoadEvents &events) : m_events(events) {}

    void start(int total)
    {
        m_total = std::max(total, 0);
        m_done = 0;
        tell();
    }
    // One step further, never past the end.
    void step()
    {
        m_done = std::min(m_done + 1, m_total);
        tell();
    }
    void complete()
    {
        m_done = m_total;
        tell();
    }

private:
    void tell() { m_events.progress(m_done, m_total); }

    LoadEvents &m_events;
    int m_done = 0;
    int m_total = 100;
};
