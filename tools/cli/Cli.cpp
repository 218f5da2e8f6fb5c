#include "tools/cli/Cli.h"

#include <charconv>
#include <iterator>
#include <ostream>
#include <vector>

#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "recipients/ImportTally.h"
#include "recipients/PhoneRules.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"
#include "service/ServiceClient.h"
#include "compliance/Compliance.h"
#include "optout/OptOutList.h"
#include "tools/cli/CliCampaign.h"
#include "tools/cli/CliPassword.h"
#include "tools/cli/CliCheck.h"
#include "tools/cli/CliContacts.h"
#include "tools/cli/CliMms.h"
#include "tools/cli/CliLookup.h"
#include "tools/cli/CliOptOut.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliPlan.h"
#include "tools/cli/CliRecipients.h"
#include "tools/cli/CliRecords.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

class Runner final {
public:
    Runner(std::ostream& out, std::ostream& err, const CliEnvironment& env)
        : m_out(out), m_err(err), m_env(env) {}

    int run(const std::vector<std::string>& args) {
        std::string error;
        std::optional<CliOptions> options = ParseCliOptions(args, &error);
        if (!options)
            return usage(error);
        m_options = std::move(*options);
        switch (m_options.command) {
            case Command::Help:
                m_out << CliHelpText();
                return kExitOk;
            case Command::Extract:
                return extract();
            case Command::Lookup:
                return RunLookup(m_options,
                                 m_env.resourceDir.empty() ? m_env.dataDir : m_env.resourceDir,
                                 m_out, m_err);
            case Command::Contacts:
                return RunContacts(m_options, m_env, m_out, m_err);
            case Command::ContactsImport:
                return RunContactsImport(m_options, m_env, m_out, m_err);
            case Command::ContactsExport:
                return RunContactsExport(m_options, m_env, m_out, m_err);
            case Command::Balance:
                return prepareSession() ? balance() : kExitUsage;
            case Command::Send:
                return m_options.dryRun || prepareSession() ? send() : kExitUsage;
            case Command::SendMms:
                return m_options.dryRun || prepareSession() ? sendMms() : kExitUsage;
            case Command::OptOut:
                return optOut();
            case Command::Campaign:
                return campaign();
            case Command::Check:
                return RunCheck(m_options, m_env, m_out, m_err);
            case Command::Replies:
            case Command::Records:
            case Command::Numbers:
            case Command::DownloadMms:
                return prepareSession()
                           ? RunRecordCommand(m_options, {m_context, m_user, m_password}, m_out,
                                              m_err)
                           : kExitUsage;
        }
        return kExitUsage;
    }

private:
    int optOut() {
        if (!OptOutNeedsSession(m_options))
            return RunOptOut(m_options, CliDataDir(m_options, m_env), nullptr, m_out, m_err);
        if (!prepareSession())
            return kExitUsage;
        const CliSession session{m_context, m_user, m_password};
        return RunOptOut(m_options, CliDataDir(m_options, m_env), &session, m_out, m_err);
    }

    int usage(const std::string& message) {
        m_err << "smsclient-cli: " << message << "\n" << UsageHint() << "\n";
        return kExitUsage;
    }
    // A refusal of the window's send checks or of the service (GBK text).
    int refuse(const std::string& gbkMessage) {
        m_err << TerminalFromGbk(gbkMessage) << "\n";
        return kExitRefused;
    }

