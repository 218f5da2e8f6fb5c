#include "recipients/ImportSources.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <unordered_set>
#include <utility>
#include <sys/stat.h>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "recipients/SpreadsheetReader.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

bool isTextFileKind(ImportKind kind) {
    return kind == ImportKind::TextFileImport || kind == ImportKind::TextFileExtract;
}

}  // namespace

std::vector<std::string> TextImportCandidates(std::string fileText) {
    return SplitLinesUnique(LineEndsAsCr(std::move(fileText)), "\r");
}

std::vector<std::string> ExtractCandidates(const std::string& text) {
    return FindNumbersByLine(text).numbers;
}

SourceRead ReadTextImport(std::string fileText) {
    SourceRead read;
    std::vector<std::string> lines = TextImportCandidates(std::move(fileText));
    if (!lines.empty() && !PassesEntryTest(ImportKind::TextFileImport, lines.back()))
        lines.pop_back();
    // Plain 11-digit lines are kept as they are (the line filter has dropped their repeats);
    // their numbers are only remembered once a number written otherwise turns up, which
    // may repeat one of them.
    const auto plainKey = [](std::string_view line) -> std::optional<std::uint64_t> {
        line = TrimmedView(line);
        if (line.size() != 11)
            return std::nullopt;
        std::uint64_t key = 0;
        for (char c : line) {
            if (c < '0' || c > '9')
                return std::nullopt;
            key = key * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return key;
    };
    std::unordered_set<std::uint64_t> numbers;
    bool formatted = false;
    read.candidates.reserve(lines.size());
    for (std::string& line : lines) {
        if (const std::optional<std::uint64_t> key = plainKey(line)) {
            if (formatted)
                numbers.insert(*key);
        } else if (std::optional<std::string> number = ReadMobileNumber(line)) {
            if (!formatted) {
                formatted = true;
                for (const std::string& earlier : read.candidates)
                    if (const std::optional<std::uint64_t> k = plainKey(earlier))
                        numbers.insert(*k);
            }
            if (!numbers.insert(*plainKey(*number)).second) {
                ++read.tally.duplicates;
                continue;
            }
            line = std::move(*number);
        }
        read.candidates.push_back(std::move(line));
    }
    read.tally.added = static_cast<long long>(read.candidates.size());
    read.numbersInSource = read.tally.added;
    return read;
}

SourceRead ReadExtract(const std::string& text) {
    NumbersOfText found = FindNumbersByLine(text);
    SourceRead read{std::move(found.numbers), std::move(found.tally), 0};
    read.numbersInSource = static_cast<long long>(read.candidates.size());
    return read;
}

long long CandidatesUnderCap(const std::optional<VerificationCopy>& verification) {
    long long count = kRecipientCap;
    while (count > 0 && ExceedsRecipientCap(count, CountedCopies(count, verification)))
        --count;
    return count;
}

bool PassesEntryTest(ImportKind kind, const std::string& candidate) {
    switch (kind) {
        case ImportKind::TextFileImport:
        case ImportKind::TextFileExtract:
            return !StripLineBreaks(candidate).empty();
        case ImportKind::ClipboardExtract:
            return IsMobileNumber(TrimBlanks(candidate));
        case ImportKind::ExcelExtract:
            return IsDigits1To12(TrimBlanks(candidate));
    }
    return false;
}

std::string AddedText(const std::string& candidate) {
    return StripLineBreaks(candidate);
}

long long CountedCopies(long long candidates, const std::optional<VerificationCopy>& verification) {
    if (!verification || verification->interval < 1)
        return 0;
    return candidates / verification->interval;
}

bool ExceedsRecipientCap(long long candidates, long long countedCopies) {
    return candidates + countedCopies > kRecipientCap;
}

AddPlan BuildAddPlan(ImportKind kind, std::vector<std::string> candidates,
                     const std::optional<VerificationCopy>& verification) {
    AddPlan plan;
    const long long count = static_cast<long long>(candidates.size());
    const long long copiesCounted = CountedCopies(count, verification);
    plan.progressMaximum = count + copiesCounted;
    plan.entries.reserve(candidates.size() + static_cast<size_t>(copiesCounted) + 1);
    plan.progressAfter.reserve(plan.entries.capacity());

    long long steps = 0;
    auto add = [&](std::string entry) {
        plan.entries.push_back(std::move(entry));
        plan.progressAfter.push_back(steps);
    };

    const bool copyFirst = verification && count < verification->interval;
    const bool interleave = verification && !copyFirst;
    if (copyFirst) {
        add(verification->number);
        ++steps;
        plan.progressAfter.back() = steps;
    }
    const long long interval = interleave ? verification->interval : 0;
    long long copies = 0;  // j
    auto atCopy = [&](long long i) {
        return interleave && i == interval * copies && copies <= copiesCounted;
    };
    for (long long i = 0; i < count; ++i) {
        std::string& candidate = candidates[static_cast<size_t>(i)];
        ++steps;
        if (isTextFileKind(kind) && atCopy(i)) {
            ++steps;
            add(verification->number);
            ++copies;
        }
        if (!PassesEntryTest(kind, candidate))
            continue;
        if (!isTextFileKind(kind) && atCopy(i)) {
            ++steps;
            add(verification->number);
            ++copies;
        }
        add(AddedText(candidate));
        ++plan.candidatesAdded;
    }
    plan.totalSteps = steps;
    return plan;
}

std::vector<ImportBatch> SplitIntoBatches(AddPlan plan, size_t batchSize) {
    std::vector<ImportBatch> batches;
    if (batchSize == 0)
        batchSize = 1;
    long long stepsSent = 0;
    const size_t count = plan.entries.size();
    for (size_t start = 0; start < count; start += batchSize) {
        const size_t end = std::min(count, start + batchSize);
        ImportBatch batch;
        batch.entries.reserve(end - start);
        for (size_t i = start; i < end; ++i)
            batch.entries.push_back(std::move(plan.entries[i]));
        const long long stepsNow = end == count ? plan.totalSteps : plan.progressAfter[end - 1];
        batch.progressSteps = stepsNow - stepsSent;
        stepsSent = stepsNow;
        batches.push_back(std::move(batch));
    }
    if (stepsSent < plan.totalSteps)
        batches.push_back({{}, plan.totalSteps - stepsSent});
    return batches;
}

const std::string& ReadingStatus(ImportKind kind) {
    static const std::string text = G("开始读取文本文件，请稍候........");
    static const std::string excel = G("开始读取Excel文件，请稍候........");
    static const std::string clipboard = G("开始读取剪切板内容，请稍候........");
    switch (kind) {
        case ImportKind::ExcelExtract:
            return excel;
        case ImportKind::ClipboardExtract:
            return clipboard;
        default:
            return text;
    }
}

const std::string& AddingStatus(ImportKind kind) {
    static const std::string text = G("文件读取完毕，开始导入号码，请稍候........");
    static const std::string excel = G("Excel文件读取完毕，开始导入号码，请稍候........");
    static const std::string clipboard = G("剪切板内容读取完毕，开始导入号码，请稍候........");
    switch (kind) {
        case ImportKind::ExcelExtract:
            return excel;
        case ImportKind::ClipboardExtract:
            return clipboard;
        default:
            return text;
    }
}

std::optional<std::string> ReadWholeFile(const std::string& path, long long maxBytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return std::nullopt;
    return bytes;
}

ImportOutcome RunImport(const ImportRequest& request, ImportEvents& events, size_t batchSize) {
    const ImportKind kind = request.kind;
    bool adding = false;
    try {
        events.status(ReadingStatus(kind));

        SourceRead read;
        switch (kind) {
            case ImportKind::TextFileImport:
            case ImportKind::TextFileExtract: {
                std::optional<std::string> text = ReadWholeFile(request.payload, kMaxTextFileBytes);
                if (!text) {
                    events.failed(ImportFailure::TextFileUnreadable);
                    return ImportOutcome::Failed;
                }
                // A file saved as "Unicode" or as UTF-8 with its mark is read as the text it
                // holds (its numbers were lost, or the first one spoilt by the mark); any
                // other file is taken as GBK bytes, as always.
                std::string gbk = TextFileBytesAsGbk(std::move(*text));
                if (kind == ImportKind::TextFileImport) {
                    const long long lines = CountNonBlankLines(gbk);
                    read = ReadTextImport(std::move(gbk));
                    read.tally.lines = lines;
                    read.tally.duplicates = lines - read.tally.added;
                } else {
                    read = ReadExtract(gbk);
                }
                break;
            }
            case ImportKind::ExcelExtract: {
                std::optional<SpreadsheetNumbers> sheet =
                    ReadSpreadsheetNumbersTallied(request.payload);
                if (!sheet) {
                    events.failed(ImportFailure::SpreadsheetUnreadable);
                    return ImportOutcome::Failed;
                }
                read.candidates = std::move(sheet->numbers);
                read.tally = std::move(sheet->tally);
                read.numbersInSource = sheet->numbersInSheet;
                break;
            }
            case ImportKind::ClipboardExtract:
                read = ReadExtract(request.payload);
                break;
        }

        const long long count = static_cast<long long>(read.candidates.size());
        if (ExceedsRecipientCap(count, CountedCopies(count, request.verification))) {
            events.refuseOverCap(std::move(read));
            return ImportOutcome::Refused;
        }

        ImportTally tally = std::move(read.tally);
        AddPlan plan = BuildAddPlan(kind, std::move(read.candidates), request.verification);
        tally.added = plan.candidatesAdded;
        events.status(AddingStatus(kind));
        adding = true;
        events.beginAdding(plan.progressMaximum);
        for (ImportBatch& batch : SplitIntoBatches(std::move(plan), batchSize))
            events.addBatch(std::move(batch));
        events.tally(tally);
        return ImportOutcome::Added;
    } catch (const std::exception&) {
        // Out of memory while reading or planning: the source counts as unreadable. Once
        // entries flow, and for the clipboard, the run ends through the completion step.
        if (adding || kind == ImportKind::ClipboardExtract)
            return ImportOutcome::Added;
        events.failed(kind == ImportKind::ExcelExtract ? ImportFailure::SpreadsheetUnreadable
                                                       : ImportFailure::TextFileUnreadable);
        return ImportOutcome::Failed;
    }
}

}  // namespace smsc
