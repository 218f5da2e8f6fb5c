#include "platform/Gbk.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <mutex>

namespace smsc {
namespace {

// Which two-byte sequences the converter accepts, computed once: a lookup keeps the
// character count a plain byte scan, which the message splitter calls very often.
class PairTable {
public:
    PairTable() {
        iconv_t cd = iconv_open("UTF-8", "CP936");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return;
        // All pairs of one lead byte go to the converter as one run; it stops at the first
        // pair it rejects, the pairs before it are valid, and the run goes on after it. The
        // lead bytes stand for no character alone, so a pair is accepted in a run exactly
        // when it is accepted alone.
        constexpr int kFirstTrail = 0x40;
        constexpr int kTrails = 0xFE - kFirstTrail + 1;
        char in[2 * kTrails];
        char out[8 * kTrails];
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int t = 0; t < kTrails; ++t) {
                in[2 * t] = static_cast<char>(lead);
                in[2 * t + 1] = static_cast<char>(kFirstTrail + t);
            }
            for (int t = 0; t < kTrails;) {
                char* inp = in + 2 * t;
                size_t inLeft = static_cast<size_t>(2 * (kTrails - t));
                char* outp = out;
                size_t outLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                const bool whole =
                    iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1);
                const int done = static_cast<int>((inp - in) / 2);  // pairs converted
                for (int k = t; k < done; ++k)
                    m_valid.set(static_cast<size_t>(lead << 8 | (kFirstTrail + k)));
                if (whole)
                    break;
                t = done + 1;  // past the rejected pair
            }
        }
        iconv_close(cd);
    }
    bool valid(unsigned char lead, unsigned char trail) const {
        return m_valid.test(static_cast<size_t>(lead << 8 | trail));
    }

private:
    std::bitset<65536> m_valid;
};

const PairTable& pairs() {
    static const PairTable table;
    return table;
}

// iconv descriptors are not thread-safe; each thread keeps its own pair.
struct Converters {
    iconv_t toUtf8 = iconv_open("UTF-8", "CP936");
    iconv_t toGbk = iconv_open("CP936", "UTF-8");
    ~Converters() {
        if (toUtf8 != reinterpret_cast<iconv_t>(-1))
            iconv_close(toUtf8);
        if (toGbk != reinterpret_cast<iconv_t>(-1))
            iconv_close(toGbk);
    }
};
Converters& converters() {
    thread_local Converters c;
    return c;
}

// Converts one run of bytes known to be valid in the source encoding.
bool convertRun(iconv_t cd, std::string_view in, std::string& out) {
    if (in.empty())
        return true;
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    const size_t start = out.size();
    out.resize(start + in.size() * 2 + 16);
    char* outp = out.data() + start;
    size_t outLeft = out.size() - start;
    while (inLeft > 0) {
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                const size_t used = static_cast<size_t>(outp - out.data());
                out.resize(out.size() * 2);
                outp = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            out.resize(start);  // nothing of a failed run is kept
            return false;
        }
    }
    out.resize(static_cast<size_t>(outp - out.data()));
    return true;
}

// Length of a valid UTF-8 sequence at s[pos], or 0 when malformed.
int utf8SeqLen(std::string_view s, size_t pos) {
    const auto b = static_cast<unsigned char>(s[pos]);
    int n = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4;
    else
        return 0;
    if (pos + n > s.size())
        return 0;
    for (int i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80)
            return 0;
    return n;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;  // overlong
            else if (c == 0xED)
                high = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (i + length > n || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (size_t k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int GbkCharBytes(std::string_view gbk, size_t pos) {
    const auto b = static_cast<unsigned char>(gbk[pos]);
    if (b <= 0x80 || b == 0xFF)
        return 1;
    if (pos + 1 < gbk.size() && pairs().valid(b, static_cast<unsigned char>(gbk[pos + 1])))
        return 2;
    return 1;
}

int GbkCharCount(std::string_view gbk) {
    // The table is fetched at the first possible pair: text without one (empty, ASCII) is
    // counted without it, so a program that only ever counts such text never builds it.
    const PairTable* table = nullptr;
    int count = 0;
    const size_t n = gbk.size();
    for (size_t i = 0; i < n; ++count) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b > 0x80 && b != 0xFF && i + 1 < n &&
            (table ? table : (table = &pairs()))->valid(b, static_cast<unsigned char>(gbk[i + 1])))
            i += 2;
        else
            ++i;
    }
    return count;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    iconv_t cd = converters().toUtf8;
    size_t runStart = 0;
    size_t i = 0;
    const size_t n = gbk.size();
    auto flush = [&](size_t end) {
        std::string_view run = gbk.substr(runStart, end - runStart);
        if (!convertRun(cd, run, out)) {
            for (char c : run)
                AppendUtf8(out, static_cast<unsigned char>(c) < 0x80 ? c : 0xFFFD);
        }
    };
    while (i < n) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const int len = GbkCharBytes(gbk, i);
        if (b == 0x80 || len == 2) {
            i += static_cast<size_t>(len);
            continue;
        }
        flush(i);
        AppendUtf8(out, 0xFFFD);
        ++i;
        runStart = i;
    }
    flush(n);
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    iconv_t cd = converters().toGbk;
    size_t i = 0;
    const size_t n = utf8.size();
    size_t runStart = 0;
    auto flushRun = [&](size_t end) {
        if (end > runStart) {
            std::string_view run = utf8.substr(runStart, end - runStart);
            if (!convertRun(cd, run, out)) {
                // Some character in the run has no GBK form: convert one by one.
                size_t j = 0;
                while (j < run.size()) {
                    const int len = utf8SeqLen(run, j);
                    if (!convertRun(cd, run.substr(j, static_cast<size_t>(len)), out))
                        out += '?';
                    j += static_cast<size_t>(len);
                }
            }
        }
    };
    while (i < n) {
        const int len = utf8SeqLen(utf8, i);
        if (len == 0) {
            flushRun(i);
            out += '?';
            ++i;
            runStart = i;
            continue;
        }
        i += static_cast<size_t>(len);
    }
    flushRun(n);
    return out;
}

std::string Utf16ToUtf8(std::string_view utf16, bool littleEndian) {
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(utf16[i]);
        const auto b = static_cast<unsigned char>(utf16[i + 1]);
        return static_cast<char32_t>(littleEndian ? (a | b << 8) : (a << 8 | b));
    };
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        char32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < utf16.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

bool HasUtf16Mark(std::string_view bytes) {
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

std::string TextFileBytesAsGbk(std::string bytes) {
    const std::string_view view(bytes);
    if (view.substr(0, 3) == "\xEF\xBB\xBF")
        return Utf8ToGbk(view.substr(3));
    if (!HasUtf16Mark(view))
        return bytes;
    // Converted a megabyte at a time (an even count of bytes; a surrogate pair split there
    // is kept whole by moving the cut), so a large file is never held three times over.
    const bool little = view[0] == '\xFF';
    constexpr size_t kChunk = 1u << 20;
    std::string out;
    out.reserve(view.size() / 2);
    for (size_t at = 2; at + 1 < view.size();) {
        size_t end = std::min(view.size() - (view.size() - at) % 2, at + kChunk);
        if (end < view.size() - 1) {
            const auto high = static_cast<unsigned char>(view[end - (little ? 1 : 2)]);
            if (high >= 0xD8 && high <= 0xDB)
                end -= 2;
        }
        out += Utf8ToGbk(Utf16ToUtf8(view.substr(at, end - at), little));
        at = end;
    }
    return out;
}

}  // namespace smsc
