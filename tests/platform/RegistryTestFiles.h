#pragma once

// Store files as other programs and users leave them: exported in UTF-16, or out of reach.

#include "tests/platform/ScopedTempFolder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iconv.h>
#include <linux/capability.h>
#include <linux/securebits.h>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// The UTF-8 text as the registry editor exports it: UTF-16LE behind its byte-order mark, made
// by the system's converter rather than the store's own.
inline std::string Utf16LeFile(std::string text)
{
    const iconv_t opened = iconv_open("UTF-16LE", "UTF-8");
    if (opened == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no UTF-16LE converter");
    const std::unique_ptr<void, int (*)(iconv_t)> converter(opened, iconv_close);
    std::string converted(text.size() * 4, '\0');
    char* in = text.data();
    size_t inLeft = text.size();
    char* out = converted.data();
    size_t outLeft = converted.size();
    if (iconv(opened, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
        throw std::runtime_error("not UTF-8: " + text);
    converted.resize(converted.size() - outLeft);
    return "\xFF\xFE" + converted;
}

// A file's kind, mode and content, to see that nothing changed it.
inline std::string Snapshot(const std::string& path)
{
    const std::filesystem::file_status status = std::filesystem::status(path);
    return std::to_string(static_cast<int>(status.type())) + " " +
           std::to_string(static_cast<int>(status.permissions())) + " " + ReadTextFile(path);
}

// A readable store file made into one the store cannot read, with the reason it gives.
struct UnreadableFile
{
    const char* name;
    std::function<void(const std::string& path)> spoil;
    std::string reason;
};

// By its name, so that a listing of the tests is the same in every build.
inline void PrintTo(const UnreadableFile& file, std::ostream* os)
{
    *os << file.name;
}

// What users do to their files: convert them in part, take their rights, put a folder there.
inline std::vector<UnreadableFile> SpoiledByTheUser()
{
    return {
        {"OddByteCount",
         [](const std::string& path)
         { WriteTextFile(path, Utf16LeFile(ReadTextFile(path)) + "\n"); },
         "UTF-16 text with an odd number of bytes"},
        {"NoReadPermission",
         [](const std::string& path)
         { std::filesystem::permissions(path, std::filesystem::perms::owner_write); },
         "Permission denied"},
        {"FolderInItsPlace",
         [](const std::string& path)
         {
             std::filesystem::remove(path);
             std::filesystem::create_directory(path);
         },
         "Is a directory"},
    };
}

// Root reads and writes whatever a file's mode says; while this lives, the calling thread and
// the programs it starts obey the modes as any other user does.
class ObeyFileModes
{
public:
    ObeyFileModes()
    {
        if (geteuid() != 0)
            return;
        savedBits_ = prctl(PR_GET_SECUREBITS);
        // Without this a program started meanwhile would get every right back for being root.
        if (savedBits_ < 0 || prctl(PR_SET_SECUREBITS, savedBits_ | SECBIT_NOROOT) != 0 ||
            !SetOverride(false))
            throw std::runtime_error("cannot give up root's rights over files");
        active_ = true;
    }
    ~ObeyFileModes()
    {
        if (!active_)
            return;
        SetOverride(true);
        prctl(PR_SET_SECUREBITS, savedBits_);
    }
    ObeyFileModes(const ObeyFileModes&) = delete;
    ObeyFileModes& operator=(const ObeyFileModes&) = delete;

private:
    // Capabilities belong to a thread; the permitted set keeps them for their return.
    static bool SetOverride(bool allowed)
    {
        __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            return false;
        const uint32_t override = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH;
        data[0].effective = allowed ? data[0].effective | override : data[0].effective & ~override;
        return syscall(SYS_capset, &header, data) == 0;
    }

    int savedBits_ = 0;
    bool active_ = false;
};
