#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets or unsets one environment variable for a test and restores it afterwards.
class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(const char* name) : name_(name)
    {
        if (const char* value = std::getenv(name))
            saved_ = value;
    }
    EnvironmentGuard(const char* name, const std::string& value) : EnvironmentGuard(name)
    {
        setenv(name_, value.c_str(), 1);
    }
    ~EnvironmentGuard()
    {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    void Unset() { unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> saved_;
};
