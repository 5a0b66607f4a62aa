#include "platform/SharedModule.h"

#include "platform/Folders.h"

#include <dlfcn.h>
#include <unistd.h>

namespace platform
{
namespace
{
std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where Windows looks first for a bare DLL name: beside the executable.
std::string BesideExecutable(const std::string& file)
{
    std::string executable;
    if (!ExecutablePath(executable) || FolderOf(executable).empty())
        return std::string();
    const std::string candidate = FolderOf(executable) + file;
    return access(candidate.c_str(), F_OK) == 0 ? candidate : std::string();
}

void* Open(const std::string& path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
} // namespace

void* SharedModule::OpenFile(const std::string& file)
{
    if (file.find('/') != std::string::npos)
        return Open(file);
    const std::string beside = BesideExecutable(file);
    void* handle = beside.empty() ? nullptr : Open(beside);
    return handle ? handle : Open(file);
}

void SharedModule::CloseFile(void* handle)
{
    dlclose(handle);
}

void* SharedModule::FindSymbol(void* handle, const char* name)
{
    return dlsym(handle, name);
}

std::string SharedModule::FileName(const std::string& name)
{
    return "lib" + name + ".so";
}
} // namespace platform
