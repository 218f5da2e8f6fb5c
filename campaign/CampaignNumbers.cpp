#include "campaign/CampaignNumbers.h"

namespace smsc::campaign {

void CampaignNumbers::addNumber(std::string number) {
    if (m_seen.insert(number))
        m_numbers.push_back(std::move(number));
}

ImportTally CampaignNumbers::addText(const std::string& text) {
    return AppendNumbersByLine(text, m_seen, m_numbers);
}

std::vector<std::string> CampaignNumbers::take() {
    m_seen = SeenNumbers();
    return std::move(m_numbers);
}

}  // namespace smsc::campaign
