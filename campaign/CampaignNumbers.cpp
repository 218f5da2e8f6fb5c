#include "campaign/CampaignNumbers.h"

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

void CampaignNumbers::addText(const std::string& text) {
    std::vector<std::string> found = ExtractMobileNumbers(text);
    m_numbers.reserve(m_numbers.size() + found.size());
    m_seen.reserve(m_seen.size() + found.size());
    for (std::string& number : found)
        if (firstTime(number))
            m_numbers.push_back(std::move(number));
}

std::vector<std::string> CampaignNumbers::take() {
    m_seen.clear();
    return std::move(m_numbers);
}

}  // namespace smsc::campaign
