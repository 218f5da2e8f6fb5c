#include "optout/OptOutList.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>
#include <unordered_set>

#include "platform/AtomicFile.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/ImportTally.h"
#include "recipients/PhoneRules.h"

namespace smsc {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDigitRun(std::string_view text) {
    if (text.empty() || text.size() > 12)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Digits and their count, so "0000" and "00000" differ; never 0 for a number.
std::uint64_t KeyOf(std::string_view digits) {
    std::uint64_t value = 0;
    for (char c : digits)
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return (value << 4) | digits.size();
}

std::uint64_t Mix(std::uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return key;
}

// The first word of a line: up to its first blank or tab.
std::string_view FirstWord(std::string_view line) {
    line = Trimmed(line);
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    return line.substr(0, end);
}

// Field i (0-based) of a line whose fields are separated by tabs or commas (neither is ever
// the second byte of a GBK character), trimmed; empty when absent.
std::string_view Field(std::string_view line, int index) {
    for (int i = 0; i < index; ++i) {
        const size_t tab = line.find_first_of("\t,");
        if (tab == std::string_view::npos)
            return {};
        line.remove_prefix(tab + 1);
    }
    return Trimmed(line.substr(0, line.find_first_of("\t,")));
}

bool IsByte(std::string_view text, size_t i, unsigned char b) {
    return i < text.size() && static_cast<unsigned char>(text[i]) == b;
}

// The number field of a line: up to its first tab, comma or full-width comma, trimmed.
std::string_view NumberField(std::string_view line) {
    size_t i = 0;
    while (i < line.size()) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b == '\t' || b == ',' || (b == 0xA3 && IsByte(line, i + 1, 0xAC)))
            break;
        i += b >= 0x81 ? 2 : 1;
    }
    return Trimmed(line.substr(0, std::min(i, line.size())));
}

// In valid UTF-8 a byte from 0xE0 up starts a three- or four-byte sequence.
bool IsValidUtf8WithWideCharacter(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0xE0)
            return IsValidUtf8(bytes);
    return false;
}

struct RawRead {
    OptOutState state = OptOutState::Ok;
    std::string bytes;
};

// The file read with its size bounded; opened without waiting, so a FIFO cannot hold us.
RawRead ReadBounded(const std::string& path, size_t maxBytes) {
    RawRead read;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT)
            read.state = OptOutState::Unreadable;
        return read;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        read.state = OptOutState::Unreadable;
        return read;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        read.state = OptOutState::TooLarge;
        return read;
    }
    read.bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            read.state = OptOutState::Unreadable;
            break;
        }
        if (got == 0)
            break;
        read.bytes.append(buffer, static_cast<size_t>(got));
        // A file that grows while it is read is bounded all the same.
        if (read.bytes.size() > maxBytes) {
            read.state = OptOutState::TooLarge;
            break;
        }
    }
    ::close(fd);
    if (read.state != OptOutState::Ok)
        read.bytes.clear();
    return read;
}

std::string WriteFailure(const std::string& path) {
    return G("退订名单保存失败，请检查OptOut.txt所在的文件夹是否可写：") + Utf8ToGbk(path);
}

// "OptOut.lock" beside "OptOut.txt".
std::string LockPathOf(const std::string& listPath) {
    const std::string_view txt = ".txt";
    if (listPath.size() > txt.size() &&
        listPath.compare(listPath.size() - txt.size(), txt.size(), txt) == 0)
        return listPath.substr(0, listPath.size() - txt.size()) + ".lock";
    return listPath + ".lock";
}

// The lock every writer of the list holds from reading the file to renaming the new one over
// it, in this process or any other: an exclusive flock on the lock file, which the system
// lets go of when the process ends, however it ends.
class ListLock final {
public:
    ListLock() = default;
    ~ListLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

    // Waits for the lock; an error (GBK) when it cannot be had. Where no lock file can be
    // made the list cannot be written either: the change goes on and its write reports that.
    std::string take(const std::string& listPath) {
        const std::string lockPath = LockPathOf(listPath);
        m_fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                      0644);
        if (m_fd < 0) {
            if (errno == ENOENT || errno == EACCES || errno == EROFS)
                return {};
            return G("退订名单的锁文件无法打开，请检查：") + Utf8ToGbk(lockPath);
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
            return G("退订名单的锁文件无法打开，请检查：") + Utf8ToGbk(lockPath);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return G("退订名单的锁文件无法加锁，请检查：") + Utf8ToGbk(lockPath);
            if (std::chrono::steady_clock::now() > deadline)
                return G("退订名单正被其他程序修改，请稍后再试");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {};
    }

private:
    int m_fd = -1;
};

}  // namespace

