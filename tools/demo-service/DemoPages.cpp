#include "tools/demo-service/DemoPages.h"

#include "platform/Gbk.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace smsc::demo {
namespace {

PageAnswer Answer(std::string body) {
    return {200, std::move(body)};
}
PageAnswer HttpError(int status) {
    return {status, std::string()};
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<long long> ToNumber(std::string_view digits) {
    if (!AllDigits(digits) || digits.size() > 18)
        return std::nullopt;
    long long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

// Stored texts are free text: a separator inside one would cut the client's record apart,
// so it is broken up on the way out.
std::string RecordField(std::string text) {
    ReplaceAll(text, "[$$]", "[$ $]");
    ReplaceAll(text, "[**]", "[* *]");
    return text;
}

const FormFields::mapped_type* Field(const FormFields& fields, const char* name) {
    auto it = fields.find(name);
    return it == fields.end() ? nullptr : &it->second;
}

// Codes shared by both send pages: "8" too many numbers, "5" a malformed number (or none).
std::optional<PageAnswer> CheckNumbers(const std::vector<std::string>& numbers) {
    if (numbers.size() > kMaxNumbers)
        return Answer("8");
    if (numbers.empty())
        return Answer("5");
    for (const auto& n : numbers)
        if (!IsAcceptedNumber(n))
            return Answer("5");
    return std::nullopt;
}

// Codes "6" (empty or over 70 characters) and "9|word" for an SMS text or an MMS title.
std::optional<PageAnswer> CheckText(const std::string& text,
                                    const std::vector<std::string>& forbidden) {
    int length = MessageLength(text);
    if (length == 0 || length > kMaxMessageChars)
        return Answer("6");
    if (auto word = FindForbiddenWord(text, forbidden))
        return Answer("9|" + *word);
    return std::nullopt;
}

PageAnswer SubmitAnswer(const SubmitOutcome& outcome) {
    switch (outcome.result) {
        case SubmitResult::Accepted:
            return Answer("7|" + std::to_string(outcome.remainingQuota));
        case SubmitResult::QuotaTooLow:
            return Answer("4");
        case SubmitResult::Failed:
            break;
    }
    return HttpError(500);
}

int DaysInMonth(int year, int month) {
    static const std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[static_cast<size_t>(month - 1)];
}

// Where the value of the first field of that name starts in a form body (its end when
// there is none), found the way ParseFormBody finds fields.
size_t ValueStartOf(std::string_view body, std::string_view name) {
    for (size_t start = 0; start <= body.size();) {
        size_t amp = body.find('&', start);
        if (amp == std::string_view::npos)
            amp = body.size();
        std::string_view piece = body.substr(start, amp - start);
        size_t eq = piece.find('=');
        if (eq != std::string_view::npos && piece.substr(0, eq) == name)
            return start + eq + 1;
        start = amp + 1;
    }
    return body.size();
}

}  // namespace

FormFields ParseFormBody(std::string_view body) {
    FormFields fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        if (amp == std::string_view::npos)
            amp = body.size();
        std::string_view piece = body.substr(start, amp - start);
        size_t eq = piece.find('=');
        if (eq != std::string_view::npos)
            fields.emplace(std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
        start = amp + 1;
    }
    return fields;
}

std::vector<std::string> SplitNumberString(std::string_view numbers, size_t maxPieces) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= numbers.size() && result.size() < maxPieces) {
        size_t sep = numbers.find_first_of("|*", start);
        if (sep == std::string_view::npos)
            sep = numbers.size();
        std::string_view piece = Trim(numbers.substr(start, sep - start));
        if (!piece.empty())
            result.emplace_back(piece);
        start = sep + 1;
    }
    return result;
}

bool IsAcceptedNumber(std::string_view number) {
    return number.size() <= 12 && AllDigits(number);
}

int MessageLength(std::string_view gbk) {
    std::string stripped;
    stripped.reserve(gbk.size());
    for (char c : gbk)
        if (c != '\r' && c != '\n')
            stripped += c;
    return GbkCharCount(stripped);
}

std::optional<std::string> FindForbiddenWord(std::string_view gbk,
                                             const std::vector<std::string>& words) {
    for (const auto& word : words) {
        if (word.empty())
            continue;
        for (size_t pos = 0; pos < gbk.size(); pos += static_cast<size_t>(GbkCharBytes(gbk, pos)))
            if (gbk.compare(pos, word.size(), word) == 0)
                return word;
    }
    return std::nullopt;
}

