// The .ods reader through real zip files. An input starting with "PK" is the file itself; any
// other input is the content.xml of a package that has its "mimetype" entry first.
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

std::string g_path;

bool writePackage(std::string_view content) {
    zipFile zip = zipOpen64(g_path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    const std::pair<const char*, std::string_view> entries[] = {
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}};
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info{};
        // Stored: quicker runs; inputs that are zip files themselves reach the inflating side.
        if (zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) ==
            ZIP_OK) {
            zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
            zipCloseFileInZip(zip);
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string folder = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") +
                         std::string("smsc-fuzz-ods-XXXXXX");
    if (!mkdtemp(folder.data()))
        std::abort();
    g_path = folder + "/sheet.ods";
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
    // Not the cell list: a repeated cell may stand for millions of cells, which that lists.
    smsc::ReadSheetTable(g_path, {});
    return 0;
}
