#include "platform/SharedModule.h"

namespace platform
{
SharedModule::~SharedModule()
{
    Unload();
}

bool SharedModule::Load(const std::string& file)
{
    Unload();
    if (!file.empty())
        m_handle = OpenFile(file);
    return IsLoaded();
}

void SharedModule::Unload()
{
    if (m_handle)
        CloseFile(m_handle);
    m_handle = nullptr;
}

void* SharedModule::Symbol(const char* name) const
{
    return m_handle ? FindSymbol(m_handle, name) : nullptr;
}
} // namespace platform
