#pragma once
// The program's data folders. A build folder (or any copy whose executable folder may be
// written) keeps everything next to the executable, as always. An installed copy (its folder
// is not writable, or carries the marker kInstalledMarker) reads its read-only resources
// (pictures, clips, index.html, the segment database) from the folder of the executable and
// keeps every file it writes in the per-user folder ($XDG_DATA_HOME/smsclient/, by default
// ~/.local/share/smsclient/), seeded on first start from the installed defaults. Tests and
// --data-dir point both folders at one folder.

#include <string>

namespace smsc {

// Folder for everything the program writes (settings, address book, phrases, downloads'
// default folder), always ending in '/'. Until set, decided as described above.
std::string DataDir();
// Folder of the read-only resources, always ending in '/': the folder of the executable.
std::string ResourceDir();
// Points both folders at one folder (tests, --data-dir).
void SetDataDir(const std::string& folder);

// The path of a data file: a user-editable one (IsUserDataFile) in DataDir(); any other in
// ResourceDir() when it is there, else in DataDir() (a file the program creates). Any '\'
// of the relative path is turned into '/'.
std::string DataPath(const std::string& relative);

// File name (without folder) of the running executable.
std::string ExecutableFileName();
// Full path of the running executable (empty when the system does not tell).
std::string ExecutablePath();

// --- The decision, open to tests -----------------------------------------------------------

// File whose presence in the folder of the executable marks an installed copy.
inline constexpr const char* kInstalledMarker = ".smsclient-installed";

// Whether a path relative to the data folder names a file the user edits: the settings
// files, the opt-out list, the address book folder and the phrase folder.
bool IsUserDataFile(const std::string& relative);

struct DataFolders {
    std::string data;       // ends in '/'
    std::string resources;  // ends in '/'
};

// Sets both folders as decided (tests).
void SetDataFolders(const DataFolders& folders);

// exeDir: folder of the executable; exeDirUsable: it may be written and is no installed copy.
// An unusable exeDir gives userDir as data folder, seeded from exeDir (SeedUserFolder).
DataFolders ChooseDataFolders(const std::string& exeDir, bool exeDirUsable,
                              const std::string& userDir);

// Copies every missing user file (settings files; the address book and phrase folders, each
// as a whole when the user has none) from defaultsDir into userDir, creating userDir
// (owner-only). A file or folder the user already has is never touched. Best effort: a
// default that cannot be copied is left out.
void SeedUserFolder(const std::string& defaultsDir, const std::string& userDir);

// $XDG_DATA_HOME/smsclient/ when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/smsclient/.
std::string UserDataFolder();

}  // namespace smsc
