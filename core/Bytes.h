#pragma once

#include <vector>

// Raw data crosses every component as a growable vector of unsigned bytes.
using ByteVector = std::vector<unsigned char>;
