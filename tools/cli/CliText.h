#pragma once
// Texts at the edges of the command-line sender: the terminal speaks UTF-8, the service and
// the core code GBK. Message files may be either; number files are taken as raw bytes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Gbk.h"
#include "platform/TextHelpers.h"

namespace smsc::cli {

// A UTF-8 text as GBK; nullopt when it is not UTF-8 or holds a character GBK cannot carry
// (sending it would silently turn the character into "?").
std::optional<std::string> GbkFromTerminal(std::string_view utf8);

// The message of a text file as GBK. A UTF-8 byte-order mark, or valid UTF-8 holding at
// least one three- or four-byte sequence, means UTF-8; anything else (ASCII, or only
// two-byte sequences, which short GBK texts often form) is taken as GBK. nullopt with
// *error (UTF-8) when the bytes are neither.
std::optional<std::string> MessageFromFileBytes(std::string_view bytes, std::string* error);

// A GBK text for the terminal: UTF-8, "\r" (and "\r\n") printed as a line break, and other
// control characters dropped, so an answer of the service cannot drive the terminal.
std::string TerminalFromGbk(std::string_view gbk);

// A service answer the client does not know, shortened for the terminal (UTF-8).
std::string UnknownAnswerText(const std::string& answer);

using smsc::TrimBlanks;  // blanks and control characters (bytes 0..32) removed at both ends

// The numbers of one add action as the window adds them with the verification option on:
// one copy of the verification number before the 1st, (K+1)-th, (2K+1)-th ... number, that
// is ceiling(n / K) copies for n numbers (none for an empty list).
std::vector<std::string> InterleaveVerification(const std::vector<std::string>& numbers,
                                                const std::string& verificationNumber,
                                                int interval);

// Reads a whole file of at most maxBytes. nullopt with *error (UTF-8) when it is missing,
// not a regular file, unreadable or too big.
std::optional<std::string> ReadInputFile(const std::string& path, size_t maxBytes,
                                         std::string* error);

}  // namespace smsc::cli