std::optional<DateOrder> DateOrderFromFormat(std::string_view format) {
    // Positions of the first day, month and year conversions.
    size_t day = std::string_view::npos, month = day, year = day;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        size_t c = i + 1;
        while (c < format.size() && format[c] != '\0' && std::strchr("_-0^#EO", format[c]))
            ++c;  // flags and the E/O modifiers
        if (c >= format.size())
            break;
        switch (format[c]) {
            case 'D':  // %m/%d/%y
                return DateOrder::Mdy;
            case 'F':  // %Y-%m-%d
                return DateOrder::Ymd;
            case 'd':
            case 'e':
                day = std::min(day, i);
                break;
            case 'm':
            case 'b':
            case 'B':
            case 'h':
                month = std::min(month, i);
                break;
            case 'y':
            case 'Y':
                year = std::min(year, i);
                break;
            default:
                break;
        }
        i = c;
    }
    constexpr size_t none = std::string_view::npos;
    if (day == none || month == none || year == none)
        return std::nullopt;
    if (year < day && year < month)
        return DateOrder::Ymd;
    return day < month ? DateOrder::Dmy : DateOrder::Mdy;
}

std::optional<DateOrder> DateOrderNamed(std::string_view name) {
    if (name == "dmy")
        return DateOrder::Dmy;
    if (name == "mdy")
        return DateOrder::Mdy;
    if (name == "ymd")
        return DateOrder::Ymd;
    return std::nullopt;
}

const char* DateOrderName(DateOrder order) {
    switch (order) {
        case DateOrder::Dmy:
            return "dmy";
        case DateOrder::Mdy:
            return "mdy";
        case DateOrder::Ymd:
            break;
    }
    return "ymd";
}

