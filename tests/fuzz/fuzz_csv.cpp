// The CSV reader of the spreadsheet import (UTF-16, UTF-8 and GBK text).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "recipients/SpreadsheetReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    smsc::ParseCsvCells(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
