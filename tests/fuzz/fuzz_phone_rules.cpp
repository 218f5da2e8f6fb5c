// The phone-number rules over any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "recipients/PhoneRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    smsc::IsDigits1To12(text);
    smsc::IsMobileNumber(text);
    smsc::IsSegmentChinaMobile(text);
    smsc::IsSegmentChinaUnicom(text);
    smsc::IsSegmentChinaTelecom(text);
    smsc::IsSegmentChinaBroadnet(text);
    smsc::ExtractMobileNumbers(text);
    smsc::SplitLinesUnique(text, "\r\n");
    smsc::SplitLinesUnique(text, ",");
    return 0;
}
