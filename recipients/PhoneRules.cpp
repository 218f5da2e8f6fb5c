#include "recipients/PhoneRules.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "platform/TextHelpers.h"

namespace smsc {
namespace {

// One compiled pattern, shared by every thread (compiled code is read-only once built);
// match data is per thread.
class Pattern final {
public:
    explicit Pattern(const char* pattern) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0,
                               &error, &offset, nullptr);
        if (!m_code)
            throw std::logic_error(std::string("bad phone pattern ") + pattern);
        pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE);  // falls back to the interpreter
    }
    ~Pattern() { pcre2_code_free(m_code); }
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    // Start of the first match at or after `from`, or npos.
    size_t find(std::string_view text, size_t from) const {
        const int rc = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                   from, 0, matchData(), nullptr);
        if (rc < 0)
            return std::string_view::npos;
        return pcre2_get_ovector_pointer(matchData())[0];
    }
    bool matches(std::string_view text) const { return find(text, 0) != std::string_view::npos; }

private:
    static pcre2_match_data* matchData() {
        struct Holder {
            pcre2_match_data* data = pcre2_match_data_create(4, nullptr);
            ~Holder() { pcre2_match_data_free(data); }
        };
        thread_local Holder holder;
        if (!holder.data)
            throw std::bad_alloc();
        return holder.data;
    }

    pcre2_code* m_code = nullptr;
};

// The prefixes are those of today's numbering plan (130-139, 145, 147, 150-159 without 154,
// 1610, 162, 165-167, 170-178 with only 17400-17405 of 174, 180-189, 190-199 without 194), added
// to those of the older plan, which all stay. The character classes hold digits only: they were
// once written with commas ("5[0,1,2]"), which made a comma count as a digit.
//
// A segment's carrier follows the carrier data: 170 is split by its fourth digit, 1349 (the
// satellite block) is China Telecom's, 198 China Mobile's, 192 China Broadnet's; the data-only
// blocks 1410, 1440, 146, 148 and 149 have their carriers too. 154 stays with China Mobile as
// it always was; it holds no numbers.
const Pattern& chinaMobileSegment() {
    static const Pattern p(
        "^1(34[0-8]\\d{3}|(3[5-9]|4[78]|5[0124789]|65|72|78|8[23478]|9[578])\\d{4}|"
        "(440|70[356])\\d{3})$");
    return p;
}
const Pattern& chinaUnicomSegment() {
    static const Pattern p("^1((3[012]|4[56]|5[56]|6[67]|7[156]|8[56]|96)\\d{4}|70[4789]\\d{3})$");
    return p;
}
const Pattern& chinaTelecomSegment() {
    static const Pattern p(
        "^1((33|49|53|62|7[37]|8[019]|9[0139])\\d{4}|(349|410|70[012])\\d{3}|740[0-5]\\d{2})$");
    return p;
}
const Pattern& chinaBroadnetSegment() {
    static const Pattern p("^192\\d{4}$");
    return p;
}
const Pattern& digits1To12() {
    static const Pattern p("^[\\d]{1,12}$");
    return p;
}
// The two differ in the 14x block: the checker accepts 140, the extractor finds 143; both
// know 145 and 147.
const Pattern& mobileNumber() {
    static const Pattern p(
        "^1((3[0-9]|4[057]|5[012356789]|6[2567]|7[0-35-8]|8[0-9]|9[012356789])\\d{8}|"
        "(610\\d|740[0-5])\\d{6})$");
    return p;
}
const Pattern& mobileNumberInText() {
    static const Pattern p(
        "1((3[0-9]|4[357]|5[012356789]|6[2567]|7[0-35-8]|8[0-9]|9[012356789])\\d{8}|"
        "(610\\d|740[0-5])\\d{6})");
    return p;
}

constexpr size_t kMobileLength = 11;

std::uint64_t numberKey(std::string_view digits) {
    std::uint64_t key = 0;
    for (char c : digits)
        key = key * 10 + static_cast<std::uint64_t>(c - '0');
    return key;
}

// Set of keys seen so far, by open addressing: each slot holds a key's 32-bit hash and its
// place in a dense key array. Large imports outgrow the cache, so callers look keys up in
// small batches: prefetch every batch key's slot first, then insert them in order.
template <typename Key, typename Hash>
class SeenSet final {
public:
    static std::uint32_t hashOf(const Key& key) {
        const std::uint64_t h = Hash{}(key);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
    // Room for `more` keys without growing, so prefetched slots stay where they are.
    void reserveMore(size_t more) {
        while ((m_keys.size() + more) * 2 > m_slots.size())
            grow();
    }
    void prefetch(std::uint32_t hash) const { __builtin_prefetch(&m_slots[hash & mask()]); }
    // True when the key was not there yet (and is now). Needs reserveMore first.
    bool insert(const Key& key, std::uint32_t hash) {
        for (size_t i = hash & mask();; i = (i + 1) & mask()) {
            Slot& slot = m_slots[i];
            if (slot.index == 0) {
                m_keys.push_back(key);
                slot = {hash, static_cast<std::uint32_t>(m_keys.size())};
                return true;
            }
            if (slot.hash == hash && m_keys[slot.index - 1] == key)
                return false;
        }
    }
    bool contains(const Key& key) const {
        if (m_slots.empty())
            return false;
        const std::uint32_t hash = hashOf(key);
        for (size_t i = hash & mask();; i = (i + 1) & mask()) {
            const Slot& slot = m_slots[i];
            if (slot.index == 0)
                return false;
            if (slot.hash == hash && m_keys[slot.index - 1] == key)
                return true;
        }
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t index = 0;  // 1-based place in m_keys; 0 marks a free slot
    };

    size_t mask() const { return m_slots.size() - 1; }
    void grow() {
        std::vector<Slot> slots(m_slots.empty() ? 1024 : m_slots.size() * 2);
        const size_t newMask = slots.size() - 1;
        for (const Slot& slot : m_slots) {
            if (slot.index == 0)
                continue;
            size_t i = slot.hash & newMask;
            while (slots[i].index != 0)
                i = (i + 1) & newMask;
            slots[i] = slot;
        }
        m_slots.swap(slots);
    }

    std::vector<Slot> m_slots;
    std::vector<Key> m_keys;
};

constexpr size_t kBatch = 16;

struct NumberHash {
    size_t operator()(std::uint64_t key) const {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        return static_cast<size_t>(key);
    }
};

// A line with every CR and LF removed and bytes 0..32 trimmed at both ends, as a view into
// the line when possible (CR and LF are blanks, so trimming first removes the outer ones).
std::string_view cleanLine(std::string_view line, std::deque<std::string>& owned) {
    const std::string_view inner = TrimmedView(line);
    if (inner.find_first_of("\r\n") == std::string_view::npos)
        return inner;
    owned.push_back(StripLineBreaks(std::string(inner)));
    return owned.back();
}

}  // namespace

