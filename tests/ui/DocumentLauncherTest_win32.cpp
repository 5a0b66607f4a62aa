// Opening the certificate file with the shell: the program registered for the file's type gets
// the file, and when none is registered the log says so and the caller hears of it, without the
// shell's own message box.
#include "core/logging/Logger.h"
#include "tests/platform/ScopedTempFolder.h"
#include "tests/ui/GuiHarness.h"
#include "ui/DocumentLauncher.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <wx/string.h>

#include <windows.h>

namespace
{
// A file type whose "open" runs the command, removed afterwards. Registered for the machine: Wine's
// shell does not read the user's own file types.
class RegisteredFileType
{
public:
    RegisteredFileType(const std::wstring& extension, const std::wstring& command)
        : extension(extension)
    {
        Set(extension, typeName);
        Set(typeName + L"\\shell\\open\\command", command);
    }
    ~RegisteredFileType()
    {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, extension.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, typeName.c_str());
    }
    RegisteredFileType(const RegisteredFileType&) = delete;
    RegisteredFileType& operator=(const RegisteredFileType&) = delete;

private:
    static void Set(const std::wstring& key, const std::wstring& value)
    {
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(), bytes),
            ERROR_SUCCESS);
    }

    std::wstring extension;
    const std::wstring typeName = L"QuendryTests.Opened";
};

std::wstring Wide(const std::string& text)
{
    return wxString(text).ToStdWstring();
}

TEST(DocumentLauncher, TheRegisteredProgramGetsTheFileAndAFileNothingOpensIsLoggedAndReported)
{
    const struct
    {
        const char* name;
        const char* extension;
        bool registered;
    } cases[] = {{"no program for the file's type", ".quendrynone", false},
                 {"program registered for the file's type", ".quendryopened", true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        const std::string document = folder.File(std::string("quendrycards_cert") + c.extension);
        const std::string record = folder.File("opened");
        WriteTextFile(document, "certificate bytes");
        // The registered program copies what it was given, so the test sees which file that was.
        const RegisteredFileType type(Wide(c.registered ? c.extension : ".quendryother"),
                                      L"cmd.exe /c copy /y \"%1\" \"" + Wide(record) + L"\"");
        GetAppLogger()->Init(folder.File("run.log"));
        GetAppLogger()->enabled = true;

        int failures = 0;
        LaunchDocument(document, [&failures] { ++failures; });
        if (c.registered)
        {
            EXPECT_TRUE(
                GuiTest::WaitUntil([&] { return ReadTextFile(record) == "certificate bytes"; }))
                << "the program got no copy of the file";
            EXPECT_EQ(failures, 0);
        }
        else
        {
            EXPECT_EQ(failures, 1);
            const std::string log = ReadTextFile(GetAppLogger()->LogPath());
            EXPECT_NE(log.find("ERROR"), std::string::npos);
            EXPECT_NE(log.find("no desktop program can open " + document), std::string::npos);
            EXPECT_FALSE(std::filesystem::exists(record));
        }
        GetAppLogger()->Destroy();
    }
}
} // namespace
