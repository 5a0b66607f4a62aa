#include "platform/SharedModule.h"

#include <windows.h>

namespace platform
{
// LoadLibraryA's own search order starts with the executable's folder.
void* SharedModule::OpenFile(const std::string& file)
{
    return LoadLibraryA(file.c_str());
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
