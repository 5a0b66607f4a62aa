#pragma once

#include "platform/SharedModule.h"

#include <string>

// Where the loaded probe module was built to lie ("beside", "elsewhere"); empty when the module
// is no probe.
inline std::string ProbePlace(const platform::SharedModule& module)
{
    using PlaceFunction = const char* (*)();
    auto place = reinterpret_cast<PlaceFunction>(module.Symbol("quendry_probe_place"));
    return place ? place() : std::string();
}
