#include "tools/cli/CliMms.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "platform/Gbk.h"
#include "sending/MmsSend.h"
#include "sending/SmsSend.h"
#include "tools/cli/Cli.h"
#include "tools/cli/CliCheck.h"
#include "tools/cli/CliOptOut.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliPlan.h"
#include "tools/cli/CliRecipients.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

int usage(std::ostream& err, const std::string& message) {
    err << "smsclient-cli: " << message << "\n" << UsageHint() << "\n";
    return kExitUsage;
}

int refuse(std::ostream& err, const std::string& gbkMessage) {
    err << TerminalFromGbk(gbkMessage) << "\n";
    return kExitRefused;
}

// The file as the dialog would give it: a full path.
std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// The one request with the recipients left after the opt-out list.
int submit(const CliMmsSend& send, const CliRecipients& recipients, const std::string& path,
           const std::string& title, const std::string& wirePath, std::ostream& out,
           std::ostream& err) {
    const std::string numbers = recipients.numberString();
    const std::string sentTitle = StripLineBreaks(title);
    const MmsSendOutcome outcome = RunMmsSend(path, [&](const std::string& bytes) {
        return SendMms(send.context, send.user, send.password, numbers, sentTitle, wirePath, bytes);
    });
    if (outcome.refusal != MmsRefusal::None)
        return refuse(err, MmsRefusalMessage(outcome.refusal));

    const std::string& answer = outcome.answer;
    const std::optional<std::string> message = MmsAnswerMessage(answer);
    if (AnswerCode(answer) == "7") {
        out << TerminalFromGbk(*message) << "\n";
        if (const std::optional<std::string> quota = QuotaTextOf(answer))
            out << TerminalFromGbk(*quota) << "\n";
        return kExitOk;
    }
    if (message)
        err << TerminalFromGbk(*message) << "\n";
    else
        err << TerminalFromGbk(G("发送失败\r")) << UnknownAnswerText(answer) << "\n";
    return answer == FailureAnswer() ? kExitUsage : kExitRefused;
}

}  // namespace

int RunSendMms(const CliMmsSend& send, std::ostream& out, std::ostream& err) {
    if (const std::optional<int> refused = RefuseUnsendableTitle(*send.options.title, err))
        return *refused;
    const std::optional<std::string> title = GbkFromTerminal(*send.options.title);
    if (!title)
        return usage(err, "彩信标题不是有效的UTF-8文本，或含有GBK编码无法表示的字符");
    const std::string path =
        send.options.mmsFile->empty() ? std::string() : fullPath(*send.options.mmsFile);
    // The file name travels as GBK in the file part; the file is opened by its own name.
    const std::optional<std::string> wirePath = GbkFromTerminal(path);
    if (!wirePath)
        return usage(err, "彩信文件名不是有效的UTF-8文本，或含有GBK编码无法表示的字符：" +
                              *send.options.mmsFile);

    // The checks of "发送彩信", in the page's order; there is no editor to cut a long title.
    MmsSendChecks checks;
    checks.verificationOn = send.recipients.verifying;
    checks.verificationNumber = send.recipients.verification;
    checks.chosenFileSize = std::max(0LL, MmsFileSize(path));
    checks.recipientCount = static_cast<long long>(send.recipients.entries.size());
    checks.title = *title;
    checks.filePath = path;
    if (const MmsRefusal refusal = CheckMmsSend(checks); refusal != MmsRefusal::None)
        return refuse(err, MmsRefusalMessage(refusal));
    if (const std::optional<int> refused = CheckMmsTitleBeforeSend(send.options, send.dataDir, err))
        return *refused;
    if (send.dryRunPlan) {
        const std::optional<OptOutTest> optOut = OptOutTestIn(send.options, send.dataDir, err);
        if (!optOut)
            return kExitRefused;
        const CliRecipients& r = send.recipients;
        PrintSendPlan(
            out, ComputeCliPlan(r.entries, r.verifying ? &r.verification : nullptr,
                                MmsUnitsPerNumber(*send.dryRunPlan), *send.dryRunPlan, *optOut));
        return kExitOk;
    }

    CliRecipients recipients = send.recipients;
    int skipped = 0;
    if (const std::optional<int> code =
            LeaveOutOptOut(send.options, send.dataDir, recipients, &skipped, err))
        return *code;
    DailyCap cap;
    if (!LeaveOutCapped(send.dataDir, recipients.entries, &cap, err))
        return kExitUsage;
    if (recipients.entries.empty())
        return refuse(err, G("发送对象数目为0请添加发送对象"));
    const int code = submit(send, recipients, path, *title, *wirePath, out, err);
    RecordCappedSend(cap, recipients.entries, code == kExitOk, err);
    ReportSkipped(skipped, err);
    return code;
}

}  // namespace smsc::cli
