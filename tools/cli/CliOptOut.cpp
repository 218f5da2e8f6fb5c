#include "tools/cli/CliOptOut.h"

#include <ostream>

#include "optout/OptOutKeywords.h"
#include "optout/OptOutList.h"
#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "records/RecordAnswers.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliRecipients.h"
#include "tools/cli/CliRecords.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

constexpr const char* kActions = "list、add、remove、import、export 或 sync";

std::string Terminal(const std::string& gbk) {
    return TerminalFromGbk(gbk);
}

// "新增N个退订号码", and how many were listed already.
std::string Added(const OptOutChange& change) {
    std::string text = "新增" + std::to_string(change.changed) + "个退订号码";
    if (change.unchanged > 0)
        text += "，" + std::to_string(change.unchanged) + "个号码已在退订名单中";
    return text;
}

class OptOutCommand final {
public:
    OptOutCommand(const CliOptions& o, const std::string& dataDir, const CliSession* session,
                  std::ostream& out, std::ostream& err)
        : m_o(o),
          m_path(OptOutPathIn(dataDir)),
          m_dataDir(dataDir),
          m_session(session),
          m_out(out),
          m_err(err) {}

    int run() {
        const std::string& action = m_o.optOutArgs.front();
        const std::vector<std::string> args(m_o.optOutArgs.begin() + 1, m_o.optOutArgs.end());
        if (action == "list")
            return list();
        if (action == "add")
            return changed(AddToOptOutFile(m_path, trimmed(args), OptOutSource::Manual), true);
        if (action == "remove")
            return changed(RemoveFromOptOutFile(m_path, trimmed(args)), false);
        if (action == "import")
            return importFile(args.front());
        if (action == "export")
            return exportFile(args.front());
        return sync();
    }

private:
    static std::vector<std::string> trimmed(const std::vector<std::string>& args) {
        std::vector<std::string> numbers;
        for (const std::string& arg : args)
            numbers.push_back(ReadTypedNumber(Utf8ToGbk(arg)).value_or(TrimBlanks(arg)));
        return numbers;
    }
    // A list that cannot be read or written: the core's message, exit code 2.
    int fileError(const std::string& gbk) {
        m_err << "smsclient-cli: " << Terminal(gbk) << "\n";
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

    int list() {
        const OptOutList list = OptOutList::Load(m_path);
        if (!list.ok())
            return fileError(list.errorMessage());
        std::string lines;
        for (const OptOutList::Entry& e : list.entries()) {
            lines += std::string(e.number) + '\t' + Terminal(std::string(e.date)) + '\t' +
                     Terminal(std::string(e.source)) + '\n';
            if (lines.size() > 1u << 20) {  // a list of a million numbers goes out in parts
                m_out << lines;
                lines.clear();
            }
        }
        m_out << lines;
        if (list.unreadableLines() > 0)
            m_err << Terminal(OptOutUnreadableText(list.unreadableLines())) << "\n";
        return flushed();
    }

    int changed(const OptOutChange& change, bool adding) {
        if (change.failed())
            return fileError(change.error);
        if (adding) {
            m_out << Added(change) << "\n";
        } else {
            m_out << "移除" << change.changed << "个退订号码";
            if (change.unchanged > 0)
                m_out << "，" << change.unchanged << "个号码不在退订名单中";
            m_out << "\n";
        }
        return flushed();
    }

    int importFile(const std::string& file) {
        const OptOutImport import = ImportIntoOptOutFile(m_path, file);
        if (!import.error.empty())
            return fileError(import.error);
        if (import.found == 0) {
            m_err << "文件中没有找到手机号码：" << file << "\n";
            return kExitRefused;
        }
        m_out << Added(import.change) << "\n";
        return flushed();
    }

    int exportFile(const std::string& file) {
        const OptOutList list = OptOutList::Load(m_path);
        if (!list.ok())
            return fileError(list.errorMessage());
        if (!WriteFileAtomically(file, OptOutExportBytes(list))) {
            m_err << "smsclient-cli: 无法写入文件：" << file << "\n";
            return kExitUsage;
        }
        m_out << "导出" << list.size() << "个退订号码\n";
        return flushed();
    }

    // The replies of the range, as `replies` asks for them; the unsubscribing senders added.
    int sync() {
        const CliDate from = *ParseCliDate(*m_o.fromDate), to = *ParseCliDate(*m_o.toDate);
        const HttpResult r = QueryReceived(m_session->context, m_session->user, m_session->password,
                                           ShortDateText(from.year, from.month, from.day),
                                           ShortDateText(to.year, to.month, to.day));
        const ReceivedAnswer a = r.ok ? ParseReceivedAnswer(r.body) : ReceivedAnswer{};
        if (!r.ok || a.status == RecordStatus::Malformed) {
            m_err << Terminal(NetworkFailureMessage()) << "\n";
            return kExitUsage;
        }
        if (a.status != RecordStatus::Listed) {
            if (const auto message = RecordRefusalMessage(a.status, a.argument))
                m_err << Terminal(*message) << "\n";
            else
                m_err << "服务器返回了无法识别的应答：" << UnknownAnswerText(r.body) << "\n";
            return kExitRefused;
        }
        const OptOutSettings settings = ReadOptOutSettings(m_dataDir + "Company_Info.ini");
        const OptOutChange change = AddToOptOutFile(
            m_path, OptOutNumbersOf(a.records, settings.keywords), OptOutSource::Reply);
        return changed(change, true);
    }

    const CliOptions& m_o;
    const std::string m_path;
    const std::string m_dataDir;
    const CliSession* m_session;
    std::ostream& m_out;
    std::ostream& m_err;
};

}  // namespace

