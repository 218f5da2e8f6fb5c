// Service answers: the splits, the SMS answer table, the login and password answers, the
// notice file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/AccountAnswers.h"
#include "sending/SmsSend.h"
#include "service/NoticeCheck.h"
#include "service/ServiceClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    smsc::SplitAnswer(answer);
    smsc::SplitAnswerOnce(answer);
    smsc::AnswerCode(answer);
    smsc::SmsAnswerMessage(answer);
    smsc::QuotaTextOf(answer);
    smsc::ReadLoginAnswer(answer);
    smsc::ReadPasswordAnswer(answer);
    smsc::FrameFormBody(answer);
    const smsc::NoticeFile notice(answer);
    notice.value("Version");
    notice.entries();
    if (const auto fourth = notice.fourthLineValue())
        smsc::NoticeParagraphs(*fourth);
    return 0;
}
