// The .xlsx reader through real zip files. An input starting with "PK" is the file itself;
// any other input is the package's parts separated by "\n====\n", in the order of kParts.
#include <minizip/zip.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/AtomicFile.h"
#include "recipients/SpreadsheetReader.h"

namespace {

const char* const kParts[] = {"_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                              "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml"};
std::string g_path;

bool writePackage(std::string_view input) {
    zipFile zip = zipOpen64(g_path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    const std::string_view separator = "\n====\n";
    for (const char* name : kParts) {
        const size_t end = input.find(separator);
        const std::string_view part = input.substr(0, end);
        zip_fileinfo info{};
        // Stored, not deflated: quicker runs; inputs that are zip files themselves reach
        // the inflating side.
        if (zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) ==
            ZIP_OK) {
            zipWriteInFileInZip(zip, part.data(), static_cast<unsigned>(part.size()));
            zipCloseFileInZip(zip);
        }
        if (end == std::string_view::npos)
            break;
        input.remove_prefix(end + separator.size());
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when there is /dev/shm: every input is written to a file.
    std::string folder = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") +
                         std::string("smsc-fuzz-xlsx-XXXXXX");
    if (!mkdtemp(folder.data()))
        std::abort();
    g_path = folder + "/numbers.xlsx";
    std::atexit([] {
        ::unlink(g_path.c_str());
        ::rmdir(g_path.substr(0, g_path.rfind('/')).c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool written =
        input.starts_with("PK") ? smsc::WriteFileAtomically(g_path, input) : writePackage(input);
    if (!written)
        return 0;
    smsc::ReadSpreadsheetNumbers(g_path);
    smsc::ReadFirstSheetCells(g_path);
    return 0;
}