std::optional<std::string> ParseServiceDate(std::string_view text, DateOrder order) {
    static const std::string yearMark = G("年"), monthMark = G("月"), dayMark = G("日");
    static const std::array<const char*, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    static const std::array<const char*, 12> fullMonths{
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};

    struct Part {
        int value = 0;
        size_t digits = 0;  // 0: a month name
    };
    std::string_view s = Trim(text);
    size_t pos = 0;
    auto isBlank = [&s](size_t at) { return at < s.size() && (s[at] == ' ' || s[at] == '\t'); };
    auto mark = [&s, &pos](const std::string& m) {
        if (s.substr(pos, m.size()) != m)
            return false;
        pos += m.size();
        return true;
    };

    // Three parts, each after the first led by blanks, at most one "-", "/", ".", "," or
    // Chinese mark, and blanks: "24. 1. 5.", "Jan 5, 2024", "2024年1月5日".
    std::vector<Part> parts;
    bool yearMarked = false;
    while (parts.size() < 3) {
        if (!parts.empty()) {
            size_t before = pos;
            while (isBlank(pos))
                ++pos;
            if (pos < s.size() && s[pos] != '\0' && std::strchr("-/.,", s[pos]))
                ++pos;
            else if (mark(yearMark))
                yearMarked = parts.size() == 1;
            else
                mark(monthMark);
            while (isBlank(pos))
                ++pos;
            if (pos == before)
                return std::nullopt;
        }
        size_t end = pos;
        while (end < s.size() && s[end] >= '0' && s[end] <= '9')
            ++end;
        if (end > pos) {
            size_t digits = end - pos;
            if (digits == 3 || digits > 4)
                return std::nullopt;
            parts.push_back({static_cast<int>(*ToNumber(s.substr(pos, digits))), digits});
            pos = end;
            continue;
        }
        while (end < s.size() && std::isalpha(static_cast<unsigned char>(s[end])))
            ++end;
        std::string word(s.substr(pos, end - pos));
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        int month = 0;
        for (size_t m = 0; m < months.size() && word.size() >= 3; ++m)
            if (word == months[m] || word == fullMonths[m] || (m == 8 && word == "sept"))
                month = static_cast<int>(m) + 1;
        if (month == 0)
            return std::nullopt;
        parts.push_back({month, 0});
        pos = end;
    }
    // A closing "." or "日", then the end or a blank before a time.
    if (pos < s.size() && s[pos] == '.')
        ++pos;
    else
        mark(dayMark);
    if (pos < s.size() && !isBlank(pos))
        return std::nullopt;

    auto yearOf = [](const Part& p) {
        return p.digits == 4 ? p.value : p.digits == 2 ? 2000 + p.value : -1;
    };
    int y = 0, m = 0, d = 0;
    bool swappable = false;  // day and month may be the other way round
    size_t names = 0, nameAt = 0;
    for (size_t i = 0; i < 3; ++i)
        if (parts[i].digits == 0)
            ++names, nameAt = i;
    if (names > 1)
        return std::nullopt;
    if (names == 1) {
        // The month is named; of the other two the four-digit one, or else the last, is
        // the year: "5 Jan 2024", "Jan 5, 2024", "2024 Jan 5", "05-Jan-24".
        std::vector<Part> numbers;
        for (size_t i = 0; i < 3; ++i)
            if (i != nameAt)
                numbers.push_back(parts[i]);
        bool yearFirst = numbers[0].digits == 4;
        m = parts[nameAt].value;
        y = yearOf(numbers[yearFirst ? 0 : 1]);
        d = numbers[yearFirst ? 1 : 0].value;
    } else if (yearMarked || parts[0].digits == 4) {
        y = yearOf(parts[0]), m = parts[1].value, d = parts[2].value;
    } else if (parts[2].digits == 4 || order != DateOrder::Ymd) {
        bool monthFirst = order == DateOrder::Mdy;
        y = yearOf(parts[2]);
        m = parts[monthFirst ? 0 : 1].value;
        d = parts[monthFirst ? 1 : 0].value;
        swappable = true;
    } else {
        y = yearOf(parts[0]), m = parts[1].value, d = parts[2].value;
    }
    auto valid = [&y](int month, int day) {
        return y >= 1900 && y <= 2999 && month >= 1 && month <= 12 && day >= 1 &&
               day <= DaysInMonth(y, month);
    };
    if (!valid(m, d)) {
        if (!swappable || !valid(d, m))
            return std::nullopt;
        std::swap(m, d);
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
    return std::string(buffer);
}

std::optional<std::string> MmsExtension(std::string_view fileName) {
    // Walk by characters: a trail byte of a Chinese character may equal "\".
    size_t nameStart = 0, dot = std::string_view::npos;
    for (size_t pos = 0; pos < fileName.size();) {
        int bytes = GbkCharBytes(fileName, pos);
        if (bytes == 1) {
            char c = fileName[pos];
            if (c == '\\' || c == '/') {
                nameStart = pos + 1;
                dot = std::string_view::npos;
            } else if (c == '.') {
                dot = pos;
            }
        }
        pos += static_cast<size_t>(bytes);
    }
    if (dot == std::string_view::npos || dot < nameStart)
        return std::nullopt;
    std::string ext(fileName.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    static const std::array<const char*, 17> allowed{"txt", "jpg", "gif", "bmp", "png", "amr",
                                                     "mp3", "mid", "mmf", "aac", "mfm", "adp",
                                                     "3gp", "jar", "jad", "sis", "emm"};
    for (const char* a : allowed)
        if (ext == a)
            return ext;
    return std::nullopt;
}

int MmsCostFromNotice(std::string_view notice) {
    size_t start = 0;
    while (start < notice.size()) {
        size_t end = notice.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = notice.size();
        std::string_view line = notice.substr(start, end - start);
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && Trim(line.substr(0, eq)) == "mmstosms") {
            auto value = ToNumber(Trim(line.substr(eq + 1)));
            return value && *value <= 100000 ? static_cast<int>(*value) : kDefaultMmsCost;
        }
        start = end + 1;
    }
    return kDefaultMmsCost;
}

std::string BuiltInNotice() {
    return G(
        "Version=6.8\r\n"
        "mmstosms=5\r\n"
        "Service=短信彩信群发演示服务\r\n"
        "Notice=欢迎使用短信彩信群发客户端。当前连接的是本机演示服务，信息不会真正发出。|"
        "演示帐号：demo，密码：demo，初始余额10000条。\r\n");
}

std::vector<std::string> ParseForbiddenWords(std::string_view utf8List) {
    std::string list(utf8List);
    ReplaceAll(list, "，", ",");
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string_view word = Trim(std::string_view(list).substr(start, comma - start));
        if (!word.empty())
            words.push_back(Utf8ToGbk(word));
        start = comma + 1;
    }
    return words;
}

