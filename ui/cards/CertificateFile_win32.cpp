#include "ui/cards/CertificateFile.h"

#include "core/folders/PathUtil.h"

#include <windows.h>

// The user's temporary folder is already private to the user on Windows.
std::string PrivateTempFolder()
{
    return GetTempFolder();
}

void RemoveFile(const std::string& path)
{
    DeleteFileA(path.c_str());
}

bool WriteNewFile(const std::string& path, const ByteVector& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    const bool closed = CloseHandle(file) != 0;
    if (ok && closed)
        return true;
    DeleteFileA(path.c_str());
    return false;
}
