// Category files from anywhere: the reading rules and the in-memory changes never crash,
// and a change leaves the bytes outside its own line as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "phrases/PhraseStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > smsc::kMaxPhraseFileBytes)
        return 0;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const auto phrases = smsc::ParsePhrases(file);
    for (const std::string& phrase : phrases)
        if (phrase.empty() || phrase.find_first_of("\r\n") != std::string::npos)
            std::abort();

    const std::string appended = smsc::WithPhraseAppended(file, "x\ny");
    if (appended.compare(0, file.size(), file) != 0)
        std::abort();
    auto withNew = phrases;
    withNew.push_back("x");
    withNew.push_back("y");
    if (smsc::ParsePhrases(appended) != withNew)
        std::abort();

    if (phrases.empty())
        return 0;
    const size_t row = size % phrases.size();
    const auto changed = smsc::WithPhraseReplaced(file, row, phrases[row], std::string_view("z"));
    const auto deleted = smsc::WithPhraseReplaced(file, row, phrases[row], std::nullopt);
    if (!changed || !deleted)
        std::abort();
    auto after = smsc::ParsePhrases(*changed);
    if (after.size() != phrases.size() || after[row] != "z")
        std::abort();
    after[row] = phrases[row];
    if (after != phrases)
        std::abort();
    if (smsc::ParsePhrases(*deleted).size() != phrases.size() - 1)
        std::abort();
    // The listed phrase of another row is stale.
    if (phrases.size() > 1 && phrases[row] != phrases[(row + 1) % phrases.size()] &&
        smsc::WithPhraseReplaced(file, row, phrases[(row + 1) % phrases.size()], std::nullopt))
        std::abort();
    return 0;
}