std::string ForbiddenWordsProblem(std::string_view utf8List) {
    std::string list(utf8List);
    ReplaceAll(list, "，", ",");
    for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string_view word = Trim(std::string_view(list).substr(start, comma - start));
        start = comma + 1;
        const std::string gbk = Utf8ToGbk(word);
        const std::string quoted = "\"" + std::string(word) + "\"";
        if (GbkToUtf8(gbk) != word)
            return "forbidden word " + quoted + " cannot be written in GBK";
        for (size_t pos = 0; pos < gbk.size(); pos += static_cast<size_t>(GbkCharBytes(gbk, pos)))
            if (gbk[pos] == '|' || (GbkCharBytes(gbk, pos) == 2 && gbk[pos + 1] == '|'))
                return "forbidden word " + quoted +
                       " holds \"|\" (0x7C, also the second byte of some Chinese characters "
                       "such as \"東\" or \"億\"); the client cuts the answer \"9|word\" at "
                       "every \"|\" and would show the word cut short";
    }
    return {};
}

std::vector<std::string> NoticeFileWarnings(std::string_view notice) {
    std::vector<std::string> warnings;
    if (Utf8ToGbk(GbkToUtf8(notice)) != notice)
        warnings.push_back(
            "the notice file is not valid GBK text; the client will show broken characters");
    // The client's reading: the body trimmed, then lines at CR, LF or CR LF.
    std::string_view body = Trim(notice);
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < body.size() && lines.size() < 4;) {
        size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = body.size();
        lines.push_back(body.substr(start, end - start));
        start = end + (body.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (lines.size() < 4)
        warnings.push_back(
            "the notice file has fewer than 4 lines; the client shows the "
            "value of the 4th line as the notice and stops without it");
    else if (lines[3].rfind("Notice=", 0) != 0)
        warnings.push_back(
            "line 4 of the notice file does not start with \"Notice=\"; the "
            "client shows the value of the 4th line as the notice whatever its "
            "name");
    return warnings;
}

DemoPages::DemoPages(DemoStore& store, PageSettings settings)
    : m_store(store), m_settings(std::move(settings)) {}

std::optional<PageAnswer> DemoPages::refusal(const std::string& user, const std::string& password,
                                             Account* admitted) {
    bool failed = false;
    auto account = m_store.account(user, &failed);
    if (failed)
        return HttpError(500);
    if (!account || account->password != password)
        return Answer("1");
    if (!account->enabled)
        return Answer("2");
    if (admitted)
        *admitted = *account;
    return std::nullopt;
}

PageAnswer DemoPages::login(std::string_view body) {
    FormFields f = ParseFormBody(body);
    auto user = Field(f, "username"), password = Field(f, "password");
    if (!user || !password)
        return HttpError(400);
    Account account;
    if (auto refused = refusal(*user, *password, &account))
        return *refused;
    return Answer("3|" + std::to_string(account.quota));
}

PageAnswer DemoPages::changePassword(std::string_view body) {
    FormFields f = ParseFormBody(body);
    auto user = Field(f, "username"), password = Field(f, "password"),
         newPassword = Field(f, "newpassword");
    if (!user || !password || !newPassword)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    // A password must survive the form post and the answer framing: no blanks or control
    // characters (the client trims them off the end of a body), no "|", no "&" and, with
    // it, no "=". The form cuts a value at "&" while send1.asp gets the password raw in a
    // multipart part: the account could log in but never send. The client writes the new
    // password last, so the whole rest of the body is what was typed (a line break in it
    // arrives as "&" too).
    std::string_view typed = body.substr(ValueStartOf(body, "newpassword"));
    int length = GbkCharCount(*newPassword);
    if (length == 0 || length > kMaxPasswordChars)
        return Answer("4");
    for (char c : typed)
        if (IsBlank(c) || c == '|' || c == 0x7F || c == '&' || c == '=')
            return Answer("4");
    if (!m_store.setPassword(*user, *newPassword))
        return HttpError(500);
    return Answer("5");
}

PageAnswer DemoPages::sendSms(const std::map<std::string, std::string>& fields) {
    auto user = Field(fields, "username"), password = Field(fields, "password"),
         numberText = Field(fields, "smsnumber"), content = Field(fields, "smscontent");
    if (!user || !password || !numberText || !content)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    std::vector<std::string> numbers = SplitNumberString(*numberText);
    if (auto bad = CheckNumbers(numbers))
        return *bad;
    if (auto bad = CheckText(*content, m_settings.forbiddenWords))
        return *bad;

    NewSubmission s;
    s.user = *user;
    s.kind = SubmissionKind::Sms;
    s.content = *content;
    s.numbers = std::move(numbers);
    s.time = LocalTimeText();
    long long cost = static_cast<long long>(s.numbers.size());
    return SubmitAnswer(m_store.submit(s, cost));
}

PageAnswer DemoPages::sendMms(const std::map<std::string, std::string>& fields,
                              const std::optional<UploadedFile>& file) {
    auto user = Field(fields, "username"), password = Field(fields, "password"),
         numberText = Field(fields, "mms_num"), title = Field(fields, "mmstitle");
    if (!user || !password || !numberText || !title)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    if (!m_store.mmsOpen())
        return Answer("10");
    std::vector<std::string> numbers = SplitNumberString(*numberText);
    if (auto bad = CheckNumbers(numbers))
        return *bad;
    if (auto bad = CheckText(*title, m_settings.forbiddenWords))
        return *bad;
    if (!file || file->bytes.empty())
        return Answer("11");
    auto extension = MmsExtension(file->fileName);
    if (!extension)
        return Answer("12");
    if (file->bytes.size() > kMaxMmsBytes)
        return Answer("13");

    NewSubmission s;
    s.user = *user;
    s.kind = SubmissionKind::Mms;
    s.content = *title;
    s.numbers = std::move(numbers);
    s.mmsExtension = *extension;
    s.mmsData = file->bytes;
    s.time = LocalTimeText();
    long long cost = static_cast<long long>(s.numbers.size()) * m_settings.mmsCost;
    return SubmitAnswer(m_store.submit(s, cost));
}

PageAnswer DemoPages::receive(std::string_view body) {
    FormFields f = ParseFormBody(body);
    auto user = Field(f, "username"), password = Field(f, "password"), start = Field(f, "startime"),
         end = Field(f, "endtime");
    if (!user || !password || !start || !end)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    // A date that cannot be read gives no record: none of the page's codes says "bad
    // date", and an open range would pass for an answer to the range asked.
    auto from = ParseServiceDate(*start, m_settings.dateOrder),
         to = ParseServiceDate(*end, m_settings.dateOrder);
    if (!from || !to)
        return Answer("4|");
    auto messages = m_store.received(*user, *from, *to);
    if (!messages)
        return HttpError(500);
    std::string answer = "4|";
    for (const auto& m : *messages) {
        std::string text = m.text;
        ReplaceAll(text, "[$$]", "[$ $]");
        answer += m.sender + "*" + m.time + "^" + text + "[$$]";
    }
    return Answer(std::move(answer));
}

PageAnswer DemoPages::consumerLog(std::string_view body) {
    FormFields f = ParseFormBody(body);
    auto user = Field(f, "username"), password = Field(f, "password");
    if (!user || !password)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    auto records = m_store.latestSubmissions(*user, kConsumerLogLimit);
    if (!records)
        return HttpError(500);
    static const std::string state = G("已提交"), sms = G("短信"), mms = G("彩信");
    std::string answer = "4|";
    for (const auto& r : *records) {
        const char* sep = "[**]";
        answer += std::to_string(r.id) + sep + std::to_string(r.numberCount) + sep +
                  RecordField(r.content) + sep + state + sep +
                  (r.kind == SubmissionKind::Mms ? mms : sms) + sep + r.mmsFile + sep + r.time +
                  "[$$]";
    }
    return Answer(std::move(answer));
}

PageAnswer DemoPages::numberList(std::string_view body) {
    FormFields f = ParseFormBody(body);
    auto user = Field(f, "username"), password = Field(f, "password"), id = Field(f, "id");
    if (!user || !password || !id)
        return HttpError(400);
    if (auto refused = refusal(*user, *password))
        return *refused;
    // An id that is not one of the user's submissions gives an empty list.
    std::string answer = "4|";
    auto number = ToNumber(Trim(*id));
    if (!number)
        return Answer(std::move(answer));
    auto numbers = m_store.submissionNumbers(*user, *number);
    if (!numbers)
        return HttpError(500);
    for (const auto& n : *numbers)
        answer += n + "|";
    return Answer(std::move(answer));
}

}  // namespace smsc::demo
