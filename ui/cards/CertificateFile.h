#pragma once

#include "core/Bytes.h"

#include <string>

// The per-user folder for files handed to the desktop: below the temporary folder, owned by the
// user and closed to everyone else; empty when no such folder can be had.
std::string PrivateTempFolder();

// Removes an older file at the path; its failure is only seen by the write that follows.
void RemoveFile(const std::string& path);

// Writes the bytes into a file that must not exist yet, never through a link; false when the
// file cannot be created or any write or the close fails (a partial file is removed).
bool WriteNewFile(const std::string& path, const ByteVector& bytes);
