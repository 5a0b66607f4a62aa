#include "core/folders/FileSystem.h"

#include "core/folders/PathUtil.h"
#include "platform/Folders.h"

#include <vector>

namespace Corvane
{
namespace
{
const char kMakerFolder[] = "Corvane GmbH";

// Slot 0 holds the one instance; the vector lives as long as the process.
std::vector<std::unique_ptr<FileSystem>>& FolderRegistry()
{
    static std::vector<std::unique_ptr<FileSystem>> registry;
    return registry;
}

std::string ExecutableFolder()
{
    std::string programPath;
    if (!platform::ExecutablePath(programPath))
        return {};
    return ExecutableFolderFromPath(programPath);
}

struct FolderTableRow
{
    uint32_t id;
    int32_t kind;
    const char* relativePath;
};

// Log folders of the maker's programs; entry 0 is the client's own trace folder.
const FolderTableRow kFolderTable[] = {
    {0, 0, "Quendry Client\\Trace\\"},  {0, 0, "Quendry Client\\Trace\\"},
    {1, 1, "Quendry Signer\\Trace\\"},  {2, 0, "Quendry Service\\Trace\\"},
    {3, 1, "Quendry Updater\\Trace\\"}, {4, 1, "Quendry Monitor\\Trace\\"},
    {5, 1, "Quendry Reader\\Trace\\"},  {6, 1, "Quendry Viewer\\Trace\\"},
    {7, 1, "Quendry Archive\\Trace\\"},
};
} // namespace

FileSystem* FileSystem::GetInstance()
{
    auto& registry = FolderRegistry();
    if (registry.empty())
        registry.emplace_back();
    if (!registry[0])
        registry[0] = std::make_unique<FileSystem>();
    return registry[0].get();
}

void FileSystem::DestroyInstance()
{
    auto& registry = FolderRegistry();
    if (registry.empty() || !registry[0])
        return;
    registry[0]->ClearFolders();
    registry[0].reset();
}

void FileSystem::InitStandardFolders()
{
    allUsersFolder_ = JoinPath(GetCommonAppDataFolder(), kMakerFolder);
    tempFolder_ = GetTempFolder();
    userFolder_ = JoinPath(GetAppDataFolder(), kMakerFolder);
    executableFolder_ = Corvane::ExecutableFolder();
}

bool FileSystem::RegisterFolder(uint32_t id, int32_t kind, const std::string& relativePath,
                                const std::string& secondText)
{
    folders_[id] = std::make_unique<FolderEntry>(FolderEntry{kind, relativePath, secondText});
    return true;
}

void FileSystem::ClearFolders()
{
    folders_.clear();
}

} // namespace Corvane

void InitFileSystem()
{
    Corvane::FileSystem* fileSystem = Corvane::FileSystem::GetInstance();
    fileSystem->SetFifthPath("");
    fileSystem->InitStandardFolders();
    for (const auto& row : Corvane::kFolderTable)
        fileSystem->RegisterFolder(row.id, row.kind, row.relativePath, "");
}
