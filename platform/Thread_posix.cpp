#include "platform/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform
{
uint32_t CurrentThreadId()
{
    // The kernel's thread id, as top and debuggers show it; pthread_self is an address.
    return static_cast<uint32_t>(syscall(SYS_gettid));
}
} // namespace platform