    // The line from Company_Info.ini: the first value of Create_Line, -1 (or anything but 1)
    // meaning the telecom line 0.
    int defaultLine(const std::string& companyInfo) const {
        IniFile ini(companyInfo);
        ini.reload();
        const std::string text = TrimBlanks(ini.valueAt("Create_Line", 0).value_or(""));
        int line = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), line);
        if (ec != std::errc() || end != text.data() + text.size())
            return 0;
        return line == 1 ? 1 : 0;
    }

    // Credentials and the service address; false after a usage error was reported.
    bool prepareSession() {
        std::optional<std::string> password =
            m_options.password ? m_options.password : m_env.password;
        // A campaign started by the timer has no one to type it: the password file named
        // in the settings, or the client's remembered login.
        if (!password && m_options.command == Command::Campaign) {
            StoredPassword stored =
                FindStoredPassword(*m_options.user, CliDataDir(m_options, m_env), m_env.loginStore);
            if (!stored.problem.empty()) {
                usage(stored.problem);
                return false;
            }
            password = std::move(stored.password);
        }
        if (!password) {
            usage(
                "缺少密码：请用 --password 或环境变量 SMSCLIENT_PASSWORD 给出"
                "（campaign 也可用 [Campaign] Password_File 指定的密码文件或客户端记住的密码）");
            return false;
        }
        std::optional<std::string> user = GbkFromTerminal(*m_options.user);
        if (!user) {
            usage("用户名不是有效的UTF-8文本，或含有GBK编码无法表示的字符");
            return false;
        }
        std::optional<std::string> gbkPassword = GbkFromTerminal(*password);
        if (!gbkPassword) {
            usage("密码不是有效的UTF-8文本，或含有GBK编码无法表示的字符");
            return false;
        }
        m_user = std::move(*user);
        m_password = std::move(*gbkPassword);

        std::string dataDir = m_options.dataDir.value_or(m_env.dataDir);
        if (!dataDir.empty() && dataDir.back() != '/')
            dataDir += '/';
        const std::string companyInfo = dataDir + "Company_Info.ini";
        m_context.endpoints = LoadServiceEndpoints(companyInfo);
        m_context.lineIndex = m_options.line ? *m_options.line : defaultLine(companyInfo);
        if (m_options.baseUrl)
            (m_context.lineIndex == 1 ? m_context.endpoints.netcomUrl
                                      : m_context.endpoints.telecomUrl) = *m_options.baseUrl;
        if (m_options.downloadUrl)
            m_context.endpoints.downloadUrl = *m_options.downloadUrl;
        m_context.boundaryOverride = m_env.boundary;
        m_context.readTimeoutOverride = m_env.readTimeout;
        if (m_context.baseAddress().empty()) {
            usage("没有服务地址：" + companyInfo + " 中 [Service_Url] 的" +
                  (m_context.lineIndex == 1 ? "Netcom_Url" : "Telecom_Url") +
                  "为空或文件不存在；请用 --base-url 或 --data-dir 指定");
            return false;
        }
        return true;
    }

    // A file searched for mobile numbers, as "从文本文件提取" reads it: one GBK text, or the
    // text behind a UTF-16 or UTF-8 byte-order mark.
    std::optional<std::string> readNumbersFile(const std::string& path) {
        std::string error;
        std::optional<std::string> bytes = ReadInputFile(path, kMaxNumbersFileBytes, &error);
        if (!bytes) {
            usage(error);
            return bytes;
        }
        return TextFileBytesAsGbk(std::move(*bytes));
    }

    int extract() {
        std::optional<std::string> bytes = readNumbersFile(m_options.extractFile);
        if (!bytes)
            return kExitUsage;
        const NumbersOfText found = FindNumbersByLine(*bytes);
        std::string lines;
        for (const std::string& number : found.numbers) {
            lines += number;
            lines += '\n';
        }
        m_out << lines << std::flush;
        m_err << TerminalFromGbk(ImportSummary(found.tally)) << "\n";
        if (!m_out) {
            m_err << "smsclient-cli: 无法写出号码（标准输出写入失败）\n";
            return kExitUsage;
        }
        return kExitOk;
    }

    int balance() {
        const std::string answer = Get_balance(m_context, m_user, m_password);
        if (answer == FailureAnswer()) {
            m_err << TerminalFromGbk(NetworkFailureMessage()) << "\n";
            return kExitUsage;
        }
        const std::vector<std::string> fields = SplitAnswer(answer);
        const std::string code = fields.empty() ? std::string() : fields[0];
        // A quota is digits; anything else is an answer the client does not know.
        if (code == "3" && fields.size() >= 2 && !fields[1].empty() &&
            fields[1].find_first_not_of("0123456789") == std::string::npos) {
            m_out << TerminalFromGbk(fields[1]) << "\n";
            return kExitOk;
        }
        if (code == "1")
            return refuse(G("您输入的用户名或者密码错误，请重新输入"));
        if (code == "2")
            return refuse(G("该帐户被停用"));
        if (code == "error" && fields.size() >= 2)
            return refuse(fields[1]);
        m_err << UnknownAnswerText(answer) << "\n";
        return kExitRefused;
    }

    // The recipients as the window's add actions, in option order: each --numbers-file is
    // one import ("从文本文件提取"), each run of consecutive --number options one typed batch
    // ("手工输入号码"). False after a usage error was reported.
    bool gatherNumbers(std::vector<std::vector<std::string>>& actions) {
        bool typing = false;
        for (const NumberSource& source : m_options.numbers) {
            if (!source.fromFile) {
                if (!typing)
                    actions.emplace_back();
                actions.back().push_back(source.value);
                typing = true;
                continue;
            }
            typing = false;
            std::optional<std::string> bytes = readNumbersFile(source.value);
            if (!bytes)
                return false;
            // As "从文本文件提取": every distinct mobile number, line by line, and what was
            // taken and left said on standard error.
            NumbersOfText read = FindNumbersByLine(*bytes);
            std::vector<std::string>& found = read.numbers;
            // The import's capacity test: its numbers and, with the verification option,
            // one copy per full interval.
            const size_t copies =
                m_options.verify ? found.size() / static_cast<size_t>(m_options.interval) : 0;
            if (found.size() + copies > kMaxRecipients) {
                usage(
                    "本系统每次最多只能发送三万个号码，您导入的号码过多：" + source.value +
                    "（文件中有" + std::to_string(found.size()) +
                    "个号码，超过每次3万个的上限；要全部发送，请用 smsclient-cli campaign start）");
                return false;
            }
            m_err << source.value << "：" << TerminalFromGbk(ImportSummary(read.tally)) << "\n";
            actions.push_back(std::move(found));
        }
        return true;
    }

    // The --text or --text-file message as GBK. Characters GBK cannot carry are named and
    // refused (m_textRefused), never sent as "?".
    std::optional<std::string> messageText() {
        std::string error;
        const std::optional<std::string> utf8 = MessageUtf8(m_options, &error);
        if (!utf8) {
            usage(error);
            return std::nullopt;
        }
        if (const std::vector<std::string> chars = UnsendableCharacters(*utf8); !chars.empty()) {
            m_err << UnsendableMessage("短信内容", chars) << "\n";
            m_textRefused = true;
            return std::nullopt;
        }
        return Utf8ToGbk(*utf8);
    }

    // The check before a message goes out. Its findings go to stderr when something blocks,
    // when [Compliance] is set, and always on a dry run; the report's outgoing text is what
    // the service receives.
    std::optional<ComplianceReport> checkMessage(const std::string& gbk) {
        const std::string dataDir = CliDataDir(m_options, m_env);
        const CheckContext context = CliCheckContext(m_options, dataDir);
        ComplianceReport report =
            CheckSmsGbk(gbk, context, CliComplianceLists(context, dataDir, m_err));
        if (report.blocks() || context.settings.configured || m_options.dryRun)
            PrintFindings(report, m_err);
        if (report.blocks())
            return std::nullopt;
        return report;
    }

    int send() {
        std::vector<std::vector<std::string>> actions;
        if (!gatherNumbers(actions))
            return kExitUsage;
        const std::optional<std::string> text = messageText();
        if (!text)
            return m_textRefused ? kExitRefused : kExitUsage;

        // The send checks of the SMS page, in its order; nothing goes out when one fails.
        CliRecipients recipients;
        if (std::optional<std::string> refusal = ArrangeRecipients(
                std::move(actions), m_options.verify, m_options.interval, recipients))
            return refuse(*refusal);
        const std::vector<std::string>& entries = recipients.entries;
        if (entries.size() > kMaxRecipients)
            return refuse(G("发送条数不能超过3万个"));
        if (entries.empty())
            return refuse(G("发送对象数目为0请添加发送对象"));
        // Blanks, tabs and line breaks alone are no message either: they would be charged.
        if (TextLength(*text) == 0 || IsBlankText(*text))
            return refuse(G("要发送的短信内容不能为空"));
        const std::optional<ComplianceReport> check = checkMessage(*text);
        if (!check)
            return kExitRefused;
        const SmsPlan plan = PlanSmsPieces(check->outgoing);
        if (plan.split && m_options.noSplit)
            return refuse(G("短信内容超过70个字，需要分") + std::to_string(PieceCount(plan)) +
                          G("条发送；去掉 --no-split 即可分条发送"));
        if (m_options.dryRun) {
            const std::optional<OptOutTest> optOut =
                OptOutTestIn(m_options, CliDataDir(m_options, m_env), m_err);
            if (!optOut)
                return kExitRefused;
            PrintSendPlan(
                m_out,
                ComputeCliPlan(entries, recipients.verifying ? &recipients.verification : nullptr,
                               PieceCount(plan), PlanFilesFor(m_options, m_env), *optOut));
            // With a daily cap: the numbers it would leave out now.
            std::vector<std::string> numbers = SplitAtNumberSeparators(recipients.entries);
            DailyCap cap;
            if (!LeaveOutCapped(CliDataDir(m_options, m_env), numbers, &cap, m_err))
                return kExitUsage;
            if (cap.history)
                m_out << "capped\t" << cap.leftOut << "\n";
            return kExitOk;
        }

        int skipped = 0;
        if (const std::optional<int> code = LeaveOutOptOut(m_options, CliDataDir(m_options, m_env),
                                                           recipients, &skipped, m_err))
            return *code;
        DailyCap cap;
        if (!LeaveOutCapped(CliDataDir(m_options, m_env), recipients.entries, &cap, m_err))
            return kExitUsage;
        if (recipients.entries.empty())
            return refuse(G("发送对象数目为0请添加发送对象"));

        const std::string numberString = recipients.numberString();
        const SmsSendResult result = RunSmsSend(plan, [&](const std::string& piece) {
            return SendMessage(m_context, m_user, m_password, numberString, piece);
        });
        RecordCappedSend(cap, recipients.entries, AnswerCode(result.lastAnswer()) == "7", m_err);
        const int code = report(plan, result);
        ReportSkipped(skipped, m_err);
        return code;
    }

    // The MMS page's checks, one request and its answer (CliMms.cpp).
    int sendMms() {
        std::vector<std::vector<std::string>> actions;
        if (!gatherNumbers(actions))
            return kExitUsage;
        CliRecipients recipients;
        if (std::optional<std::string> refusal = ArrangeRecipients(
                std::move(actions), m_options.verify, m_options.interval, recipients))
            return refuse(*refusal);
        const PlanFiles files = PlanFilesFor(m_options, m_env);
        return RunSendMms({m_options, recipients, m_context, m_user, m_password,
                           CliDataDir(m_options, m_env), m_options.dryRun ? &files : nullptr},
                          m_out, m_err);
    }

    // campaign start|resume|status|list (CliCampaign.cpp), with this runner's session, file
    // and message reading.
    int campaign() {
        CampaignInputs inputs;
        // Without --user each campaign runs as its own account (run-due goes through several).
        const bool userGiven = m_options.user.has_value();
        inputs.session = [this,
                          userGiven](const std::string& journalUser) -> std::optional<CliSession> {
            if (!userGiven)
                m_options.user = TerminalFromGbk(journalUser);
            if (!prepareSession())
                return std::nullopt;
            return CliSession{m_context, m_user, m_password};
        };
        inputs.numbersFile = [this](const std::string& path) { return readNumbersFile(path); };
        inputs.messageText = [this] { return messageText(); };
        inputs.checkText = [this](const std::string& gbk) -> std::optional<std::string> {
            const std::optional<ComplianceReport> check = checkMessage(gbk);
            return check ? std::optional<std::string>(check->outgoing) : std::nullopt;
        };
        inputs.textRefused = [this] { return m_textRefused; };
        inputs.usage = [this](const std::string& message) { return usage(message); };
        return RunCampaignCommand(m_options, m_env, inputs, m_out, m_err);
    }

    int report(const SmsPlan& plan, const SmsSendResult& result) {
        const std::string& last = result.lastAnswer();
        const std::string code = AnswerCode(last);
        const std::optional<std::string> message = SmsAnswerMessage(last);
        const std::optional<std::string> unconfirmed = UnconfirmedPiecesNotice(plan, result);
        if (code == "7") {
            m_out << TerminalFromGbk(*message) << "\n";
            if (std::optional<std::string> quota = QuotaTextOf(last))
                m_out << TerminalFromGbk(*quota) << "\n";
            if (!unconfirmed)
                return kExitOk;
            m_err << TerminalFromGbk(*unconfirmed) << "\n";
            return kExitRefused;
        }
        if (message)
            m_err << TerminalFromGbk(*message) << "\n";
        else
            m_err << TerminalFromGbk(G("发送失败\r")) << UnknownAnswerText(last) << "\n";
        // Pieces the service took before the refusal stay sent; say so.
        int accepted = 0;
        for (size_t i = 0; i + 1 < result.answers.size(); ++i)
            accepted += AnswerCode(result.answers[i]) == "7" ? 1 : 0;
        if (plan.split && accepted > 0)
            m_err << "注意：共" << PieceCount(plan) << "条分条短信，其中" << accepted
                  << "条已被服务器接受。\n";
        if (unconfirmed)
            m_err << TerminalFromGbk(*unconfirmed) << "\n";
        return last == FailureAnswer() ? kExitUsage : kExitRefused;
    }

    std::ostream& m_out;
    std::ostream& m_err;
    const CliEnvironment& m_env;
    CliOptions m_options;
    std::string m_user;
    std::string m_password;
    ServiceContext m_context;
    bool m_textRefused = false;
};

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env) {
    const int code = Runner(out, err, env).run(args);
    // Output that could not be written (a full disk, /dev/full) is no success.
    if (!out.flush()) {
        err << "smsclient-cli: 无法写出结果（标准输出写入失败）\n";
        return kExitUsage;
    }
    return code;
}

}  // namespace smsc::cli
