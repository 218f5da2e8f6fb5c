#include "tools/cli/CliRecords.h"

#include <charconv>
#include <ostream>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "records/RecordAnswers.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

struct Date {
    int year = 0, month = 0, day = 0;
};

// "YYYY-MM-DD", a real calendar day.
std::optional<Date> ParseDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    auto number = [&](size_t at, size_t length, int* value) {
        const char* begin = text.data() + at;
        auto [end, ec] = std::from_chars(begin, begin + length, *value);
        return ec == std::errc() && end == begin + length;
    };
    Date d;
    if (!number(0, 4, &d.year) || !number(5, 2, &d.month) || !number(8, 2, &d.day))
        return std::nullopt;
    if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1)
        return std::nullopt;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.day > days[d.month - 1] + (d.month == 2 && leap ? 1 : 0))
        return std::nullopt;
    return d;
}

// One cell of a tab-separated line: line breaks and tabs inside become spaces.
std::string Cell(const std::string& gbk) {
    std::string text = TerminalFromGbk(gbk);
    for (char& c : text)
        if (c == '\n' || c == '\t')
            c = ' ';
    return text;
}

class RecordCommand final {
public:
    RecordCommand(const CliOptions& o, const CliSession& s, std::ostream& out, std::ostream& err)
        : m_o(o), m_s(s), m_out(out), m_err(err) {}

    int run() {
        switch (m_o.command) {
            case Command::Replies:
                return replies();
            case Command::Records:
                return records();
            case Command::Numbers:
                return numbers();
            case Command::DownloadMms:
                return downloadMms();
            default:
                return kExitUsage;
        }
    }

private:
    int networkFailure() {
        m_err << TerminalFromGbk(NetworkFailureMessage()) << "\n";
        return kExitUsage;
    }
    int refuse(const std::string& gbk) {
        m_err << TerminalFromGbk(gbk) << "\n";
        return kExitRefused;
    }
    // Everything but a listing: the refusal messages of the pages, exit codes as balance.
    int notListed(RecordStatus status, const std::string& argument, const std::string& answer) {
        if (status == RecordStatus::Malformed)
            return networkFailure();
        if (const auto message = RecordRefusalMessage(status, argument))
            return refuse(*message);
        constexpr size_t kShown = 200;
        m_err << "服务器返回了无法识别的应答：\"" << Cell(answer.substr(0, kShown))
              << (answer.size() > kShown ? "…\"" : "\"") << "\n";
        return kExitRefused;
    }
    // The listing stopped at the most the service can list; the rest of the answer unread.
    int overLimit(const std::string& gbk) {
        m_err << TerminalFromGbk(gbk) << "\n";
        return kExitUsage;
    }
    int flushed() {
        m_out << std::flush;
        if (!m_out) {
            m_err << "smsclient-cli: 标准输出写入失败\n";
            return kExitUsage;
        }
        return kExitOk;
    }

    int replies() {
        const Date from = *ParseDate(*m_o.fromDate), to = *ParseDate(*m_o.toDate);
        const HttpResult r = QueryReceived(m_s.context, m_s.user, m_s.password,
                                           ShortDateText(from.year, from.month, from.day),
                                           ShortDateText(to.year, to.month, to.day));
        if (!r.ok)
            return networkFailure();
        const ReceivedAnswer a = ParseReceivedAnswer(r.body);
        if (a.status != RecordStatus::Listed)
            return notListed(a.status, a.argument, r.body);
        std::string lines;
        for (const ReceivedRecord& rec : a.records)
            lines += Cell(rec.time) + '\t' + Cell(rec.number) + '\t' + Cell(rec.text) + '\n';
        m_out << lines;
        const int code = flushed();
        return a.overLimit ? overLimit(RecordOverLimitMessage(kMaxReceivedRecords)) : code;
    }

    // The latest send records; false after the failure was reported (*code set).
    bool sendRecords(SendRecordsAnswer* answer, int* code) {
        const HttpResult r = QueryConsumerLog(m_s.context, m_s.user, m_s.password);
        if (!r.ok) {
            *code = networkFailure();
            return false;
        }
        *answer = ParseSendRecordsAnswer(r.body);
        if (answer->status != RecordStatus::Listed) {
            *code = notListed(answer->status, answer->argument, r.body);
            return false;
        }
        return true;
    }

    int records() {
        SendRecordsAnswer a;
        int code = kExitOk;
        if (!sendRecords(&a, &code))
            return code;
        std::string lines;
        for (const SendRecord& rec : a.records) {
            if (a.truncated && &rec == &a.records.back())
                break;
            for (const std::string* field :
                 {&rec.id, &rec.count, &rec.text, &rec.state, &rec.type, &rec.mmsFile, &rec.time})
                lines += Cell(*field) + (field == &rec.time ? '\n' : '\t');
        }
        m_out << lines;
        code = flushed();
        // A record with fewer than seven fields ends the listing as on the page.
        if (a.truncated)
            return networkFailure();
        return a.overLimit ? overLimit(RecordOverLimitMessage(kMaxSendRecords)) : code;
    }

