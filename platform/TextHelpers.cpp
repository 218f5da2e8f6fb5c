#include "platform/TextHelpers.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"

namespace smsc {
namespace {

bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}
bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using Code = std::unique_ptr<pcre2_code, CodeDeleter>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

Code compile(const std::string& pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                            &offset, nullptr));
    if (!code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        throw std::invalid_argument("bad pattern \"" + pattern + "\" at " + std::to_string(offset) +
                                    ": " + reinterpret_cast<const char*>(message));
    }
    return code;
}

// Tells whether byte offsets fall between two GBK characters. Offsets must be asked in
// ascending order; the walk then stays linear over the whole text.
class CharBoundaries {
public:
    explicit CharBoundaries(std::string_view text) : m_text(text) {}
    bool at(size_t offset) {
        while (m_pos < offset)
            m_pos += static_cast<size_t>(GbkCharBytes(m_text, m_pos));
        return m_pos == offset;
    }
    // The first boundary after the offset.
    size_t after(size_t offset) {
        if (!at(offset))
            return m_pos;
        return m_pos < m_text.size() ? m_pos + static_cast<size_t>(GbkCharBytes(m_text, m_pos))
                                     : m_pos + 1;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// Calls onMatch(start, end) for every match of the pattern, in order. A match that starts
// or ends inside a two-byte character is not a match: its byte is the character's trail
// byte (which may well be '|', '[' or ']'). An empty match at the start, at the end or
// right where the previous match ended is skipped, so every stretch between matches is a
// real one and the search always moves on.
template <typename OnMatch>
void forEachMatch(const pcre2_code* code, std::string_view text, OnMatch onMatch) {
    MatchData data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data)
        throw std::bad_alloc();
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    CharBoundaries boundaries(text);
    size_t from = 0;
    size_t lastEnd = 0;
    while (from <= text.size()) {
        const int rc = pcre2_match(code, subject, text.size(), from, 0, data.get(), nullptr);
        if (rc < 0)
            break;  // no match (or the matcher gave up): no more stretches
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        const size_t start = ovector[0];
        const size_t end = ovector[1];
        if (end < start)
            break;  // only \K inside a lookahead does this; never used here
        CharBoundaries endCheck = boundaries;
        const bool whole = boundaries.at(start) && endCheck.at(end);
        const bool uselessEmpty = start == end && (start == lastEnd || start == text.size());
        if (!whole || uselessEmpty) {
            from = boundaries.after(start);
            continue;
        }
        onMatch(start, end);
        lastEnd = end;
        from = start == end ? boundaries.after(start) : end;
    }
}

}  // namespace

std::string StripLineBreaks(const std::string& text) {
    // CR and LF are never the trail byte of a two-byte character, so a byte loop removes
    // exactly what the pattern "\r|\n" would.
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* first = p;
    while (first != end && !isLineBreak(*first))
        ++first;
    if (first == end)
        return text;
    std::string out;
    out.reserve(text.size());
    out.append(p, first);
    for (const char* q = first; q != end; ++q)
        if (!isLineBreak(*q))
            out.push_back(*q);
    return out;
}

std::string LineEndsAsCr(std::string text) {
    // In place: CR LF shrinks to CR, a lone LF becomes CR. Neither byte is ever the trail
    // byte of a two-byte character.
    size_t out = 0;
    const size_t size = text.size();
    for (size_t in = 0; in < size; ++in) {
        const char c = text[in];
        if (c == '\r' && in + 1 < size && text[in + 1] == '\n')
            ++in;
        text[out++] = c == '\n' ? '\r' : c;
    }
    text.resize(out);
    return text;
}

int TextLength(const std::string& text) {
    if (std::memchr(text.data(), '\r', text.size()) == nullptr &&
        std::memchr(text.data(), '\n', text.size()) == nullptr)
        return GbkCharCount(text);
    return GbkCharCount(StripLineBreaks(text));
}

