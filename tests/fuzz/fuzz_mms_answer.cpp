// The answers of "softweb/mms_send.asp" as the send driver reads them: the message for the
// status code and the quota text of "7".
#include <cstddef>
#include <cstdint>
#include <string>

#include "sending/MmsSend.h"
#include "sending/SmsSend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> message = smsc::MmsAnswerMessage(answer);
    const std::optional<std::string> quota = smsc::QuotaTextOf(answer);
    // A quota text only for "7", and every known code has a message.
    if (quota && (smsc::AnswerCode(answer) != "7" || !message))
        __builtin_trap();
    return 0;
}
