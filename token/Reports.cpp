#include "token/acPKCS11.h"

#include <cstdio>

namespace Corvane
{
namespace
{
acPKCS11::ReportHook g_debugHook = nullptr;
acPKCS11::ReportHook g_errorHook = nullptr;

void Report(acPKCS11::ReportHook hook, const std::string& text)
{
    if (hook)
        hook(text);
}
} // namespace

void acPKCS11::SetDebugHook(ReportHook hook)
{
    g_debugHook = hook;
}

void acPKCS11::SetErrorHook(ReportHook hook)
{
    g_errorHook = hook;
}

void acPKCS11::LogDebug(const std::string& text)
{
    Report(g_debugHook, text);
}

void acPKCS11::LogDebugValue(const std::string& text, const std::string& value)
{
    Report(g_debugHook, text + " " + value);
}

void acPKCS11::LogError(const std::string& text)
{
    Report(g_errorHook, text);
}

void acPKCS11::LogErrorValue(const std::string& text, const std::string& value)
{
    Report(g_errorHook, text + " " + value);
}

void acPKCS11::LogErrorCode(const std::string& text, uint32_t code)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(code));
    Report(g_errorHook, text + hex);
}
} // namespace Corvane
