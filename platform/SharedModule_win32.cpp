#include "platform/SharedModule.h"

#include <windows.h>

namespace platform
{
// LoadLibraryA's own search order starts with the executable's folder. A broken module file
// must fail the call, not stop the loading thread behind the system's error box.
void* SharedModule::OpenFile(const std::string& file)
{
    DWORD previousMode = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != FALSE;
    HMODULE module = LoadLibraryA(file.c_str());
    if (quiet)
        SetThreadErrorMode(previousMode, nullptr);
    return module;
}

void SharedModule::CloseFile(void* handle)
{
    FreeLibrary(static_cast<HMODULE>(handle));
}

void* SharedModule::FindSymbol(void* handle, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

std::string SharedModule::FileName(const std::string& name)
{
    return name + ".dll";
}
} // namespace platform
