#include "campaign/CampaignNumbers.h"

#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"

namespace smsc::campaign {

bool CampaignNumbers::firstTime(const std::string& number) {
    std::uint64_t key = 0;
    for (char c : number)
        key = key * 10 + static_cast<std::uint64_t>(c - '0');
    return m_seen.insert(key * 16 + number.size()).second;
}

void CampaignNumbers::addNumber(std::string number) {
    if (firstTime(number))
        m_numbers.push_back(std::move(number));
}

ImportTally CampaignNumbers::addText(const std::string& text) {
    NumbersOfText found = FindNumbersByLine(text);
    ImportTally tally = std::move(found.tally);
    tally.added = 0;
    m_numbers.reserve(m_numbers.size() + found.numbers.size());
    m_seen.reserve(m_seen.size() + found.numbers.size());
    for (std::string& number : found.numbers) {
        if (firstTime(number)) {
            m_numbers.push_back(std::move(number));
            ++tally.added;
        } else {
            ++tally.duplicates;
        }
    }
    return tally;
}

std::vector<std::string> CampaignNumbers::take() {
    m_seen.clear();
    return std::move(m_numbers);
}

}  // namespace smsc::campaign