std::string OptOutPath() {
    return DataPath(kOptOutFileName);
}

std::string OptOutPathIn(const std::string& dataDir) {
    if (dataDir.empty())
        return kOptOutFileName;
    return dataDir + (dataDir.back() == '/' ? "" : "/") + kOptOutFileName;
}

std::string OptOutSourceText(OptOutSource source) {
    switch (source) {
        case OptOutSource::Reply:
            return G("回复");
        case OptOutSource::Manual:
            return G("手工");
        case OptOutSource::Import:
            return G("导入");
    }
    return {};
}

std::string OptOutToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::optional<std::string> OptOutNumber(std::string_view text) {
    text = Trimmed(text);
    if (!IsDigitRun(text))
        return std::nullopt;
    return std::string(text);
}

std::optional<std::string> ListedNumberOf(std::string_view field) {
    field = Trimmed(field);
    // Any number the list may hold, in ASCII or full-width ("０" to "９") digits.
    std::string digits;
    for (size_t i = 0; i < field.size() && digits.size() <= 12;) {
        const auto b = static_cast<unsigned char>(field[i]);
        const auto next = i + 1 < field.size() ? static_cast<unsigned char>(field[i + 1]) : 0;
        if (b >= '0' && b <= '9') {
            digits += static_cast<char>(b);
            ++i;
        } else if (b == 0xA3 && next >= 0xB0 && next <= 0xB9) {
            digits += static_cast<char>('0' + (next - 0xB0));
            i += 2;
        } else {
            // Written with a country code, blanks or dashes: a mobile number as people write it.
            return ReadMobileNumber(field);
        }
    }
    if (digits.empty() || digits.size() > 12)
        return ReadMobileNumber(field);
    return digits;
}

bool HoldsNumberSeparator(std::string_view entry) {
    return entry.find_first_of("|*") != std::string_view::npos;
}

std::vector<std::string> NumbersOfEntry(std::string_view entry) {
    // Byte by byte, as the number string is cut: a "|" that is the second byte of a GBK
    // character ends a piece all the same, and the pieces joined by "|" are the same bytes.
    std::vector<std::string> pieces;
    size_t begin = 0;
    for (size_t i = 0; i <= entry.size(); ++i) {
        if (i < entry.size() && entry[i] != '|' && entry[i] != '*')
            continue;
        const std::string_view piece = entry.substr(begin, i - begin);
        if (!Trimmed(piece).empty())
            pieces.emplace_back(piece);
        begin = i + 1;
    }
    return pieces;
}

std::vector<std::string> SplitAtNumberSeparators(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (const std::string& entry : entries) {
        if (!HoldsNumberSeparator(entry)) {
            out.push_back(entry);
            continue;
        }
        for (std::string& piece : NumbersOfEntry(entry))
            out.push_back(std::move(piece));
    }
    return out;
}

bool IsGbkListText(std::string_view bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0 || HasUtf16Mark(bytes))
        return false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0 || b == 0xFF)
            return false;
        if (b <= 0x80)
            continue;
        if (i + 1 >= bytes.size())
            return false;
        const auto t = static_cast<unsigned char>(bytes[i + 1]);
        if (t < 0x40 || t == 0x7F || t == 0xFF)
            return false;
        ++i;
    }
    // Chinese text saved as UTF-8 also pairs up as GBK bytes, but reads as nonsense.
    return !IsValidUtf8WithWideCharacter(bytes);
}

// ---- OptOutList ---------------------------------------------------------------------------

OptOutList OptOutList::Load(const std::string& path) {
    RawRead read = ReadBounded(path, kMaxOptOutFileBytes);
    OptOutList list;
    if (read.state == OptOutState::Ok)
        list = FromBytes(std::move(read.bytes));
    else
        list.m_state = read.state;
    list.m_path = path;
    return list;
}