std::string_view TrimmedView(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string TrimBlanks(std::string_view text) {
    return std::string(TrimmedView(text));
}

bool FitsOneMessage(const std::string& text) {
    return TextLength(TrimBlanks(text)) <= 70;
}

std::vector<std::string> SplitByLength(const std::string& text, int n) {
    std::vector<std::string> pieces;
    if (text.empty())
        return pieces;
    if (n < 1) {  // nothing can be cut off; the whole text is the one piece
        pieces.push_back(text);
        return pieces;
    }
    // One walk over the characters as the service counts them: line breaks are skipped
    // (they count 0, and a lead byte pairs with the next byte that is not a line break),
    // a lead byte without a valid trail byte is one character. A piece ends right after
    // its n-th character; the line breaks after that open the next piece.
    const size_t len = text.size();
    size_t i = 0;
    size_t pieceStart = 0;
    size_t lastCharEnd = 0;
    int count = 0;
    for (;;) {
        while (i < len && isLineBreak(text[i]))
            ++i;
        if (i >= len)
            break;
        if (count == n) {
            pieces.push_back(text.substr(pieceStart, lastCharEnd - pieceStart));
            pieceStart = lastCharEnd;
            count = 0;
        }
        size_t next = i + 1;
        if (static_cast<unsigned char>(text[i]) > 0x80) {
            size_t trail = next;
            while (trail < len && isLineBreak(text[trail]))
                ++trail;
            if (trail < len) {
                const char pair[2] = {text[i], text[trail]};
                if (GbkCharBytes(std::string_view(pair, 2), 0) == 2)
                    next = trail + 1;
            }
        }
        lastCharEnd = next;
        i = next;
        ++count;
    }
    pieces.push_back(text.substr(pieceStart));
    return pieces;
}

std::string LengthCaption(const std::string& text) {
    static const std::string prefix = G("当前长度为");
    static const std::string suffix = G("字");
    return prefix + std::to_string(GbkCharCount(text)) + suffix;
}

std::vector<std::string> SplitBySeparator(const std::string& text, const std::string& separator) {
    std::vector<std::string> items;
    if (text.empty())
        return items;
    if (separator.empty()) {  // an empty separator occurs everywhere; nothing to split at
        items.push_back(text);
        return items;
    }
    // Only occurrences between characters count: a separator byte that is the trail byte
    // of a two-byte character (e.g. '|' = 0x7C) belongs to that character.
    CharBoundaries boundaries(text);
    size_t itemStart = 0;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        if (at == std::string::npos)
            break;
        const size_t end = at + separator.size();
        if (!boundaries.at(at)) {
            from = at + 1;
            continue;
        }
        CharBoundaries endCheck = boundaries;
        if (!endCheck.at(end)) {
            from = at + 1;
            continue;
        }
        items.push_back(text.substr(itemStart, at - itemStart));
        itemStart = end;
        from = end;
    }
    items.push_back(text.substr(itemStart));
    return items;
}

std::vector<std::string> RegexSplit(const std::string& text, const std::string& pattern) {
    const Code code = compile(pattern);
    std::vector<std::string> items;
    size_t itemStart = 0;
    forEachMatch(code.get(), text, [&](size_t start, size_t end) {
        items.push_back(text.substr(itemStart, start - itemStart));
        itemStart = end;
    });
    items.push_back(text.substr(itemStart));
    return items;
}

bool ContainsCharacter(const std::string& text, char c) {
    CharBoundaries boundaries(text);
    for (size_t i = text.find(c); i != std::string::npos; i = text.find(c, i + 1)) {
        if (boundaries.at(i))
            return true;
    }
    return false;
}

std::string RemoveBrackets(const std::string& text) {
    static const Code code = compile("\\[|\\]");
    std::string out;
    out.reserve(text.size());
    size_t kept = 0;
    forEachMatch(code.get(), text, [&](size_t start, size_t end) {
        out.append(text, kept, start - kept);
        kept = end;
    });
    out.append(text, kept, std::string::npos);
    return out;
}

long long FileSizeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<long long>(st.st_size);
}

void AppendLineToFile(const std::string& path, const std::string& line) {
    // A true append: earlier lines are never rewritten, so appending stays cheap on long
    // exports and a failure can only lose the line being written. The line and its CR LF
    // go out in one write.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path);
    std::string record = line;
    record += "\r\n";
    const char* p = record.data();
    size_t left = record.size();
    int error = 0;
    while (left > 0) {
        const ssize_t put = ::write(fd, p, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        p += put;
        left -= static_cast<size_t>(put);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw std::system_error(error, std::generic_category(), path);
}

}  // namespace smsc
