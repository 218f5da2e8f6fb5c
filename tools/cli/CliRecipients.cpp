#include "tools/cli/CliRecipients.h"

#include <iterator>

#include "platform/Gbk.h"
#include "recipients/PhoneRules.h"
#include "sending/SmsSend.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {

std::string CliRecipients::numberString() const {
    return BuildNumberString(entries, verifying, verification);
}

std::optional<std::string> ArrangeRecipients(std::vector<std::vector<std::string>> actions,
                                             const std::optional<std::string>& verify, int interval,
                                             CliRecipients& out) {
    CliRecipients result;
    result.verifying = verify.has_value();
    if (result.verifying) {
        result.verification = TrimBlanks(*verify);
        if (result.verification.empty())
            return G("验证号码为空，请输入验证号码！");
        if (!IsDigits1To12(result.verification))
            return G("请输入正确的验证号码！");
    }
    // The verification copies go in per add action, each starting its own blocks.
    for (std::vector<std::string>& action : actions) {
        if (result.verifying)
            action = InterleaveVerification(action, result.verification, interval);
        result.entries.insert(result.entries.end(), std::make_move_iterator(action.begin()),
                              std::make_move_iterator(action.end()));
    }
    out = std::move(result);
    return std::nullopt;
}

}  // namespace smsc::cli