bool IsDigits1To12(const std::string& text) {
    return digits1To12().matches(text);
}
bool IsMobileNumber(const std::string& text) {
    return mobileNumber().matches(text);
}
bool IsSegmentChinaMobile(const std::string& text) {
    return chinaMobileSegment().matches(text);
}
bool IsSegmentChinaUnicom(const std::string& text) {
    return chinaUnicomSegment().matches(text);
}
bool IsSegmentChinaTelecom(const std::string& text) {
    return chinaTelecomSegment().matches(text);
}
bool IsSegmentChinaBroadnet(const std::string& text) {
    return chinaBroadnetSegment().matches(text);
}

std::vector<std::string> ExtractMobileNumbers(const std::string& text) {
    // One scan from left to right. Nothing is cut out of the text, so digits on both sides
    // of a found number never join into a number that is not there.
    using Seen = SeenSet<std::uint64_t, NumberHash>;
    std::vector<std::string> numbers;
    // Room for a text made of numbers, one per line (only touched pages cost memory).
    numbers.reserve(std::min<size_t>(text.size() / (kMobileLength + 1) + 1, size_t{1} << 20));
    Seen seen;
    const Pattern& pattern = mobileNumberInText();
    const std::string_view view(text);

    size_t starts[kBatch];
    std::uint64_t keys[kBatch];
    std::uint32_t hashes[kBatch];
    size_t batch = 0;
    const auto flush = [&] {
        seen.reserveMore(batch);
        for (size_t i = 0; i < batch; ++i)
            seen.prefetch(hashes[i]);
        for (size_t i = 0; i < batch; ++i) {
            if (seen.insert(keys[i], hashes[i]))
                numbers.emplace_back(view.substr(starts[i], kMobileLength));
        }
        batch = 0;
    };
    size_t from = 0;
    while (from + kMobileLength <= view.size()) {
        const size_t at = pattern.find(view, from);
        if (at == std::string_view::npos)
            break;
        starts[batch] = at;
        keys[batch] = numberKey(view.substr(at, kMobileLength));
        hashes[batch] = Seen::hashOf(keys[batch]);
        if (++batch == kBatch)
            flush();
        from = at + kMobileLength;
    }
    flush();
    return numbers;
}

std::vector<std::string> SplitLinesUnique(const std::string& text, const std::string& separator) {
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    if (separator.empty()) {  // an empty separator occurs everywhere; nothing to split at
        lines.push_back(text);
        return lines;
    }
    // A line is dropped when its cleaned text equals that of an earlier line; lines are
    // compared whole, so a short line never cuts anything out of a longer one.
    const std::string_view view(text);
    std::deque<std::string> owned;
    size_t pieces = 1;
    for (size_t at = view.find(separator); at != std::string_view::npos;
         at = view.find(separator, at + separator.size()))
        ++pieces;
    using Seen = SeenSet<std::string_view, std::hash<std::string_view>>;
    Seen seen;
    lines.reserve(pieces);

    std::string_view batchPieces[kBatch];
    std::string_view batchKeys[kBatch];
    std::uint32_t hashes[kBatch];
    size_t batch = 0;
    const auto flush = [&] {
        seen.reserveMore(batch);
        for (size_t i = 0; i < batch; ++i)
            seen.prefetch(hashes[i]);
        for (size_t i = 0; i < batch; ++i) {
            if (seen.insert(batchKeys[i], hashes[i]))
                lines.emplace_back(batchPieces[i]);
        }
        batch = 0;
    };
    size_t pos = 0;
    for (size_t at = view.find(separator, pos); at != std::string_view::npos;
         at = view.find(separator, pos)) {
        const std::string_view piece = view.substr(pos, at - pos);
        const std::string_view key = cleanLine(piece, owned);
        if (!key.empty()) {
            batchPieces[batch] = piece;
            batchKeys[batch] = key;
            hashes[batch] = Seen::hashOf(key);
            if (++batch == kBatch)
                flush();
        }
        pos = at + separator.size();
    }
    flush();
    // The part after the last separator is always the last element; empty when it is
    // blank or repeats an earlier line.
    const std::string_view last = view.substr(pos);
    const std::string_view key = cleanLine(last, owned);
    if (key.empty() || seen.contains(key))
        lines.emplace_back();
    else
        lines.emplace_back(last);
    return lines;
}

bool IsMobileNumberInText(const std::string& digits) {
    // The pattern always matches 11 characters, so in an 11-character text only at its start.
    return digits.size() == kMobileLength && mobileNumberInText().matches(digits);
}

}  // namespace smsc
