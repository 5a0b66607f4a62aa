#pragma once

#include <string>

// Typed reads of one configuration value by its id; false (value untouched) when there is no
// back end, no such entry or no readable value.
bool ReadConfigInteger(unsigned id, int& value);
bool ReadConfigText(unsigned id, std::string& value);
