#include "sending/SendAudience.h"

#include "sending/SmsSend.h"

namespace smsc {

SendAudience PlanSendAudience(const std::string& dataDir, const std::string& optOutPath,
                              const std::vector<std::string>& entries, bool verificationOn,
                              const std::string& verificationNumber, long long now) {
    SendAudience audience;
    audience.optOut = PlanOptOutSend(optOutPath, entries, verificationOn, verificationNumber);
    if (audience.optOut.refusal != OptOutSendRefusal::None)
        return audience;
    audience.capped = CapSend(dataDir, audience.optOut.entries, now,
                              verificationOn ? verificationNumber : std::string());
    audience.numbers =
        BuildNumberString(audience.capped.entries, verificationOn, verificationNumber);
    return audience;
}

bool RecordAcceptedSend(const SendAudience& audience, const std::string& answer, long long now,
                        std::string* error) {
    return AnswerCode(answer) != "7" || RecordDailyCapSend(audience.capped, now, error);
}

std::string WithSkippedLines(const std::string& gbkMessage, const SendAudience& audience) {
    return WithCappedSkipped(WithOptOutSkipped(gbkMessage, audience.optOut.skipped),
                             audience.capped.leftOut);
}

}  // namespace smsc
