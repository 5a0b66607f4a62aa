#include "tests/ui/PrivateDisplay.h"

// Wine draws on the display its launcher started for this program alone.
PrivateDisplay::PrivateDisplay() = default;

PrivateDisplay::~PrivateDisplay() = default;