std::optional<CliOptions> FinishOptOutOptions(CliOptions options,
                                              const std::vector<std::string>& positional,
                                              std::string* error) {
    auto fail = [error](std::string message) {
        *error = std::move(message);
        return std::nullopt;
    };
    if (positional.empty())
        return fail(std::string("optout 需要一个动作：") + kActions);
    const std::string& action = positional.front();
    const size_t args = positional.size() - 1;
    if (action == "list" || action == "sync") {
        if (args > 0)
            return fail("多余的参数：" + positional[1]);
    } else if (action == "add" || action == "remove") {
        if (args == 0)
            return fail("optout " + action + " 需要至少一个号码");
        for (size_t i = 1; i < positional.size(); ++i)
            if (!ReadTypedNumber(Utf8ToGbk(positional[i])))
                return fail("号码格式错误（应为1到12位数字或手机号码）：" + positional[i]);
    } else if (action == "import" || action == "export") {
        if (args != 1)
            return fail("optout " + action + " 需要且只需要一个文件名");
    } else {
        return fail("未知的 optout 动作：" + action + "（可用 " + kActions + "）");
    }
    if (action == "sync") {
        if (!options.user)
            return fail("缺少 --user（用户名）");
        if (!options.fromDate || !options.toDate)
            return fail("optout sync 需要 --from 和 --to（日期，如 2024-01-05）");
        for (const std::string* date : {&*options.fromDate, &*options.toDate})
            if (!ParseCliDate(*date))
                return fail("日期格式错误（应为 YYYY-MM-DD）：" + *date);
    }
    options.optOutArgs = positional;
    return options;
}

bool OptOutNeedsSession(const CliOptions& options) {
    return !options.optOutArgs.empty() && options.optOutArgs.front() == "sync";
}

std::string CliDataDir(const CliOptions& options, const CliEnvironment& env) {
    std::string dataDir = options.dataDir.value_or(env.dataDir);
    if (!dataDir.empty() && dataDir.back() != '/')
        dataDir += '/';
    return dataDir;
}

int RunOptOut(const CliOptions& options, const std::string& dataDir, const CliSession* session,
              std::ostream& out, std::ostream& err) {
    return OptOutCommand(options, dataDir, session, out, err).run();
}

std::optional<int> LeaveOutOptOut(const CliOptions& options, const std::string& dataDir,
                                  CliRecipients& recipients, int* skipped, std::ostream& err) {
    *skipped = 0;
    if (options.includeOptOut) {
        // Sent to as they are, yet one entry is one number, as the plan counts them.
        recipients.entries = SplitAtNumberSeparators(recipients.entries);
        return std::nullopt;
    }
    OptOutSendPlan plan = PlanOptOutSend(OptOutPathIn(dataDir), recipients.entries,
                                         recipients.verifying, recipients.verification);
    if (plan.refusal == OptOutSendRefusal::ListUnreadable)
        err << Terminal(plan.listError) << "\n";
    if (plan.refusal != OptOutSendRefusal::None) {
        err << Terminal(OptOutSendRefusalMessage(plan.refusal)) << "\n";
        return kExitRefused;
    }
    recipients.entries = std::move(plan.entries);
    *skipped = plan.skipped;
    return std::nullopt;
}

void ReportSkipped(int skipped, std::ostream& err) {
    if (skipped > 0)
        err << Terminal(OptOutSkippedText(skipped)) << "\n";
}

}  // namespace smsc::cli
