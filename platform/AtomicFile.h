#pragma once
// Whole-file reads and atomic writes: a write goes to a temporary file in the same folder,
// is flushed to disk and renamed over the target, so a crash never leaves a truncated file.

#include <optional>
#include <string>
#include <string_view>

namespace smsc {

// Reads the whole file as bytes; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes the bytes atomically. Returns false (and leaves the target untouched) on failure.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace smsc
