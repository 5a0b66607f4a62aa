#include "platform/Registry.h"

#include "platform/FileDescriptor_posix.h"
#include "platform/Folders.h"
#include "platform/RegistryFormat.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

// Nothing is cached: every operation reads the hive's file again, so that other processes see
// each other's writes; a change rewrites the whole file atomically.
struct platform::RegistryKey
{
    RegistryHive hive;
    std::string foldedPath;
    uint32_t access;
};

namespace platform
{
namespace
{
using regfile::HiveRecord;
using regfile::KeyRecord;
using regfile::ValueRecord;

const char* HiveName(RegistryHive hive)
{
    return hive == RegistryHive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string StoreFolder(RegistryHive hive)
{
    const char* configured = std::getenv("QUENDRY_REGISTRY_DIR");
    if (configured != nullptr && *configured != '\0')
        return configured;
    if (hive == RegistryHive::LocalMachine)
        return "/etc/quendry";
    std::string folder;
    return UserAppDataFolder(folder) ? folder + "/quendry" : std::string();
}

std::string StoreFile(const std::string& folder, RegistryHive hive)
{
    return folder + "/" + HiveName(hive) + ".reg";
}

bool ReadAll(int descriptor, std::string& text)
{
    char buffer[8192];
    for (;;)
    {
        const ssize_t count = read(descriptor, buffer, sizeof(buffer));
        if (count == 0)
            return true;
        if (count < 0 && errno != EINTR)
            return false;
        if (count > 0)
            text.append(buffer, static_cast<size_t>(count));
    }
}

bool WriteAll(int descriptor, const std::string& text)
{
    size_t written = 0;
    while (written < text.size())
    {
        const ssize_t count = write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno != EINTR)
            return false;
        if (count > 0)
            written += static_cast<size_t>(count);
    }
    return true;
}

// Every operation reads the file again, so what is wrong with a file is told once, not at every
// read; it is told again once it has changed. An empty message: nothing is wrong.
void TellOnce(const std::string& path, const std::string& message)
{
    static std::mutex mutex;
    static std::map<std::string, std::string> toldMessage; // by path
    const std::lock_guard<std::mutex> lock(mutex);
    if (message.empty())
        toldMessage.erase(path);
    else if (std::exchange(toldMessage[path], message) != message)
        std::fputs(message.c_str(), stderr);
}

std::string UnreadableLines(const std::string& path,
                            const std::vector<regfile::NumberedLine>& unreadable)
{
    std::string message;
    for (const regfile::NumberedLine& line : unreadable)
        message += path + ":" + std::to_string(line.number) +
                   ": cannot read this line, it is skipped: " + line.text + "\n";
    return message;
}

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

// Why an open file is no store file; empty when it is one.
std::string NotAStoreFile(int descriptor)
{
    struct stat info = {};
    if (fstat(descriptor, &info) != 0)
        return ErrorText(errno);
    if (S_ISDIR(info.st_mode))
        return ErrorText(EISDIR);
    return S_ISREG(info.st_mode) ? std::string() : "not a regular file";
}

// A missing file reads as empty; false, with the reason, for one that exists but cannot be read.
bool ReadStoreFile(const std::string& path, std::string& bytes, std::string& reason)
{
    // Not blocking: a pipe in the file's place must not stop the program.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen())
    {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return true;
        reason = ErrorText(error);
        return false;
    }
    reason = NotAStoreFile(file.Get());
    if (reason.empty() && !ReadAll(file.Get(), bytes))
        reason = ErrorText(errno);
    return reason.empty();
}

// A missing store is an empty hive; one that exists but cannot be read denies access, so that
// nothing is written over it either.
uint32_t LoadHive(RegistryHive hive, HiveRecord& record, regfile::FileEncoding* encoding = nullptr)
{
    record = regfile::EmptyHive();
    const std::string folder = StoreFolder(hive);
    if (folder.empty())
        return kRegistrySuccess;
    const std::string path = StoreFile(folder, hive);
    std::string bytes;
    std::string text;
    std::string reason;
    regfile::FileEncoding found = regfile::FileEncoding::Utf8;
    if (!ReadStoreFile(path, bytes, reason) || !regfile::DecodeFile(bytes, found, text, reason))
    {
        TellOnce(path, path + ": cannot read this file, it is neither used nor changed: " + reason +
                           "\n");
        return kRegistryAccessDenied;
    }
    std::vector<regfile::NumberedLine> unreadable;
    record = regfile::ParseHive(text, HiveName(hive), &unreadable);
    TellOnce(path, UnreadableLines(path, unreadable));
    if (encoding != nullptr)
        *encoding = found;
    return kRegistrySuccess;
}

bool MakeFolders(const std::string& folder)
{
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1))
    {
        const std::string part = folder.substr(0, end);
        struct stat info = {};
        if (mkdir(part.c_str(), 0755) != 0 &&
            (errno != EEXIST || stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
            return false;
        if (end == std::string::npos)
            return true;
    }
}

mode_t ExistingMode(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0644;
}

bool WriteFileAtomically(const std::string& folder, const std::string& path,
                         const std::string& text)
{
    std::string temporary = folder + "/.registry-XXXXXX";
    FileDescriptor file(mkostemp(&temporary[0], O_CLOEXEC));
    if (!file.IsOpen())
        return false;
    const bool written = WriteAll(file.Get(), text) &&
                         fchmod(file.Get(), ExistingMode(path)) == 0 && fsync(file.Get()) == 0 &&
                         file.Close() && rename(temporary.c_str(), path.c_str()) == 0;
    if (!written)
        unlink(temporary.c_str());
    return written;
}

// A name that is no UTF-8 text cannot be written into a UTF-16 file.
uint32_t WriteHive(const std::string& folder, RegistryHive hive, const HiveRecord& record,
                   regfile::FileEncoding encoding)
{
    std::string bytes;
    if (!regfile::EncodeFile(regfile::FormatHive(record, HiveName(hive)), encoding, bytes))
        return kRegistryInvalidParameter;
    return WriteFileAtomically(folder, StoreFile(folder, hive), bytes) ? kRegistrySuccess
                                                                       : kRegistryAccessDenied;
}

// Writers of a store take turns so that no change is lost; readers need no lock because the
// file is only ever replaced whole.
class StoreLock
{
public:
    explicit StoreLock(const std::string& folder)
        : folder_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        locked_ = folder_.IsOpen() && flock(folder_.Get(), LOCK_EX) == 0;
    }
    bool Locked() const { return locked_; }

private:
    FileDescriptor folder_;
    bool locked_ = false;
};

// Loads the hive, applies the change and writes the hive back when the change succeeds.
template <typename Change> uint32_t ModifyHive(RegistryHive hive, Change&& change)
{
    const std::string folder = StoreFolder(hive);
    if (folder.empty() || !MakeFolders(folder))
        return kRegistryAccessDenied;
    StoreLock lock(folder);
    if (!lock.Locked())
        return kRegistryAccessDenied;
    HiveRecord record;
    regfile::FileEncoding encoding = regfile::FileEncoding::Utf8;
    uint32_t result = LoadHive(hive, record, &encoding);
    if (result == kRegistrySuccess)
        result = change(record);
    if (result == kRegistrySuccess)
        result = WriteHive(folder, hive, record, encoding);
    return result;
}

// Windows accepts one trailing backslash but no empty part elsewhere.
uint32_t SplitPath(std::string path, std::vector<std::string>& parts)
{
    parts.clear();
    if (path.empty())
        return kRegistrySuccess;
    if (path.back() == '\\')
        path.pop_back();
    size_t start = 0;
    for (;;)
    {
        const size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end - start));
        if (parts.back().empty())
            return kRegistryBadPathName;
        if (end == std::string::npos)
            return kRegistrySuccess;
        start = end + 1;
    }
}