OptOutList OptOutList::FromBytes(std::string bytes) {
    OptOutList list;
    if (bytes.size() > kMaxOptOutFileBytes) {
        list.m_state = OptOutState::TooLarge;
        return list;
    }
    if (HasUtf16Mark(bytes) || bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes = TextFileBytesAsGbk(std::move(bytes));
    } else if (!IsGbkListText(bytes)) {
        list.m_state = OptOutState::NotGbk;
        return list;
    }
    list.m_text = std::move(bytes);
    list.parse();
    return list;
}

void OptOutList::parse() {
    const std::string_view text(m_text);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n' || c == '\r' ? 1 : 0;
    m_lines.reserve(lines + 1);
    // Lines end in CR LF, LF or CR alone.
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        size_t next = end + 1;
        if (end < text.size() && text[end] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        appendLine(static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin));
        begin = next;
    }
}

std::string_view OptOutList::lineText(const Line& line) const {
    return std::string_view(m_text).substr(line.begin, line.length);
}

std::string_view OptOutList::numberOf(const Line& line) const {
    return std::string_view(line.numberRead ? m_numbers : m_text)
        .substr(line.numberAt, line.numberLength);
}

std::size_t OptOutList::slotOf(std::uint64_t key) const {
    const size_t mask = m_keys.size() - 1;
    size_t slot = static_cast<size_t>(Mix(key)) & mask;
    while (m_keys[slot] != 0 && m_keys[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

void OptOutList::growIndex() {
    std::vector<std::uint64_t> keys;
    std::vector<std::uint32_t> lines;
    keys.swap(m_keys);
    lines.swap(m_slotLines);
    const size_t capacity = keys.empty() ? 64 : keys.size() * 2;
    m_keys.assign(capacity, 0);
    m_slotLines.assign(capacity, 0);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == 0)
            continue;
        const size_t slot = slotOf(keys[i]);
        m_keys[slot] = keys[i];
        m_slotLines[slot] = lines[i];
    }
}

void OptOutList::appendLine(std::uint32_t begin, std::uint32_t length) {
    const auto index = static_cast<std::uint32_t>(m_lines.size());
    m_lines.push_back({begin, length, 0, 0, false, Kind::Other});
    Line& line = m_lines.back();
    const std::string_view text = Trimmed(lineText(line));
    if (text.empty() || text.front() == '#')
        return;  // a blank line or a note
    // The number field as it stands, then read in its other forms, then its first word.
    const std::string_view field = NumberField(text);
    std::string_view literal = IsDigitRun(field) ? field : std::string_view();
    std::optional<std::string> read;
    if (literal.empty()) {
        read = ListedNumberOf(field);
        const std::string_view word = FirstWord(field);
        if (!read && IsDigitRun(word))
            literal = word;
        else if (!read && word.size() < field.size())
            read = ListedNumberOf(word);
    }
    if (literal.empty() && !read) {
        line.kind = Kind::Unreadable;
        ++m_unreadable;
        return;
    }
    if (read) {
        line.numberRead = true;
        line.numberAt = static_cast<std::uint32_t>(m_numbers.size());
        line.numberLength = static_cast<std::uint8_t>(read->size());
        m_numbers += *read;
    } else {
        line.numberAt = static_cast<std::uint32_t>(literal.data() - m_text.data());
        line.numberLength = static_cast<std::uint8_t>(literal.size());
    }
    const std::string_view number = numberOf(line);
    if ((m_used + 1) * 2 > m_keys.size())
        growIndex();
    const std::uint64_t key = KeyOf(number);
    const size_t slot = slotOf(key);
    if (m_keys[slot] == key && m_lines[m_slotLines[slot]].kind == Kind::Entry) {
        m_lines.back().kind = Kind::Dropped;  // listed above already
        return;
    }
    if (m_keys[slot] == 0)
        ++m_used;
    m_keys[slot] = key;
    m_slotLines[slot] = index;
    m_lines.back().kind = Kind::Entry;
    ++m_count;
}

std::optional<std::uint32_t> OptOutList::lineOf(std::string_view number) const {
    number = Trimmed(number);
    if (m_keys.empty() || !IsDigitRun(number))
        return std::nullopt;
    const std::uint64_t key = KeyOf(number);
    const size_t slot = slotOf(key);
    if (m_keys[slot] != key || m_lines[m_slotLines[slot]].kind != Kind::Entry)
        return std::nullopt;
    return m_slotLines[slot];
}

bool OptOutList::contains(std::string_view number) const {
    return lineOf(number).has_value();
}

std::vector<OptOutList::Entry> OptOutList::entries() const {
    std::vector<Entry> out;
    out.reserve(m_count);
    for (const Line& line : m_lines) {
        if (line.kind != Kind::Entry)
            continue;
        const std::string_view text = lineText(line);
        out.push_back({numberOf(line), Field(text, 1), Field(text, 2)});
    }
    return out;
}

bool OptOutList::add(std::string_view number, std::string_view date, OptOutSource source) {
    number = Trimmed(number);
    if (!ok() || !IsDigitRun(number) || contains(number))
        return false;
    std::string line(number);
    line += '\t';
    line += date;
    line += '\t';
    line += OptOutSourceText(source);
    const auto begin = static_cast<std::uint32_t>(m_text.size());
    m_text += line;
    appendLine(begin, static_cast<std::uint32_t>(line.size()));
    return true;
}

bool OptOutList::remove(std::string_view number) {
    const std::optional<std::uint32_t> line = lineOf(number);
    if (!line)
        return false;
    m_lines[*line].kind = Kind::Dropped;
    --m_count;
    return true;
}

std::string OptOutList::toBytes() const {
    std::string out;
    out.reserve(m_text.size() + m_lines.size() * 2);
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Dropped)
            continue;
        out += lineText(line);
        out += "\r\n";
    }
    // A first line in GBK can begin with the bytes of a UTF-8 mark ("锘" and a character led
    // by 0xBF, as a marked file misread once leaves it); written as it is, the file would be
    // read back as UTF-8 and every Chinese byte in it garbled. A blank line in front keeps it
    // GBK and reads as nothing.
    if (out.starts_with("\xEF\xBB\xBF"))
        out.insert(0, "\r\n");
    return out;
}

