#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace Corvane
{

struct FolderEntry
{
    int32_t kind = 0;
    std::string relativePath; // ends in a backslash
    std::string secondText;
};

// The process-wide folder registry: the program's standard folders and the numbered folder
// entries, filled once at start-up on the GUI thread.
class FileSystem
{
public:
    FileSystem() = default;
    virtual ~FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // The one instance, created empty in slot 0 of the registry on the first call.
    static FileSystem* GetInstance();
    // Clears the folders of the instance in slot 0, empties the slot and deletes the instance.
    static void DestroyInstance();

    void InitStandardFolders();
    bool RegisterFolder(uint32_t id, int32_t kind, const std::string& relativePath,
                        const std::string& secondText);
    void ClearFolders();

    const std::string& ExecutableFolder() const { return executableFolder_; }
    const std::string& UserFolder() const { return userFolder_; }
    const std::string& AllUsersFolder() const { return allUsersFolder_; }
    const std::string& TempFolder() const { return tempFolder_; }
    const std::string& FifthPath() const { return fifthPath_; }
    void SetFifthPath(const std::string& path) { fifthPath_ = path; }
    const std::map<uint32_t, std::unique_ptr<FolderEntry>>& Folders() const { return folders_; }
    int32_t Index() const { return index_; }

private:
    std::string executableFolder_;
    std::string userFolder_;
    std::string allUsersFolder_;
    std::string tempFolder_;
    std::string fifthPath_;
    std::map<uint32_t, std::unique_ptr<FolderEntry>> folders_;
    int32_t index_ = 0;
};

} // namespace Corvane

// Fills the folder registry with the standard folders and the maker's folder table.
void InitFileSystem();