uint32_t HandOut(RegistryHive hive, std::string foldedPath, uint32_t access, RegistryHandle* key)
{
    *key = new RegistryKey{hive, std::move(foldedPath), access};
    return kRegistrySuccess;
}

uint32_t CheckHandle(RegistryHandle key, uint32_t neededAccess)
{
    if (key == nullptr)
        return kRegistryInvalidHandle;
    return (key->access & neededAccess) == neededAccess ? kRegistrySuccess : kRegistryAccessDenied;
}

KeyRecord* FindKey(HiveRecord& record, const std::string& foldedPath)
{
    const auto entry = record.find(foldedPath);
    return entry == record.end() ? nullptr : &entry->second;
}

// Loads the hive of an open key for reading and finds the key in it.
uint32_t LoadOpenKey(RegistryHandle key, uint32_t neededAccess, HiveRecord& record,
                     KeyRecord*& keyRecord)
{
    uint32_t result = CheckHandle(key, neededAccess);
    if (result == kRegistrySuccess)
        result = LoadHive(key->hive, record);
    if (result != kRegistrySuccess)
        return result;
    keyRecord = FindKey(record, key->foldedPath);
    return keyRecord == nullptr ? kRegistryKeyDeleted : kRegistrySuccess;
}

std::string LastPart(const std::string& path)
{
    return path.substr(path.rfind('\\') + 1);
}
} // namespace

uint32_t RegistryOpenKey(RegistryHive hive, const std::string& path, uint32_t access,
                         RegistryHandle* key)
{
    std::vector<std::string> parts;
    uint32_t result = SplitPath(path, parts);
    if (result != kRegistrySuccess)
        return result;
    HiveRecord record;
    result = LoadHive(hive, record);
    if (result != kRegistrySuccess)
        return result;
    const std::string foldedPath = regfile::FoldCase(regfile::JoinParts(parts));
    if (FindKey(record, foldedPath) == nullptr)
        return kRegistryNotFound;
    return HandOut(hive, foldedPath, access, key);
}

uint32_t RegistryCreateKey(RegistryHive hive, const std::string& path, uint32_t access,
                           RegistryHandle* key)
{
    // An existing key needs no write, so it opens even where the store cannot be written.
    uint32_t result = RegistryOpenKey(hive, path, access, key);
    if (result != kRegistryNotFound)
        return result;
    std::vector<std::string> parts;
    SplitPath(path, parts);
    std::string foldedPath;
    result = ModifyHive(hive,
                        [&](HiveRecord& record)
                        {
                            foldedPath = regfile::AddKey(record, parts);
                            return kRegistrySuccess;
                        });
    if (result != kRegistrySuccess)
        return result;
    return HandOut(hive, foldedPath, access, key);
}

