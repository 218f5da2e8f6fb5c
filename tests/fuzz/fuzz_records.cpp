// Fuzz target for the record answers the service sends: received messages, send records and
// number lists, and the files and names built from them. Checks the invariants the pages
// rely on and that the record matcher agrees with the record pattern it stands for.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Gbk.h"
#include "records/RecordAnswers.h"

namespace {

// The record pattern itself, for a differential check on short inputs.
bool PatternMatches(const std::string& record) {
    static pcre2_code_8* code = [] {
        int error = 0;
        PCRE2_SIZE offset = 0;
        const char* pattern = R"(^([\d][\s\S]*?)\*([\s\S]*?)\^([\s\S]*?)$)";
        return pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(pattern), PCRE2_ZERO_TERMINATED, 0,
                               &error, &offset, nullptr);
    }();
    pcre2_match_data_8* data = pcre2_match_data_create_from_pattern_8(code, nullptr);
    const int rc = pcre2_match_8(code, reinterpret_cast<PCRE2_SPTR8>(record.data()), record.size(),
                                 0, 0, data, nullptr);
    pcre2_match_data_free_8(data);
    return rc > 0;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const smsc::ReceivedAnswer received = smsc::ParseReceivedAnswer(text);
    const std::string exported = smsc::ReceivedExportBytes(received.records, "user");
    Check(exported.size() >= 14);
    if (size <= 4096)
        Check(smsc::MatchReceivedRecord(text).matched == PatternMatches(text));

    const smsc::SendRecordsAnswer records = smsc::ParseSendRecordsAnswer(text);
    Check(!records.truncated || !records.records.empty());
    Check(records.records.size() <= smsc::kMaxSendRecords);
    for (const smsc::SendRecord& r : records.records) {
        // No separator is left: "/" never, "\\" only as the second byte of a character.
        const std::string name = smsc::MmsSaveName(r.mmsFile);
        Check(name.find('/') == std::string::npos && name != "." && name != "..");
        for (size_t i = 0; i < name.size(); i += static_cast<size_t>(smsc::GbkCharBytes(name, i)))
            Check(name[i] != '\\');
    }

    Check(received.records.size() <= smsc::kMaxReceivedRecords);
    const smsc::NumberListAnswer numbers = smsc::ParseNumberListAnswer(text);
    Check(numbers.numbers.size() <= smsc::kMaxListedNumbers);
    for (const std::string& n : numbers.numbers)
        Check(n.find('|') == std::string::npos);
    smsc::NumberListExportBytes("1", numbers.numbers);
    return 0;
}
