#include "tools/cli/CliText.h"

#include <filesystem>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"

namespace smsc::cli {
namespace {

// In valid UTF-8 a byte from 0xE0 up starts a three- or four-byte sequence (Chinese text).
// Two-byte sequences alone are no sign of UTF-8: many short GBK texts read as them
// ("小写位" is D0A1 D0B4 CEBB, which is also valid UTF-8 for "Сдλ").
bool hasLongUtf8Sequence(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0xE0)
            return true;
    return false;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string megabytes(size_t bytes) {
    return std::to_string(bytes / (1024 * 1024)) + "MB";
}

}  // namespace

std::optional<std::string> GbkFromTerminal(std::string_view utf8) {
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    std::string gbk = Utf8ToGbk(utf8);
    if (GbkToUtf8(gbk) != utf8)
        return std::nullopt;
    return gbk;
}

std::optional<std::string> MessageFromFileBytes(std::string_view bytes, std::string* error) {
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        *error = "不支持UTF-16编码的文件，请另存为UTF-8或GBK编码";
        return std::nullopt;
    }
    const bool bom = startsWith(bytes, "\xEF\xBB\xBF");
    if (bom)
        bytes.remove_prefix(3);
    if (bom || (hasLongUtf8Sequence(bytes) && IsValidUtf8(bytes))) {
        if (!IsValidUtf8(bytes)) {
            *error = "文件以UTF-8标记开头，但内容不是有效的UTF-8文本";
            return std::nullopt;
        }
        std::optional<std::string> gbk = GbkFromTerminal(bytes);
        if (!gbk)
            *error = "文件含有GBK编码无法表示的字符";
        return gbk;
    }
    // GBK (plain ASCII reads the same either way): every byte must belong to a character.
    if (Utf8ToGbk(GbkToUtf8(bytes)) != bytes) {
        *error = "文件既不是有效的UTF-8文本，也不是有效的GBK文本";
        return std::nullopt;
    }
    return std::string(bytes);
}

std::string TerminalFromGbk(std::string_view gbk) {
    const std::string utf8 = GbkToUtf8(gbk);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r') {
            out += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> InterleaveVerification(const std::vector<std::string>& numbers,
                                                const std::string& verificationNumber,
                                                int interval) {
    if (interval < 1)
        return numbers;
    const size_t k = static_cast<size_t>(interval);
    std::vector<std::string> entries;
    entries.reserve(numbers.size() + (numbers.size() + k - 1) / k);
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i % k == 0)
            entries.push_back(verificationNumber);
        entries.push_back(numbers[i]);
    }
    return entries;
}

std::optional<std::string> ReadInputFile(const std::string& path, size_t maxBytes,
                                         std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        *error = "文件不存在：" + path;
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        *error = "不是普通文件：" + path;
        return std::nullopt;
    }
    const auto size = fs::file_size(path, ec);
    if (!ec && size > maxBytes) {
        *error = "文件过大（超过" + megabytes(maxBytes) + "）：" + path;
        return std::nullopt;
    }
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        *error = "无法读取文件：" + path;
        return std::nullopt;
    }
    if (bytes->size() > maxBytes) {  // grew while we looked
        *error = "文件过大（超过" + megabytes(maxBytes) + "）：" + path;
        return std::nullopt;
    }
    return bytes;
}

std::string UnknownAnswerText(const std::string& answer) {
    constexpr size_t kShown = 200;
    std::string shown = TerminalFromGbk(answer.substr(0, kShown));
    for (char& c : shown)
        if (c == '\n' || c == '\t')
            c = ' ';
    return "服务器返回了无法识别的应答：\"" + shown + (answer.size() > kShown ? "…\"" : "\"");
}

}  // namespace smsc::cli
