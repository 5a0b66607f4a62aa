#include "tests/ui/UserFolder.h"

#include <memory>
#include <type_traits>
#include <vector>
#include <wx/string.h>

#include <windows.h>

#include <aclapi.h>

namespace GuiTest
{
namespace
{
struct LocalRelease
{
    void operator()(void* memory) const { LocalFree(memory); }
};
struct HandleClose
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// The current user's account, as the process's token names it.
std::vector<unsigned char> ThisUser()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return {};
    const std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose> token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
        return {};
    return user;
}

bool OwnedByThisUser(const std::wstring& path)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR described = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &described) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, LocalRelease> descriptor(described);
    const std::vector<unsigned char> user = ThisUser();
    return !user.empty() &&
           EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}
} // namespace

std::string DesktopFilesFolderIn(const std::string& temp)
{
    return temp;
}

bool FolderOfThisUserOnly(const std::string& path)
{
    const std::wstring folder = wxString::FromUTF8(path).ToStdWstring();
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && OwnedByThisUser(folder);
}
} // namespace GuiTest
