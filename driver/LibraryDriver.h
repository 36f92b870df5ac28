#pragma once

#include "driver/DriverOperations.h"
#include "driver/ModuleDriver.h"
#include "driver/QwilUSB.h"

#include <functional>
#include <string>

// The production driver: opens the driver library by name at the first call and
// forwards every operation to it. Without a usable library every operation answers
// "no device found", so the windows word it instead of failing.
class LibraryDriver final : public ModuleDriver {
public:
    static constexpr const char *DefaultLibraryName = "libQwilUSB.so";

    explicit LibraryDriver(std::string libraryName = DefaultLibraryName);
    ~LibraryDriver() override;
    LibraryDriver(const LibraryDriver &) = delete;
    LibraryDriver &operator=(const LibraryDriver &) = delete;

    // Loads the library now if it has not been tried; true when all operations resolved.
    bool load();
    // The usable library exports this name too (the emulator marks itself so).
    bool exports(const char *name);
    // Why the library is unusable; empty while it loads or works.
    const std::string &loadError() const { return m_loadError; }
    // Told once, with loadError, when the library turns out unusable; the program says it
    // where its user reads it.
    void setUnusableReport(std::function<void(const std::string &why)> report) { m_unusableReport = std::move(report); }

#define QWIL_DECLARE_OPERATION(name, params, args) std::int32_t name params override;
    QWIL_DRIVER_OPERATIONS(QWIL_DECLARE_OPERATION)
#undef QWIL_DECLARE_OPERATION

private:
    struct Entry {
#define QWIL_DECLARE_POINTER(name, params, args) decltype(&::name) name = nullptr;
        QWIL_DRIVER_OPERATIONS(QWIL_DECLARE_POINTER)
#undef QWIL_DECLARE_POINTER
    };

    enum class State { NotTried, Ready, Unusable };

    std::string m_libraryName;
    std::function<void(const std::string &)> m_unusableReport;
    State m_state = State::NotTried;
    void *m_handle = nullptr;
    Entry m_entry;
    std::string m_loadError;
};
