#include "tools/cli/CliCampaign.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <iterator>
#include <system_error>
#include <thread>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignLock.h"
#include "campaign/CampaignNumbers.h"
#include "campaign/CampaignRun.h"
#include "campaign/CampaignSchedule.h"
#include "campaign/DueCampaigns.h"
#include "campaign/JournalService.h"
#include "campaign/ScheduledCampaigns.h"
#include "compliance/Compliance.h"
#include "compliance/ComplianceSettings.h"
#include "compliance/SendHistory.h"
#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "sending/MmsSend.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"
#include "service/ServiceClient.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliCheck.h"
#include "tools/cli/CliContacts.h"
#include "tools/cli/CliOptOut.h"
#include "tools/cli/CliPlan.h"
#include "tools/cli/CliText.h"
#include "variable/VariableSms.h"

namespace smsc::cli {
namespace {

using namespace smsc::campaign;

std::string folder(std::string path) {
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// Options that belong to the sending actions only.
const char* sendingOptionGiven(const CliOptions& o) {
    if (o.user || o.password || o.baseUrl || o.line)
        return "--user、--password、--base-url、--line";
    if (!o.numbers.empty())
        return "--number、--numbers-file";
    if (o.text || o.textFile || o.mmsFile || o.title || o.batch)
        return "--text、--text-file、--file、--title、--batch";
    if (o.resendUnknown || o.skipUnknown || o.includeOptOut || o.noWait)
        return "--resend-unknown、--skip-unknown、--include-optout、--no-wait";
    if (o.templateText || o.table || o.group || o.numberColumn || o.keepEmptyCells || o.dryRun)
        return "--template、--table、--group、--number-column、--keep-empty、--dry-run";
    return nullptr;
}

class CampaignCommand final {
public:
    CampaignCommand(const CliOptions& options, const CliEnvironment& env,
                    const CampaignInputs& inputs, std::ostream& out, std::ostream& err)
        : m_options(options),
          m_env(env),
          m_inputs(inputs),
          m_out(out),
          m_err(err),
          m_dataDir(folder(options.dataDir.value_or(env.dataDir))),
          m_path(JournalPath(m_dataDir, options.campaignName)) {}

    int run() {
        const std::string& action = m_options.campaignAction;
        if (action == "list")
            return list();
        if (action == "status")
            return status();
        if (action == "run-due")
            return runDue();
        if (action == "cancel" || action == "pause")
            return setState(action == "cancel" ? ScheduleState::Cancelled : ScheduleState::Paused);
        if (action == "start")
            return m_options.templateText ? startVariable() : start();
        return resume();
    }

private:
    std::string quoted() const { return "“" + m_options.campaignName + "”"; }
    long long now() const {
        return m_env.now ? *m_env.now : static_cast<long long>(std::time(nullptr));
    }

    // --at and --window (checked by FinishCampaignOptions).
    CampaignSchedule scheduleToStart() const {
        bool marketing = false;
        ComplianceSettings compliance;
        if (m_options.at && !m_options.window && !m_options.mmsFile) {
            compliance = LoadComplianceSettings(CliDataDir(m_options, m_env) + "Company_Info.ini");
            marketing = (m_options.kind ? *MessageKindFromName(*m_options.kind)
                                        : compliance.defaultKind) == MessageKind::Marketing;
        }
        return StartSchedule(m_options.at ? ParseLocalTime(*m_options.at) : std::nullopt,
                             m_options.window ? ParseHours(*m_options.window) : std::nullopt,
                             marketing, compliance);
    }

    // What the campaign waits for now; reported and true when it must wait.
    bool waits(const std::string& name, const CampaignSchedule& schedule) {
        const Due due = WhenDue(schedule, now());
        if (due.waiting == Waiting::Nothing)
            return false;
        m_out << "活动“" << name << "”" << TerminalFromGbk(WaitingText(schedule, due));
        if (due.waiting == Waiting::Time || due.waiting == Waiting::Window)
            m_out << "；到时由 smsclient-cli campaign run-due 发送（见 systemctl --user enable "
                     "--now smsclient-campaigns.timer）";
        m_out << "。\n";
        return true;
    }
    int refuse(const std::string& gbk) {
        m_err << TerminalFromGbk(gbk) << "\n";
        return kExitRefused;
    }
    int fail(const std::string& utf8) {
        m_err << "smsclient-cli: " << utf8 << "\n";
        return kExitUsage;
    }

    // The journal's own lock (every name of one journal shares it), taken while the folder's
    // lock is held; *code is the exit code when it cannot be had.
    std::unique_ptr<CampaignLock> lock(int* code) {
        CampaignLock::Result result;
        std::unique_ptr<CampaignLock> held = CampaignLock::Acquire(m_path, &result);
        if (!held)
            lockRefused(result, code);
        return held;
    }
    void lockRefused(CampaignLock::Result result, int* code) {
        *code = kExitRefused;
        if (result == CampaignLock::Result::Busy) {
            m_err << "活动" << quoted() << "正在另一个进程中发送，同一活动不能同时运行两次。\n";
        } else if (result == CampaignLock::Result::Missing) {
            *code = fail("没有这个活动记录：" + m_path);
        } else {
            *code = fail("无法锁定活动" + quoted() + "：" + m_path);
        }
    }

    // The numbers once: every --number as typed, the mobile numbers of every file, repeats
    // across all of them removed; nullopt after a usage error.
    std::optional<std::vector<std::string>> gatherNumbers() {
        CampaignNumbers numbers;
        for (const NumberSource& source : m_options.numbers) {
            if (!source.fromFile) {
                numbers.addNumber(source.value);
                continue;
            }
            std::optional<std::string> bytes = m_inputs.numbersFile(source.value);
            if (!bytes)
                return std::nullopt;
            const ImportTally tally = numbers.addText(*bytes);
            m_err << source.value << "：" << TerminalFromGbk(ImportSummary(tally)) << "\n";
        }
        return numbers.take();
    }

    bool taken() const { return CampaignNameTaken(m_dataDir, m_options.campaignName); }
    int refuseTaken() {
        return m_inputs.usage("活动" + quoted() + "已经存在；继续发送请用 campaign resume " +
                              m_options.campaignName);
    }

    // A new journal, locked and opened, with the schedule it starts on; code is the exit code
    // when journal is null.
    struct OpenedJournal {
        LockedJournal locked;
        CampaignJournal* journal = nullptr;
        CampaignSchedule schedule;
        int code = kExitOk;
    };

    // Checked again, and the journal written (by create) and locked, under the folder's lock:
    // a second start of the name finds it taken, a resume finds it locked.
    OpenedJournal createJournal(const std::function<bool(std::string*)>& create) {
        return startJournal([&](const CampaignSchedule& schedule) {
            return CreateLockedJournal(m_dataDir, m_options.campaignName, create, schedule);
        });
    }
    OpenedJournal startJournal(
        const std::function<StartedJournal(const CampaignSchedule&)>& startWith) {
        OpenedJournal opened;
        opened.schedule = scheduleToStart();
        StartedJournal started = startWith(opened.schedule);
        switch (started.result) {
            case StartedJournal::Result::Started:
                opened.journal = started.journal.get();
                opened.locked = std::move(started);
                break;
            case StartedJournal::Result::Taken:
                opened.code = refuseTaken();
                break;
            case StartedJournal::Result::NotLocked:
                lockRefused(started.lock, &opened.code);
                break;
            case StartedJournal::Result::Failed:
                opened.code = fail(started.error);
                break;
        }
        return opened;
    }

    int start() {
        if (taken())
            return refuseTaken();
        std::optional<CliSession> session = m_inputs.session("");
        if (!session)
            return kExitUsage;

        std::optional<std::vector<std::string>> numbers = gatherNumbers();
        if (!numbers)
            return kExitUsage;
        // Numbers on the opt-out list are left out for the whole campaign.
        const std::optional<OptOutTest> optOut = OptOutTestIn(m_options, m_dataDir, m_err);
        if (!optOut)
            return kExitRefused;
        long long optedOut = 0;
        if (*optOut)
            std::erase_if(*numbers, [&](const std::string& n) {
                const bool out = (*optOut)(n);
                optedOut += out ? 1 : 0;
                return out;
            });
        if (numbers->empty())
            return refuse(G("发送对象数目为0请添加发送对象"));

        CampaignSettings settings;
        settings.user = session->user;
        settings.batchSize = m_options.batch.value_or(kMaxBatch);
        settings.created = static_cast<long long>(std::time(nullptr));
        settings.includeOptOut = m_options.includeOptOut;
        std::vector<std::string> pieces;
        const PlanFiles files = PlanFilesFor(m_options, m_env);
        if (m_options.mmsFile) {
            settings.kind = CampaignKind::Mms;
            if (const std::optional<int> refused = RefuseUnsendableTitle(*m_options.title, m_err))
                return *refused;
            const std::optional<std::string> title = GbkFromTerminal(*m_options.title);
            if (!title)
                return m_inputs.usage("彩信标题不是有效的UTF-8文本，或含有GBK编码无法表示的字符");
            settings.mmsPath =
                m_options.mmsFile->empty() ? std::string() : fullPath(*m_options.mmsFile);
            const std::optional<std::string> wire = GbkFromTerminal(settings.mmsPath);
            if (!wire)
                return m_inputs.usage(
                    "彩信文件名不是有效的UTF-8文本，或含有GBK编码无法表示的字符：" +
                    *m_options.mmsFile);
            settings.mmsWirePath = *wire;
            MmsSendChecks checks;
            checks.chosenFileSize = std::max(0LL, MmsFileSize(settings.mmsPath));
            checks.recipientCount =
                std::min<long long>(static_cast<long long>(numbers->size()), settings.batchSize);
            checks.title = *title;
            checks.filePath = settings.mmsPath;
            if (const MmsRefusal refusal = CheckMmsSend(checks); refusal != MmsRefusal::None)
                return refuse(MmsRefusalMessage(refusal));
            if (const std::optional<int> refused =
                    CheckMmsTitleBeforeSend(m_options, CliDataDir(m_options, m_env), m_err))
                return *refused;
            settings.title = StripLineBreaks(*title);
            settings.perNumber = MmsUnitsPerNumber(files);
            pieces.push_back(settings.title);
        } else {
            const std::optional<std::string> text = m_inputs.messageText();
            if (!text)
                return m_inputs.textRefused && m_inputs.textRefused() ? kExitRefused : kExitUsage;
            if (TextLength(*text) == 0 || IsBlankText(*text))
                return refuse(G("要发送的短信内容不能为空"));
            const std::optional<std::string> outgoing =
                m_inputs.checkText ? m_inputs.checkText(*text) : text;
            if (!outgoing)
                return kExitRefused;
            settings.text = *outgoing;
            pieces = PlanSmsPieces(*outgoing).texts;
        }

        const OpenedJournal opened =
            settings.kind == CampaignKind::Sms
                ? startJournal([&](const CampaignSchedule& schedule) {
                      return StartSmsCampaign(m_dataDir, m_options.campaignName, settings,
                                              *numbers, schedule);
                  })
                : createJournal([&](std::string* error) {
                      return CampaignJournal::WriteNew(m_path, settings, *numbers, pieces, error);
                  });
        if (!opened.journal)
            return opened.code;
        CampaignJournal* const journal = opened.journal;
        const CampaignSchedule& schedule = opened.schedule;
        const long long perNumber = settings.kind == CampaignKind::Mms
                                        ? settings.perNumber
                                        : static_cast<long long>(pieces.size());
        m_out << "活动" << quoted() << "：" << numbers->size() << "个号码，分"
              << journal->batchCount() << "批（每批最多" << settings.batchSize << "个），每号"
              << perNumber << "条，预计扣除" << numbers->size() * perNumber << "条";
        if (optedOut > 0)
            m_out << "；退订" << optedOut << "个号码不发送";
        m_out << "。\n";
        if (waits(m_options.campaignName, schedule))
            return kExitOk;
        return runJournal(*journal, *session, UnknownPolicy::Stop);
    }

    // A variable SMS (个性短信): the table read and every row checked before anything is
    // written; each distinct text becomes its own batches of the journal.
    int startVariable() {
        if (!m_options.dryRun && taken())
            return refuseTaken();
        std::optional<CliSession> session;
        if (!m_options.dryRun) {
            session = m_inputs.session("");
            if (!session)
                return kExitUsage;
        }
        const std::optional<std::string> templateGbk = GbkFromTerminal(*m_options.templateText);
        if (!templateGbk)
            return m_inputs.usage("模板不是有效的UTF-8文本，或含有GBK编码无法表示的字符");
        const variable::ParsedTemplate parsed = variable::ParseTemplate(*templateGbk);
        if (!parsed.ok())
            return refuse(parsed.error);
        std::string error;
        std::optional<variable::VariableTable> table;
        if (m_options.table) {
            table = variable::ReadVariableTable(*m_options.table, &error);
            if (!table)
                return refuse(error);
        } else {
            int code = kExitUsage;
            const std::optional<std::vector<ContactRow>> contacts =
                ContactsOfGroup(m_options, m_env, m_err, &code);
            if (!contacts)
                return code;
            table = variable::TableFromContacts(*contacts);
        }

        variable::PlanOptions options;
        if (m_options.numberColumn) {
            const std::optional<std::string> column = GbkFromTerminal(*m_options.numberColumn);
            if (!column)
                return m_inputs.usage("--number-column 不是有效的UTF-8文本");
            options.numberColumn = *column;
        }
        options.emptyCells = m_options.keepEmptyCells ? variable::EmptyCellPolicy::LeaveEmpty
                                                      : variable::EmptyCellPolicy::SkipRow;
        options.batchSize = m_options.batch.value_or(kMaxBatch);
        const std::optional<OptOutTest> optOut = OptOutTestIn(m_options, m_dataDir, m_err);
        if (!optOut)
            return kExitRefused;
        if (*optOut)
            options.optedOut = *optOut;
        const std::string checkDir = CliDataDir(m_options, m_env);
        const CheckContext context = CliCheckContext(m_options, checkDir);
        const ComplianceLists lists = CliComplianceLists(context, checkDir, m_err);
        options.check = [&](const std::string& gbk) { return CheckSmsGbk(gbk, context, lists); };

        const variable::VariablePlan plan = variable::PlanVariableSms(parsed, *table, options);
        for (const std::string& warning : plan.templateWarnings)
            m_err << "提醒：" << TerminalFromGbk(warning) << "\n";
        if (!plan.ok())
            return refuse(plan.error);
        for (const variable::RowFinding& f : plan.findings)
            m_out << "第" << f.row << "行\t" << TerminalFromGbk(variable::RowProblemName(f.problem))
                  << "\t" << TerminalFromGbk(f.detail) << "\t" << (f.skipped ? "不发送" : "发送")
                  << "\n";
        const variable::Totals& t = plan.totals;
        m_out << "个性短信：共" << t.rows << "行，发送" << t.sending << "行，不发送" << t.skipped
              << "行；不同内容" << t.texts << "条，请求" << t.requests << "次，预计扣除" << t.units
              << "条。\n";
        if (table->clipped)
            m_err << "提醒：表格超过" << variable::kMaxTableRows << "行，其余的行没有读入。\n";
        // The check's findings once each, with the first row and how many texts have it: a
        // warning every text shares is one line, not thousands.
        struct Seen {
            uint32_t row;
            long long texts;
            const Finding* finding;
        };
        std::vector<Seen> seen;
        std::map<std::string, size_t> index;
        bool blocked = false;
        for (const variable::TextGroup& group : plan.groups) {
            blocked = blocked || group.blocked;
            for (const Finding& finding : group.findings) {
                const auto [it, fresh] =
                    index.emplace(finding.rule + '\t' + finding.message, seen.size());
                if (fresh)
                    seen.push_back({group.rows.front(), 0, &finding});
                ++seen[it->second].texts;
            }
        }
        for (const Seen& f : seen)
            m_err << (f.finding->level == FindingLevel::Error ? "error" : "warning") << "\t"
                  << f.finding->rule << "\t第" << f.row << "行等" << f.texts << "条内容："
                  << f.finding->message << "\n";
        if (blocked)
            return kExitRefused;
        if (t.sending == 0)
            return refuse(G("发送对象数目为0请添加发送对象"));
        if (m_options.dryRun)
            return kExitOk;

        CampaignSettings settings;
        settings.user = session->user;
        settings.text = *templateGbk;
        settings.batchSize = options.batchSize;
        settings.created = static_cast<long long>(std::time(nullptr));
        settings.includeOptOut = m_options.includeOptOut;
        std::vector<CampaignText> texts;
        texts.reserve(plan.groups.size());
        for (const variable::TextGroup& group : plan.groups)
            texts.push_back({group.numbers, group.pieces});

        const OpenedJournal opened = createJournal([&](std::string* createError) {
            return CampaignJournal::WriteNewVariable(m_path, settings, texts, createError);
        });
        if (!opened.journal)
            return opened.code;
        CampaignJournal* const journal = opened.journal;
        const CampaignSchedule& schedule = opened.schedule;
        m_out << "活动" << quoted() << "：" << t.sending << "个号码，" << t.texts
              << "条不同内容，分" << journal->batchCount() << "批。\n";
        if (waits(m_options.campaignName, schedule))
            return kExitOk;
        return runJournal(*journal, *session, UnknownPolicy::Stop);
    }

    int resume() {
        std::unique_ptr<CampaignLock> folderLock =
            CampaignLock::LockFolder(CampaignFolder(m_dataDir));
        int code = kExitOk;
        const std::unique_ptr<CampaignLock> held = lock(&code);
        if (!held)
            return code;
        folderLock.reset();
        std::string error;
        std::unique_ptr<CampaignJournal> journal = CampaignJournal::Open(m_path, &error);
        if (!journal)
            return fail(error);
        std::optional<CliSession> session = m_inputs.session(journal->settings().user);
        if (!session)
            return kExitUsage;
        if (session->user != journal->settings().user)
            return m_inputs.usage("活动" + quoted() + "属于用户 " +
                                  TerminalFromGbk(journal->settings().user) +
                                  "，不能用其他帐户继续");
        // Resuming lifts a pause; a cancelled campaign stays cancelled, a scheduled one keeps
        // its time and window.
        CampaignSchedule schedule = journal->schedule();
        if (schedule.state == ScheduleState::Cancelled)
            return refuse(G("活动") + GbkFromTerminal(quoted()).value_or("") +
                          G("已取消，不能继续发送。"));
        if (schedule.state == ScheduleState::Paused) {
            schedule.state = ScheduleState::Active;
            schedule.reason.clear();
            if (!journal->setSchedule(schedule, &error))
                return fail(error);
        }
        if (schedule.scheduled && waits(m_options.campaignName, schedule))
            return kExitOk;
        const UnknownPolicy policy = m_options.resendUnknown ? UnknownPolicy::Resend
                                     : m_options.skipUnknown ? UnknownPolicy::Skip
                                                             : UnknownPolicy::Stop;
        return runJournal(*journal, *session, policy);
    }

    int runJournal(CampaignJournal& journal, const CliSession& session, UnknownPolicy policy) {
        JournalServiceSetup setup;
        setup.dataDir = m_dataDir;
        setup.settingsFile = CliDataDir(m_options, m_env) + "Company_Info.ini";
        setup.includeOptOut = m_options.includeOptOut;
        setup.now = [this] { return now(); };
        setup.problem = [this](const std::string& gbk) { m_err << TerminalFromGbk(gbk) << "\n"; };
        std::string historyError;
        const std::unique_ptr<JournalService> run = JournalService::Create(
            journal, {session.context, session.user, session.password}, setup, &historyError);
        if (!run) {
            m_err << "smsclient-cli: " << historyError << "\n";
            return kExitUsage;
        }
        CampaignService& service = run->service();
        if (!m_options.noWait && m_options.campaignAction != "run-due")
            service.sleepSecond = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };

        RunObserver observer;
        observer.answered = [&](const CampaignRequest& request) {
            if (request.state != RequestState::Accepted)
                return;
            // Once per batch: its numbers got one more message today.
            std::string error;
            if (!run->recordAnswered(request, &error))
                m_err << "smsclient-cli: " << error << "\n";
            m_out << TerminalFromGbk(RequestLabel(journal, request)) << "：已发送"
                  << request.numbers << "个号码";
            if (journal.remainingQuota())
                m_out << "，剩余短信" << *journal.remainingQuota() << "条";
            m_out << "\n" << std::flush;
        };
        observer.decided = [&](const CampaignRequest& request, const UnknownDecision& decision) {
            m_out << TerminalFromGbk(RequestLabel(journal, request));
            if (decision.verdict == Verdict::Sent)
                m_out << "：发送记录显示已发送（记录ID " << TerminalFromGbk(decision.record)
                      << "），不再发送\n";
            else if (decision.verdict == Verdict::NotSent)
                m_out << "：发送记录显示未发送，重新发送\n";
            else
                m_out << "：" << TerminalFromGbk(decision.reason) << "\n";
        };

        observer.waiting = [&](const std::vector<CampaignRequest>& early, long long left) {
            if (left == 0) {
                m_err << "\r等待结束，再查发送记录。        \n" << std::flush;
                return;
            }
            if (!m_waitShown) {
                m_waitShown = true;
                for (const CampaignRequest& request : early)
                    m_err << TerminalFromGbk(RequestLabel(journal, request))
                          << "：请求发出不久，可能仍在途中；等它落定后再查发送记录，在此之前不重新"
                             "发送。\n";
            }
            m_err << "\r还需等待" << left << "秒…… " << std::flush;
        };

        const RunReport report = RunCampaign(journal, service, policy, observer);
        m_lastEnd = report.end;
        const int code = reportRun(report, journal);
        const long long capped = run->capped();
        if (report.optedOut - capped > 0)
            m_err << TerminalFromGbk(OptOutSkippedText(static_cast<int>(report.optedOut - capped)))
                  << "\n";
        if (capped > 0)
            m_err << "已跳过" << capped << "个今天已达每日上限（" << run->cap() << "条）的号码\n";
        return code;
    }

    int reportRun(const RunReport& report, const CampaignJournal& journal) {
        const std::string resumeHint = "smsclient-cli campaign resume " + m_options.campaignName;
        switch (report.end) {
            case RunEnd::Completed:
                m_out << "活动" << quoted() << "已全部完成：" << journal.numberCount()
                      << "个号码，共扣除" << UnitsCharged(journal) << "条。\n";
                return kExitOk;
            case RunEnd::Refused:
                m_err << TerminalFromGbk(report.message) << "\n活动" << quoted()
                      << "已暂停；排除原因后用 " << resumeHint << " 继续。\n";
                return kExitRefused;
            case RunEnd::NetworkFailure:
                m_err << TerminalFromGbk(report.message) << "\n活动" << quoted()
                      << "已暂停；最后一个请求是否送达将在继续时从发送记录中查明，请用 "
                      << resumeHint << " 继续。\n";
                return kExitUsage;
            case RunEnd::Undecided:
                m_err << "以下请求无法从发送记录确定是否已送达：\n"
                      << TerminalFromGbk(report.message) << "\n请在“发送记录”中核对后，用 "
                      << resumeHint << " --resend-unknown（重新发送）或 --skip-unknown"
                      << "（不再发送）继续。\n";
                return kExitRefused;
            case RunEnd::TooRecent:
                m_err << TerminalFromGbk(report.message) << "\n活动" << quoted()
                      << "暂停，未重新发送；请在" << report.waitSeconds << "秒后用 " << resumeHint
                      << " 继续（不加 --no-wait 时 resume 会等到那时再查发送记录）。\n";
                return kExitTooRecent;
            case RunEnd::JournalFailure:
                m_err << "smsclient-cli: " << TerminalFromGbk(report.message) << "\n";
                return kExitUsage;
            case RunEnd::Held:
                m_out << "活动" << quoted() << "停止发送：" << TerminalFromGbk(report.message)
                      << "。\n";
                return kExitOk;
        }
        return kExitUsage;
    }

    int status() {
        // Asked before the journal is opened (see CampaignLock::IsHeld).
        const bool running = CampaignLock::IsHeld(m_path);
        std::string error;
        std::unique_ptr<CampaignJournal> journal =
            CampaignJournal::Open(m_path, &error, CampaignJournal::Access::Read);
        if (!journal)
            return fail(error);
        const CampaignSettings& s = journal->settings();
        long long requests[kStateCount] = {};
        long long numbers[kStateCount] = {};
        std::map<std::string, long long> answers;
        for (const CampaignRequest& r : journal->requests()) {
            ++requests[static_cast<int>(r.state)];
            numbers[static_cast<int>(r.state)] += r.numbers;
            if (!r.answer.empty() && r.started != 0)  // the service's, not ours
                ++answers[TerminalFromGbk(AnswerCode(r.answer))];
        }
        m_out << "name\t" << m_options.campaignName << "\n"
              << "kind\t" << (s.kind == CampaignKind::Mms ? "mms" : "sms") << "\n"
              << "user\t" << TerminalFromGbk(s.user) << "\n"
              << "running\t" << (running ? "yes" : "no") << "\n"
              << "numbers\t" << journal->numberCount() << "\n"
              << "optout\t" << journal->optedOutLater() << "\n"
              << "batches\t" << journal->batchCount() << "\n"
              << "pieces\t" << journal->pieceCount() << "\n";
        if (s.variable)
            m_out << "template\t" << TerminalFromGbk(s.text) << "\n";
        printSchedule(journal->schedule());
        for (int i = 0; i < kStateCount; ++i)
            m_out << StateName(static_cast<RequestState>(i)) << "\t" << requests[i] << "\t"
                  << numbers[i] << "\n";
        m_out << "units\t" << UnitsCharged(*journal) << "\n";
        if (journal->remainingQuota())
            m_out << "remaining\t" << *journal->remainingQuota() << "\n";
        for (const auto& [code, count] : answers)
            m_out << "answer\t" << code << "\t" << count << "\n";
        for (const CampaignRequest& r : journal->requests()) {
            if (r.state != RequestState::Refused && r.state != RequestState::Unknown &&
                r.state != RequestState::Sending)
                continue;
            const std::optional<std::string> message = s.kind == CampaignKind::Mms
                                                           ? MmsAnswerMessage(r.answer)
                                                           : SmsAnswerMessage(r.answer);
            std::string text = TerminalFromGbk(message.value_or(r.answer));
            for (char& c : text)
                if (c == '\n' || c == '\t')
                    c = ' ';
            m_out << "request\t" << r.batch << "\t" << r.piece << "\t" << StateName(r.state) << "\t"
                  << text << "\n";
        }
        return kExitOk;
    }

    void printSchedule(const CampaignSchedule& schedule) {
        const Due due = WhenDue(schedule, now());
        m_out << "scheduled\t" << (schedule.scheduled ? "yes" : "no") << "\n"
              << "at\t" << (schedule.at > 0 ? LocalTimeText(schedule.at) : "-") << "\n"
              << "window\t"
              << (schedule.hasWindow() ? HoursText(schedule.windowFrom, schedule.windowTo) : "-")
              << "\n"
              << "state\t" << ScheduleStateName(schedule.state) << "\n"
              << "waiting\t" << WaitingName(due.waiting);
        if (due.waiting != Waiting::Nothing)
            m_out << "\t" << TerminalFromGbk(WaitingText(schedule, due));
        m_out << "\n";
    }

    // cancel, pause: written at once, also while a run holds the campaign (it stops before
    // its next request).
    int setState(ScheduleState state) {
        std::string error;
        std::unique_ptr<CampaignJournal> journal = CampaignJournal::Open(m_path, &error);
        if (!journal)
            return fail(error);
        CampaignSchedule schedule = journal->schedule();
        if (schedule.state == ScheduleState::Cancelled)
            return refuse(G("活动") + GbkFromTerminal(quoted()).value_or("") + G("已取消。"));
        schedule.state = state;
        schedule.reason.clear();
        if (!journal->setSchedule(schedule, &error))
            return fail(error);
        m_out << "活动" << quoted()
              << (state == ScheduleState::Cancelled ? "已取消，不再发送。"
                                                    : "已暂停；用 smsclient-cli campaign resume " +
                                                          m_options.campaignName + " 继续。")
              << "\n";
        return kExitOk;
    }

    // run-due: every scheduled campaign that is due goes out, each under its lock; one that
    // another run holds is left to it.
    int runDue() {
        int worst = kExitOk;
        for (const std::string& name : CampaignNames(m_dataDir)) {
            CliOptions options = m_options;
            options.campaignName = name;
            const int code = CampaignCommand(options, m_env, m_inputs, m_out, m_err).dueOne();
            worst = std::max(worst, code);
        }
        return worst;
    }

    int dueOne() {
        LockedJournal due;
        std::string error;
        switch (OpenDueCampaign(m_dataDir, m_options.campaignName, [this] { return now(); }, &due,
                                &error)) {
            case DueLook::NotDue:
                return kExitOk;
            case DueLook::Failed:
                return fail(error);
            case DueLook::Opened:
                break;
        }
        CampaignJournal* const journal = due.journal.get();
        std::optional<CliSession> session = m_inputs.session(journal->settings().user);
        if (!session)
            return kExitUsage;
        if (session->user != journal->settings().user) {
            m_err << "活动" << quoted() << "属于用户 " << TerminalFromGbk(journal->settings().user)
                  << "，未发送。\n";
            return kExitOk;
        }
        m_out << "活动" << quoted() << "开始发送。\n";
        const int code = runJournal(*journal, *session, UnknownPolicy::Stop);
        // A refusal or an undecided request waits for the user instead of being tried again
        // every minute.
        if (m_lastEnd && !PauseAfterDueRun(*journal, *m_lastEnd, &error))
            return fail(error);
        return code;
    }

    int list() {
        for (const ScheduledCampaign& row : ListCampaigns(m_dataDir, now())) {
            if (row.state == ListedState::Damaged) {
                m_out << row.name << "\t-\t-\t-\tdamaged\n";
                continue;
            }
            const CampaignSchedule& schedule = row.schedule;
            m_out << row.name << "\t" << (row.mms ? "mms" : "sms") << "\t" << row.numbers << "\t"
                  << row.done << "/" << row.total << "\t" << ListedStateName(row.state);
            // A scheduled campaign adds its time and its window ("-": none).
            if (schedule.scheduled)
                m_out << "\t" << (schedule.at > 0 ? LocalTimeText(schedule.at) : "-") << "\t"
                      << (schedule.hasWindow() ? HoursText(schedule.windowFrom, schedule.windowTo)
                                               : "-");
            m_out << "\n";
        }
        return kExitOk;
    }

    const CliOptions& m_options;
    const CliEnvironment& m_env;
    const CampaignInputs& m_inputs;
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_dataDir;
    std::string m_path;
    bool m_waitShown = false;
    std::optional<RunEnd> m_lastEnd;
};

}  // namespace

std::optional<CliOptions> FinishCampaignOptions(CliOptions o,
                                                const std::vector<std::string>& positional,
                                                bool hasText, std::string* error) {
    auto fail = [error](std::string message) -> std::optional<CliOptions> {
        *error = std::move(message);
        return std::nullopt;
    };
    static const char* const actions[] = {"start",  "resume", "status", "list",
                                          "cancel", "pause",  "run-due"};
    if (positional.empty() || std::none_of(std::begin(actions), std::end(actions),
                                           [&](const char* a) { return positional[0] == a; }))
        return fail("campaign 需要 start、resume、status、list、cancel、pause 或 run-due");
    o.campaignAction = positional[0];
    const bool list = o.campaignAction == "list" || o.campaignAction == "run-due";
    if ((o.at || o.window) && o.campaignAction != "start")
        return fail("--at、--window 只能用于 campaign start");
    if (o.at && !ParseLocalTime(*o.at))
        return fail("--at 的格式应为 \"YYYY-MM-DD HH:MM\"：" + *o.at);
    if (o.window && !ParseHours(*o.window))
        return fail("--window 的格式应为 HH:MM-HH:MM：" + *o.window);
    if (positional.size() > (list ? 1u : 2u))
        return fail("多余的参数：" + positional[list ? 1 : 2]);
    if (!list) {
        if (positional.size() < 2)
            return fail("campaign " + o.campaignAction + " 需要活动名称");
        o.campaignName = positional[1];
        if (!IsValidUtf8(o.campaignName) || !IsValidCampaignName(o.campaignName))
            return fail(
                "活动名称只能是普通的文件名（1到200字节，不含 /、\\、..、控制字符，"
                "不以 . 开头）：" +
                o.campaignName);
    }
    if (o.campaignAction == "run-due") {
        if (!o.numbers.empty() || hasText || o.mmsFile || o.title || o.batch || o.resendUnknown ||
            o.skipUnknown || o.includeOptOut)
            return fail("campaign run-due 只发送已排定的活动，不能再给出号码、内容或发送选项");
        return o;
    }
    if (list || o.campaignAction == "status" || o.campaignAction == "cancel" ||
        o.campaignAction == "pause") {
        if (const char* given = sendingOptionGiven(o))
            return fail(std::string("选项 ") + given + " 不能用于 campaign " + o.campaignAction);
        return o;
    }
    if (o.campaignAction == "resume") {
        if (o.templateText || o.table || o.group || o.numberColumn || o.keepEmptyCells || o.dryRun)
            return fail(
                "campaign resume 沿用开始时的表格和模板，不能再给出 --template、--table、"
                "--number-column、--keep-empty 或 --dry-run");
        if (!o.numbers.empty() || hasText || o.mmsFile || o.title || o.batch)
            return fail(
                "campaign resume 沿用开始时的号码和内容，不能再给出 --number、"
                "--numbers-file、--text、--text-file、--file、--title 或 --batch");
        if (o.resendUnknown && o.skipUnknown)
            return fail("--resend-unknown 与 --skip-unknown 只能选一个");
        return o;
    }
    if (o.resendUnknown || o.skipUnknown || o.noWait)
        return fail("--resend-unknown、--skip-unknown、--no-wait 只能用于 campaign resume");
    if (o.templateText || o.table) {
        // A variable SMS: the numbers and the texts come from the table or the group.
        if (!o.templateText || (!o.table && !o.group))
            return fail(
                "个性短信需要 --template（模板）和 --table（表格文件）或 --group（通讯录分组）");
        if (o.table && o.group)
            return fail("--table 与 --group 只能选一个");
        if (!o.numbers.empty() || hasText || o.mmsFile || o.title)
            return fail(
                "个性短信的号码和内容来自表格和模板，不能再给出 --number、--numbers-file、"
                "--text、--text-file、--file 或 --title");
        if (!o.user && !o.dryRun)
            return fail("缺少 --user（用户名）");
        return o;
    }
    if (o.group || o.numberColumn || o.keepEmptyCells || o.dryRun)
        return fail("--group、--number-column、--keep-empty、--dry-run 只能与 --template 一起使用");
    if (!o.user)
        return fail("缺少 --user（用户名）");
    if (o.numbers.empty())
        return fail("缺少号码：请用 --number 或 --numbers-file 给出");
    if (o.text && o.textFile)
        return fail("--text 与 --text-file 只能选一个");
    const bool mms = o.mmsFile || o.title;
    if (hasText && mms)
        return fail("短信内容（--text、--text-file）与彩信（--file、--title）只能选一种");
    if (!hasText && !mms)
        return fail("缺少内容：请用 --text 或 --text-file（短信），或 --file 与 --title（彩信）");
    if (mms && (!o.mmsFile || !o.title))
        return fail("彩信活动需要 --file 和 --title");
    return o;
}

int RunCampaignCommand(const CliOptions& options, const CliEnvironment& env,
                       const CampaignInputs& inputs, std::ostream& out, std::ostream& err) {
    return CampaignCommand(options, env, inputs, out, err).run();
}

}  // namespace smsc::cli