    int numbers() {
        const HttpResult r = QueryNumberList(m_s.context, m_s.user, m_s.password, m_id);
        if (!r.ok)
            return networkFailure();
        const NumberListAnswer a = ParseNumberListAnswer(r.body);
        if (a.status != RecordStatus::Listed)
            return notListed(a.status, a.argument, r.body);
        std::string lines;
        for (const std::string& n : a.numbers)
            lines += Cell(n) + '\n';
        m_out << lines;
        const int code = flushed();
        return a.overLimit ? overLimit(NumbersOverLimitMessage()) : code;
    }

    int downloadMms() {
        if (m_s.context.endpoints.downloadUrl.empty()) {
            m_err
                << "smsclient-cli: 没有彩信下载地址：数据目录中 Company_Info.ini 的 [Service_Url] "
                   "Download_Url 为空或文件不存在；请用 --download-url 或 --data-dir 指定\n";
            return kExitUsage;
        }
        SendRecordsAnswer a;
        int code = kExitOk;
        if (!sendRecords(&a, &code))
            return code;
        const SendRecord* found = nullptr;
        for (const SendRecord& rec : a.records)
            if (rec.id == m_id && !(a.truncated && &rec == &a.records.back()))
                found = &rec;
        if (!found) {
            m_err << "最近500条发送记录中没有ID为" << *m_o.id << "的记录\n";
            return kExitRefused;
        }
        if (!IsMmsRecord(*found))
            return refuse(G("该信息为短信文字信息，不是彩信，无法下载！"));
        if (MmsSaveName(found->mmsFile).empty())
            return refuse(G("保存彩信文件失败"));
        if (!IsDownloadableName(found->mmsFile))
            return refuse(G("彩信文件名不正确，无法下载"));
        const HttpResult r = DownloadFile(m_s.context, found->mmsFile);
        if (!r.ok)
            return networkFailure();
        if (r.body.empty())
            return refuse(G("保存彩信文件失败"));
        if (*m_o.output == "-") {
            m_out.write(r.body.data(), static_cast<std::streamsize>(r.body.size()));
            return flushed();
        }
        if (!WriteFileAtomically(*m_o.output, r.body)) {
            m_err << TerminalFromGbk(G("保存彩信文件失败")) << "：" << *m_o.output << "\n";
            return kExitUsage;
        }
        return kExitOk;
    }

    const CliOptions& m_o;
    const CliSession& m_s;
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_id = m_o.id ? Utf8ToGbk(*m_o.id) : std::string();
};

}  // namespace

std::optional<std::string> RecordOptionsError(const CliOptions& o) {
    const bool replies = o.command == Command::Replies;
    const bool byId = o.command == Command::Numbers || o.command == Command::DownloadMms;
    if ((o.fromDate || o.toDate) && !replies)
        return std::string("选项 --from、--to 只能用于 replies");
    if (o.id && !byId)
        return std::string("选项 --id 只能用于 numbers 和 download-mms");
    if (o.output && o.command != Command::DownloadMms)
        return std::string("选项 --output 只能用于 download-mms");
    if (o.downloadUrl && o.command != Command::DownloadMms)
        return std::string("选项 --download-url 只能用于 download-mms");
    if (replies) {
        if (!o.fromDate || !o.toDate)
            return std::string("replies 需要 --from 和 --to（日期，如 2024-01-05）");
        for (const std::string* date : {&*o.fromDate, &*o.toDate})
            if (!ParseDate(*date))
                return "日期格式错误（应为 YYYY-MM-DD）：" + *date;
    }
    if (byId) {
        if (!o.id)
            return std::string("缺少 --id（发送记录的ID）");
        const std::optional<std::string> gbk = GbkFromTerminal(*o.id);
        bool plain = gbk && !gbk->empty();
        for (char c : gbk.value_or(""))
            plain = plain && static_cast<unsigned char>(c) > 0x20 && c != '&' && c != '=';
        if (!plain)
            return "--id 不能为空，也不能含有空白、\"&\" 或 \"=\"：" + *o.id;
    }
    if (o.command == Command::DownloadMms && (!o.output || o.output->empty()))
        return std::string("download-mms 需要 --output（保存的文件名）");
    return std::nullopt;
}

std::optional<CliDate> ParseCliDate(const std::string& text) {
    const std::optional<Date> d = ParseDate(text);
    if (!d)
        return std::nullopt;
    return CliDate{d->year, d->month, d->day};
}

int RunRecordCommand(const CliOptions& options, const CliSession& session, std::ostream& out,
                     std::ostream& err) {
    return RecordCommand(options, session, out, err).run();
}

}  // namespace smsc::cli
