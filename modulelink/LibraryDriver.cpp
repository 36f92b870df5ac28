#include "LibraryDriver.h"

#include <dlfcn.h>

#include <cstdio>

LibraryDriver::LibraryDriver(std::string libraryName) : m_libraryName(std::move(libraryName)) {}

LibraryDriver::~LibraryDriver()
{
    if (m_handle)
        dlclose(m_handle);
}

bool LibraryDriver::load()
{
    if (m_state != State::NotTried)
        return m_state == State::Ready;

    // dlopen is called from the executable's own code, so its RUNPATH ($ORIGIN) applies.
    m_handle = dlopen(m_libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char *why = dlerror();
        m_loadError = why ? why : "cannot open " + m_libraryName;
        m_state = State::Unusable;
        std::fprintf(stderr, "driver library unusable: %s\n", m_loadError.c_str());
        return false;
    }

    Entry entry;
    std::string missing;
#define QWIL_RESOLVE(name, params, args)                                                                   \
    entry.name = reinterpret_cast<decltype(entry.name)>(dlsym(m_handle, #name));                           \
    if (!entry.name)                                                                                       \
        missing += (missing.empty() ? "" : ", ") + std::string(#name);
    QWIL_DRIVER_OPERATIONS(QWIL_RESOLVE)
#undef QWIL_RESOLVE

    if (!missing.empty()) {
        // A partial library is not used at all: half a driver is worse than none.
        m_loadError = m_libraryName + " lacks " + missing;
        m_state = State::Unusable;
        dlclose(m_handle);
        m_handle = nullptr;
        std::fprintf(stderr, "driver library unusable: %s\n", m_loadError.c_str());
        return false;
    }
    m_entry = entry;
    m_state = State::Ready;
    return true;
}

#define QWIL_DEFINE_OPERATION(name, params, args)                                                          \
    std::int32_t LibraryDriver::name params                                                                \
    {                                                                                                      \
        if (!load())                                                                                       \
            return DriverResult::NoDeviceFound;                                                            \
        return m_entry.name args;                                                                          \
    }
QWIL_DRIVER_OPERATIONS(QWIL_DEFINE_OPERATION)
#undef QWIL_DEFINE_OPERATION
