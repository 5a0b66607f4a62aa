#pragma once

// The few POSIX calls the shared test helpers use, over the Windows runtime. Force-included into
// the tests of the Windows build only.

#include <cerrno>
#include <cstdlib>
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

// Replaces the trailing XXXXXX and creates the folder; retries while the name is taken.
inline char* mkdtemp(char* pattern)
{
    const std::string original = pattern;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        original.copy(pattern, original.size());
        if (_mktemp_s(pattern, original.size() + 1) != 0)
            return nullptr;
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}
