#include "driver/LibraryDriver.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

namespace {
// Opens the library by name through the normal search. The executable's RUNPATH
// ($ORIGIN) applies because this code is linked into it; where a runtime wraps dlopen
// (the sanitizers do) that no longer holds, so the folder of the executable is tried
// explicitly after the normal search.
void *openByName(const std::string &name)
{
    void *handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle || name.find('/') != std::string::npos)
        return handle;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return nullptr;
    const std::string besideProgram = (self.parent_path() / name).string();
    handle = dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL); // leave the first error for dlerror()
    return handle;
}
} // namespace

LibraryDriver::LibraryDriver(std::string libraryName) : m_libraryName(std::move(libraryName)) {}

bool LibraryDriver::exports(const char *name)
{
    return load() && dlsym(m_handle, name) != nullptr;
}

LibraryDriver::~LibraryDriver()
{
    if (m_handle)
        dlclose(m_handle);
}

bool LibraryDriver::load()
{
    if (m_state != State::NotTried)
        return m_state == State::Ready;

    m_handle = openByName(m_libraryName);
    if (!m_handle) {
        const char *why = dlerror();
        m_loadError = why ? why : "cannot open " + m_libraryName;
        m_state = State::Unusable;
        if (m_unusableReport)
            m_unusableReport(m_loadError);
        return false;
    }

    Entry entry;
    std::string missing;
#define QWIL_RESOLVE(name, params, args)                                         \
    entry.name = reinterpret_cast<decltype(entry.name)>(dlsym(m_handle, #name)); \
    if (!entry.name)                                                             \
        missing += (missing.empty() ? "" : ", ") + std::string(#name);
    QWIL_DRIVER_OPERATIONS(QWIL_RESOLVE)
#undef QWIL_RESOLVE

    if (!missing.empty()) {
        // A partial library is not used at all: half a driver is worse than none.
        m_loadError = m_libraryName + " lacks " + missing;
        m_state = State::Unusable;
        dlclose(m_handle);
        m_handle = nullptr;
        if (m_unusableReport)
            m_unusableReport(m_loadError);
        return false;
    }
    m_entry = entry;
    m_state = State::Ready;
    return true;
}

#define QWIL_DEFINE_OPERATION(name, params, args) \
    std::int32_t LibraryDriver::name params       \
    {                                             \
        if (!load())                              \
            return DriverResult::NoDeviceFound;   \
        return m_entry.name args;                 \
    }
QWIL_DRIVER_OPERATIONS(QWIL_DEFINE_OPERATION)
#undef QWIL_DEFINE_OPERATION
