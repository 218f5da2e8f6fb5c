#pragma once
// Whole-file reads and atomic writes: a write goes to a temporary file in the same folder,
// is flushed to disk and renamed over the target, so a crash never leaves a truncated file.

#include <optional>
#include <string>
#include <string_view>

namespace smsc {

// Reads the whole file as bytes; nullopt when it cannot be opened or read, is not a regular
// file (a FIFO would wait for a writer for ever, a device may never end) or holds more than
// kMaxWholeFileBytes.
inline constexpr long long kMaxWholeFileBytes = 256LL * 1024 * 1024;
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes the bytes to what the path names, and returns false (leaving a file untouched) on
// any failure:
// - a new name: a new file, with the mode the umask gives (0666 & ~umask);
// - a regular file: replaced atomically, keeping its mode;
// - a symbolic link: the file it names (followed to the end, also when that file does not
//   exist yet) is written as above, in the folder of that file; the link stays;
// - a FIFO or a character device (/dev/null, a terminal): written directly, since neither
//   can be torn; a FIFO nobody reads is a failure, not a wait;
// - anything else (a folder, a socket, a block device): refused.
// The temporary name fits wherever the target's name fits.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace smsc
