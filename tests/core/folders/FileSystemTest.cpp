#include "core/folders/FileSystem.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace
{
TEST(FileSystem, InitFillsTheStandardFoldersAndTheTable)
{
    ScopedEnvironment environment;
    environment.Set("APPDATA", "/q/appdata");
    environment.Set("TEMP", "/q/temp");
    InitFileSystem();
    Corvane::FileSystem* fs = Corvane::FileSystem::GetInstance();
    ASSERT_NE(fs, nullptr);
    EXPECT_EQ(fs->Index(), 0);
    EXPECT_EQ(fs->UserFolder(), "/q/appdata/Corvane GmbH");
    EXPECT_EQ(fs->AllUsersFolder(), "/etc/xdg/Corvane GmbH");
    EXPECT_EQ(fs->TempFolder(), "/q/temp");
    EXPECT_TRUE(fs->FifthPath().empty());

    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
    const std::string selfPath = self;
    const std::string expectedFolder =
        selfPath.size() < 260 ? selfPath.substr(0, selfPath.rfind('/') + 1) : "";
    EXPECT_EQ(fs->ExecutableFolder(), expectedFolder);

    const auto& folders = fs->Folders();
    ASSERT_EQ(folders.size(), 8u);
    const int32_t kinds[] = {0, 1, 0, 1, 1, 1, 1, 1};
    for (uint32_t id = 0; id < 8; ++id)
    {
        ASSERT_EQ(folders.count(id), 1u) << id;
        EXPECT_EQ(folders.at(id)->kind, kinds[id]) << id;
        EXPECT_EQ(folders.at(id)->relativePath.back(), '\\') << id;
        EXPECT_TRUE(folders.at(id)->secondText.empty()) << id;
    }
    EXPECT_EQ(folders.at(0)->relativePath, "Quendry Client\\Trace\\");
    Corvane::FileSystem::DestroyInstance();
}

TEST(FileSystem, RegistryLifecycle)
{
    Corvane::FileSystem* first = Corvane::FileSystem::GetInstance();
    EXPECT_EQ(Corvane::FileSystem::GetInstance(), first);
    EXPECT_TRUE(first->ExecutableFolder().empty());
    EXPECT_TRUE(first->Folders().empty());

    EXPECT_TRUE(first->RegisterFolder(3, 1, "A\\", "one"));
    EXPECT_TRUE(first->RegisterFolder(3, 0, "B\\", ""));
    ASSERT_EQ(first->Folders().size(), 1u);
    EXPECT_EQ(first->Folders().at(3)->relativePath, "B\\");
    EXPECT_EQ(first->Folders().at(3)->kind, 0);

    first->ClearFolders();
    EXPECT_TRUE(first->Folders().empty());

    first->RegisterFolder(1, 1, "C\\", "");
    Corvane::FileSystem::DestroyInstance();
    Corvane::FileSystem::DestroyInstance(); // an empty slot is left alone
    Corvane::FileSystem* second = Corvane::FileSystem::GetInstance();
    EXPECT_TRUE(second->Folders().empty());
    Corvane::FileSystem::DestroyInstance();
}
} // namespace