std::string OptOutList::errorMessage() const {
    const std::string where = m_path.empty() ? std::string() : G("：") + Utf8ToGbk(m_path);
    switch (m_state) {
        case OptOutState::Ok:
            return {};
        case OptOutState::Unreadable:
            return G("退订名单OptOut.txt无法读取（不是普通文件或没有读取权限），请检查") + where;
        case OptOutState::NotGbk:
            return G("退订名单OptOut.txt不是GBK编码的文本文件，请检查") + where;
        case OptOutState::TooLarge:
            return G("退订名单OptOut.txt超过64MB，请检查") + where;
    }
    return {};
}

// ---- changes ------------------------------------------------------------------------------

namespace {

template <typename Change>
OptOutChange ChangeFile(const std::string& path, const std::vector<std::string>& numbers,
                        Change change) {
    OptOutChange result;
    ListLock lock;
    result.error = lock.take(path);
    if (!result.error.empty())
        return result;
    OptOutList list = OptOutList::Load(path);
    result.state = list.state();
    if (!list.ok()) {
        result.error = list.errorMessage();
        return result;
    }
    for (const std::string& text : numbers) {
        if (!OptOutNumber(text))
            ++result.invalid;
        else if (change(list, text))
            ++result.changed;
        else
            ++result.unchanged;
    }
    if (result.changed == 0)
        return result;
    const std::string bytes = list.toBytes();
    if (bytes.size() > kMaxOptOutFileBytes) {
        result.error = G("退订名单将超过64MB（约200万个号码），无法再加入号码，本次未保存");
        result.changed = 0;
    } else if (!WriteFileAtomically(path, bytes)) {
        result.error = WriteFailure(path);
        result.changed = 0;
    }
    return result;
}

}  // namespace

OptOutChange AddToOptOutFile(const std::string& path, const std::vector<std::string>& numbers,
                             OptOutSource source, const std::string& date) {
    return ChangeFile(path, numbers, [&](OptOutList& list, const std::string& number) {
        return list.add(number, date, source);
    });
}

OptOutChange RemoveFromOptOutFile(const std::string& path,
                                  const std::vector<std::string>& numbers) {
    return ChangeFile(path, numbers, [](OptOutList& list, const std::string& number) {
        return list.remove(number);
    });
}

