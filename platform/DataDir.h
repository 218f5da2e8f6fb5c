#pragma once
// The program's data folder: the folder of its executable, where the settings files, the
// address book, the phrase files, the databases, pictures and clips live. Tests point it
// at a temporary copy.

#include <string>

namespace smsc {

// The data folder, always ending in '/'. Until set, the folder of the running executable.
std::string DataDir();
void SetDataDir(const std::string& folder);

// DataDir() + relative, with any '\' of the relative path turned into '/'.
std::string DataPath(const std::string& relative);

// File name (without folder) of the running executable.
std::string ExecutableFileName();

}  // namespace smsc
