// Variable SMS: a table from text (tab- or comma-separated, any encoding mark) and a
// template from the same bytes, rendered, checked and grouped.
#include <cstddef>
#include <cstdint>
#include <string>

#include "variable/VariableSms.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first line is the template, the rest the table.
    const size_t end = bytes.find('\n');
    const std::string templateText = bytes.substr(0, end);
    std::string error;
    const std::optional<smsc::variable::VariableTable> table = smsc::variable::TableFromText(
        end == std::string::npos ? std::string() : bytes.substr(end + 1), &error);
    const smsc::variable::ParsedTemplate parsed = smsc::variable::ParseTemplate(templateText);
    if (table) {
        smsc::variable::PlanVariableSms(parsed, *table, {});
        if (!table->rows.empty())
            smsc::variable::RenderRow(parsed, *table, 0, &error);
    }
    return 0;
}
