#include "tools/demo-service/DemoPages.h"

#include "platform/Gbk.h"

#include <array>
#include <charconv>
#include <cstdio>

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

std::vector<std::string> SplitNumberString(std::string_view numbers) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= numbers.size()) {
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

std::optional<std::string> ParseServiceDate(std::string_view text) {
    std::string_view s = Trim(text);
    size_t blank = s.find_first_of(" \t");
    if (blank != std::string_view::npos)
        s = s.substr(0, blank);

    static const std::string year = G("年"), month = G("月"), day = G("日");
    std::string t(s);
    ReplaceAll(t, year, "-");
    ReplaceAll(t, month, "-");
    ReplaceAll(t, day, "");

    std::vector<std::string_view> groups;
    std::string separators;
    std::string_view rest = t;
    while (true) {
        size_t end = rest.find_first_not_of("0123456789");
        std::string_view group = rest.substr(0, end);
        if (group.empty() || group.size() > 4)
            return std::nullopt;
        groups.push_back(group);
        if (end == std::string_view::npos)
            break;
        char sep = rest[end];
        if (sep != '-' && sep != '/' && sep != '.')
            return std::nullopt;
        separators += sep;
        rest = rest.substr(end + 1);
        if (groups.size() == 3)
            return std::nullopt;  // something after the third number
    }
    if (groups.size() != 3)
        return std::nullopt;

    int n[3];
    for (int i = 0; i < 3; ++i)
        n[i] = static_cast<int>(*ToNumber(groups[static_cast<size_t>(i)]));
    int y, m, d;
    if (groups[0].size() == 4) {
        y = n[0], m = n[1], d = n[2];
    } else if (groups[2].size() == 4 || groups[2].size() == 2) {
        y = groups[2].size() == 2 ? 2000 + n[2] : n[2];
        bool dayFirst = separators[0] == '.' || n[0] > 12;
        d = dayFirst ? n[0] : n[1];
        m = dayFirst ? n[1] : n[0];
    } else {
        return std::nullopt;
    }
    if (y < 1900 || y > 2999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return std::nullopt;
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
    // characters (the client trims them off the end of a body) and no "|".
    int length = GbkCharCount(*newPassword);
    if (length == 0 || length > kMaxPasswordChars)
        return Answer("4");
    for (char c : *newPassword)
        if (IsBlank(c) || c == '|' || c == 0x7F)
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
    // A date that cannot be read leaves that side of the range open.
    auto messages = m_store.received(*user, ParseServiceDate(*start).value_or(""),
                                     ParseServiceDate(*end).value_or(""));
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
