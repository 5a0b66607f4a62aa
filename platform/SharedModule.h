#pragma once

#include <string>

namespace platform
{
// A loaded shared library (DLL, .so), unloaded when the object goes away.
class SharedModule
{
public:
    SharedModule() = default;
    ~SharedModule();
    SharedModule(const SharedModule&) = delete;
    SharedModule& operator=(const SharedModule&) = delete;

    // A bare file name is searched as Windows searches a DLL: the executable's folder first, then
    // the system's search path. A name with a folder in it loads exactly that file. Unloads what
    // was loaded before; false when nothing could be loaded.
    bool Load(const std::string& file);
    void Unload();
    bool IsLoaded() const { return m_handle != nullptr; }
    // Address of an exported symbol; null when absent or nothing is loaded.
    void* Symbol(const char* name) const;

    // The platform's file name of a module: "name.dll" on Windows, "libname.so" elsewhere.
    static std::string FileName(const std::string& name);

private:
    // The system's calls, one implementation per platform.
    static void* OpenFile(const std::string& file);
    static void CloseFile(void* handle);
    static void* FindSymbol(void* handle, const char* name);

    void* m_handle = nullptr;
};
} // namespace platform
