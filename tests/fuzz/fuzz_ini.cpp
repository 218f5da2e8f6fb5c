// Settings files: read whatever is on disk, then write a key. A file the parser does not
// read whole must never be replaced.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when there is /dev/shm: every input is written to a file.
    std::string folder = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") +
                         std::string("smsc-fuzz-ini-XXXXXX");
    if (!mkdtemp(folder.data()))
        std::abort();
    g_path = folder + "/Company_Info.ini";
    std::atexit([] {
        ::unlink(g_path.c_str());
        ::rmdir(g_path.substr(0, g_path.rfind('/')).c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!smsc::WriteFileAtomically(g_path, bytes))
        return 0;
    smsc::IniFile ini(g_path);
    ini.value("Create_Skin", "Skin_index");
    ini.entries("Service_Url");
    ini.valueAt("Create_Line", 1);
    const bool readWhole = ini.reload();
    if (!ini.write("Create_Skin", "Skin_index", "3") && readWhole)
        __builtin_trap();  // a file read whole can be written
    if (!readWhole && smsc::ReadWholeFile(g_path) != bytes)
        __builtin_trap();  // a file not read whole is left as it was
    return 0;
}