uint32_t RegistrySetValue(RegistryHandle key, const std::string& name, uint32_t type,
                          const unsigned char* data, uint32_t size)
{
    uint32_t result = CheckHandle(key, kKeySetValue);
    if (result != kRegistrySuccess)
        return result;
    if (data == nullptr && size != 0)
        return kRegistryInvalidParameter;
    return ModifyHive(key->hive,
                      [&](HiveRecord& record)
                      {
                          KeyRecord* keyRecord = FindKey(record, key->foldedPath);
                          if (keyRecord == nullptr)
                              return kRegistryKeyDeleted;
                          ValueRecord* value = regfile::FindValue(*keyRecord, name);
                          if (value == nullptr)
                          {
                              keyRecord->values.push_back(ValueRecord{name, type, {}});
                              value = &keyRecord->values.back();
                          }
                          value->type = type;
                          value->data.assign(data, data + size);
                          return kRegistrySuccess;
                      });
}

uint32_t RegistryQueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                            unsigned char* data, uint32_t* size)
{
    if (data != nullptr && size == nullptr)
        return kRegistryInvalidParameter;
    HiveRecord record;
    KeyRecord* keyRecord = nullptr;
    uint32_t result = LoadOpenKey(key, kKeyQueryValue, record, keyRecord);
    if (result != kRegistrySuccess)
        return result;
    const ValueRecord* value = regfile::FindValue(*keyRecord, name);
    if (value == nullptr)
        return kRegistryNotFound;
    if (type != nullptr)
        *type = value->type;
    const auto needed = static_cast<uint32_t>(value->data.size());
    if (data != nullptr && *size < needed)
        result = kRegistryMoreData;
    else if (data != nullptr && needed != 0)
        std::memcpy(data, value->data.data(), needed);
    if (size != nullptr)
        *size = needed;
    return result;
}

uint32_t RegistryEnumKey(RegistryHandle key, uint32_t index, char* name, uint32_t* size)
{
    if (name == nullptr || size == nullptr)
        return kRegistryInvalidParameter;
    HiveRecord record;
    KeyRecord* keyRecord = nullptr;
    const uint32_t result = LoadOpenKey(key, kKeyEnumerateSubKeys, record, keyRecord);
    if (result != kRegistrySuccess)
        return result;
    const std::vector<const KeyRecord*> subKeys = regfile::SubKeys(record, key->foldedPath);
    if (index >= subKeys.size())
        return kRegistryNoMoreItems;
    const std::string subKeyName = LastPart(subKeys[index]->path);
    if (subKeyName.size() >= *size)
        return kRegistryMoreData;
    std::memcpy(name, subKeyName.c_str(), subKeyName.size() + 1);
    *size = static_cast<uint32_t>(subKeyName.size());
    return kRegistrySuccess;
}

uint32_t RegistryDeleteValue(RegistryHandle key, const std::string& name)
{
    const uint32_t result = CheckHandle(key, kKeySetValue);
    if (result != kRegistrySuccess)
        return result;
    return ModifyHive(key->hive,
                      [&](HiveRecord& record)
                      {
                          KeyRecord* keyRecord = FindKey(record, key->foldedPath);
                          if (keyRecord == nullptr)
                              return kRegistryKeyDeleted;
                          const ValueRecord* value = regfile::FindValue(*keyRecord, name);
                          if (value == nullptr)
                              return kRegistryNotFound;
                          keyRecord->values.erase(keyRecord->values.begin() +
                                                  (value - keyRecord->values.data()));
                          return kRegistrySuccess;
                      });
}

uint32_t RegistryDeleteKey(RegistryHandle key, const std::string& subKey)
{
    uint32_t result = CheckHandle(key, 0);
    if (result != kRegistrySuccess)
        return result;
    std::vector<std::string> parts;
    result = SplitPath(subKey, parts);
    if (result != kRegistrySuccess)
        return result;
    if (parts.empty())
        return kRegistryInvalidParameter;
    const std::string relative = regfile::FoldCase(regfile::JoinParts(parts));
    const std::string target =
        key->foldedPath.empty() ? relative : key->foldedPath + "\\" + relative;
    return ModifyHive(key->hive,
                      [&](HiveRecord& record)
                      {
                          if (FindKey(record, key->foldedPath) == nullptr)
                              return kRegistryKeyDeleted;
                          if (FindKey(record, target) == nullptr)
                              return kRegistryNotFound;
                          if (regfile::HasSubKeys(record, target))
                              return kRegistryAccessDenied;
                          record.erase(target);
                          return kRegistrySuccess;
                      });
}

uint32_t RegistryCloseKey(RegistryHandle key)
{
    if (key == nullptr)
        return kRegistryInvalidHandle;
    delete key;
    return kRegistrySuccess;
}
} // namespace platform
