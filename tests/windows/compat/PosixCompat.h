#pragma once

// The few POSIX calls the shared test helpers use, over the Windows runtime. Force-included into
// the tests of the Windows build only.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <direct.h>
#include <io.h>

inline int setenv(const char* name, const char* value, int overwrite)
{
    if (!overwrite && std::getenv(name) != nullptr)
        return 0;
    // An empty value would remove the variable in the Windows runtime; tests set empty
    // values only to make a folder look unset, which the programs treat alike.
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name)
{
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

// Replaces the trailing XXXXXX with random letters and creates the folder; retries while the
// name is taken. The runtime's own _mktemp has only 26 names per process id, and Wine reuses ids,
// so a folder an earlier run left would soon take them all.
inline char* mkdtemp(char* pattern)
{
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0)
    {
        errno = EINVAL;
        return nullptr;
    }
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        for (size_t i = length - 6; i < length; ++i)
            pattern[i] = letters[random() % (sizeof(letters) - 1)];
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}
