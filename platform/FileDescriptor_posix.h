#pragma once

// An open POSIX file descriptor, closed when it goes.

#include <unistd.h>

#include <utility>

namespace platform
{
class FileDescriptor
{
public:
    explicit FileDescriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~FileDescriptor()
    {
        if (descriptor_ >= 0)
            close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }

    int Get() const { return descriptor_; }
    bool IsOpen() const { return descriptor_ >= 0; }
    // Closes now so that a failed close can be seen.
    bool Close()
    {
        const int descriptor = std::exchange(descriptor_, -1);
        return close(descriptor) == 0;
    }

private:
    int descriptor_;
};
} // namespace platform
