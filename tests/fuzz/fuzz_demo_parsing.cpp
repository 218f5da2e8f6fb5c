// What the demo service parses from requests and files: form bodies, number strings, dates
// in every order, message texts, MMS file names, notice files, forbidden-word lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-service/DemoPages.h"

using namespace smsc::demo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseFormBody(text);
    SplitNumberString(text, 30000);
    IsAcceptedNumber(text);
    MessageLength(text);
    for (DateOrder order : {DateOrder::Ymd, DateOrder::Mdy, DateOrder::Dmy})
        ParseServiceDate(text, order);
    DateOrderFromFormat(text);
    MmsExtension(text);
    MmsCostFromNotice(text);
    NoticeFileWarnings(text);
    ParseForbiddenWords(text);
    ForbiddenWordsProblem(text);

    // The multipart parser itself is the HTTP library's (compiled into its shared library);
    // what the send pages do with the parts' values is covered above and here.
    static const std::vector<std::string> words = ParseForbiddenWords("促销,广告,东");
    FindForbiddenWord(text, words);
    return 0;
}