std::string OptOutExportBytes(const OptOutList& list) {
    std::string out;
    for (const OptOutList::Entry& e : list.entries()) {
        out += e.number;
        out += '\t';
        out += e.date;
        out += '\t';
        out += e.source;
        out += "\r\n";
    }
    return out;
}

OptOutImport ImportIntoOptOutFile(const std::string& listPath, const std::string& textPath,
                                  const std::string& date) {
    OptOutImport result;
    RawRead read = ReadBounded(textPath, kMaxOptOutImportBytes);
    if (read.state == OptOutState::TooLarge) {
        result.error = G("文件过大（超过64MB），无法导入：") + Utf8ToGbk(textPath);
        return result;
    }
    if (read.state != OptOutState::Ok || ::access(textPath.c_str(), F_OK) != 0) {
        result.error = G("文件无法读取：") + Utf8ToGbk(textPath);
        return result;
    }
    // Every mobile number the file names, as the common reader finds them ("+86 139-1234-5678"
    // too), each once; "Unicode" and marked UTF-8 files are read as the text they hold.
    const std::vector<std::string> numbers =
        FindNumbersByLine(TextFileBytesAsGbk(std::move(read.bytes))).numbers;
    result.found = static_cast<int>(numbers.size());
    result.change = AddToOptOutFile(listPath, numbers, OptOutSource::Import, date);
    result.error = result.change.error;
    return result;
}

// ---- sending ------------------------------------------------------------------------------

namespace {

template <typename Keep>
int Walk(const OptOutList& list, const std::vector<std::string>& entries, bool verificationOn,
         const std::string& verificationNumber, Keep keep) {
    const std::string_view verification = Trimmed(verificationNumber);
    int skipped = 0;
    const auto one = [&](const std::string& entry) {
        const bool copy = verificationOn && entry == verification;
        if (!copy && list.contains(entry))
            ++skipped;
        else
            keep(entry);
    };
    for (const std::string& entry : entries) {
        if (!HoldsNumberSeparator(entry)) {
            one(entry);
            continue;
        }
        for (const std::string& piece : NumbersOfEntry(entry))
            one(piece);
    }
    return skipped;
}

}  // namespace

OptOutFilter FilterOptOut(const OptOutList& list, const std::vector<std::string>& entries,
                          bool verificationOn, const std::string& verificationNumber) {
    OptOutFilter filter;
    filter.kept.reserve(entries.size());
    filter.skipped = Walk(list, entries, verificationOn, verificationNumber,
                          [&](const std::string& entry) { filter.kept.push_back(entry); });
    return filter;
}

int CountOptOut(const OptOutList& list, const std::vector<std::string>& entries,
                bool verificationOn, const std::string& verificationNumber) {
    return Walk(list, entries, verificationOn, verificationNumber, [](const std::string&) {});
}

std::string OptOutSendRefusalMessage(OptOutSendRefusal refusal) {
    switch (refusal) {
        case OptOutSendRefusal::None:
            return {};
        case OptOutSendRefusal::ListUnreadable:
            return G("退订名单无法读取，请检查OptOut.txt");
        case OptOutSendRefusal::AllListed:
            return G("发送对象均在退订名单中，未发送");
    }
    return {};
}

std::string OptOutUnreadableText(std::size_t lines) {
    return std::to_string(lines) + G("行无法识别");
}

std::string OptOutSkippedText(int skipped) {
    return G("已跳过") + std::to_string(skipped) + G("个退订号码");
}

std::string WithOptOutSkipped(const std::string& gbkMessage, int skipped) {
    return skipped > 0 ? gbkMessage + "\r" + OptOutSkippedText(skipped) : gbkMessage;
}

OptOutSendPlan PlanOptOutSend(const std::string& listPath, const std::vector<std::string>& entries,
                              bool verificationOn, const std::string& verificationNumber) {
    OptOutSendPlan plan;
    const OptOutList list = OptOutList::Load(listPath);
    if (!list.ok()) {
        plan.refusal = OptOutSendRefusal::ListUnreadable;
        plan.listError = list.errorMessage();
        return plan;
    }
    OptOutFilter filter = FilterOptOut(list, entries, verificationOn, verificationNumber);
    plan.skipped = filter.skipped;
    plan.entries = std::move(filter.kept);
    if (plan.entries.empty() && !entries.empty())
        plan.refusal = OptOutSendRefusal::AllListed;
    return plan;
}

}  // namespace smsc
