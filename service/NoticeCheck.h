#pragma once
// The notice check, run once per start: the service's notice file "softweb/message.txt"
// (GBK, one name=value entry per line) announces the current client version, a system
// notice (always the fourth line; paragraphs separated by "|") and the SMS cost of one MMS.
// A local copy of its entries in Notice_info.ini tells the next run what changed.
// All text here is GBK; the windows are reached through NoticeCheckHost.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/ServiceClient.h"

namespace smsc {

class IniFile;

// Section of Notice_info.ini that holds the local copy.
inline constexpr const char* kNoticeSection = "Notice_info";
// Version of this build, written as the local Version when the key is missing.
inline constexpr const char* kInstalledVersion = "6.8";

class NoticeFile final {
public:
    // Trims the body (bytes of code 0x20 or lower at both ends) and cuts it into lines at
    // CR LF, CR and LF.
    explicit NoticeFile(const std::string& body);

    const std::vector<std::string>& lines() const { return m_lines; }
    // Trimmed value of the first entry of that name (letter case ignored); empty when
    // there is none.
    std::string value(std::string_view name) const;
    // The name=value lines in file order, name and value trimmed. Lines without "=" or
    // with an empty name are not entries.
    std::vector<std::pair<std::string, std::string>> entries() const;
    // The value (text after the first "=") of the fourth line, which is the notice whatever
    // its name; nullopt when the file has fewer than four lines.
    std::optional<std::string> fourthLineValue() const;

private:
    std::vector<std::string> m_lines;
};

// The notice window's lines for a notice value: one per "|" piece, four spaces + the piece
// + "\n\r\n\r" (each paragraph indented and followed by an empty line).
std::vector<std::string> NoticeParagraphs(const std::string& notice);

// "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除" + count + "条短信".
std::string CostNoteText(const std::string& count);

enum class NoticeCopyMode { All, AllButVersion };

// Copies the file's entries into the local copy (Version left out in AllButVersion, so a
// declined update is offered again) and saves it. Entries the INI file cannot hold as they
// are (a name starting with "[", ";" or "#", or holding "=" or control bytes) are left out.
// Returns whether the save succeeded.
bool CopyNoticeEntries(const NoticeFile& file, IniFile& local, NoticeCopyMode mode);

// What the check needs from the windows. Texts are GBK.
class NoticeCheckHost {
public:
    virtual ~NoticeCheckHost() = default;
    // The notice file could not be fetched ("网络异常，请检查网络！").
    virtual void networkFailure() = 0;
    // "发现有新版软件,是否现在需要升级?"; true when the user accepts.
    virtual bool askUpdate() = 0;
    // Starts the updater (a failure to start is ignored) and ends the program.
    virtual void startUpdaterAndExit() = 0;
    // The main window's version label, "V " + version.
    virtual void setVersionLabel(const std::string& text) = 0;
    // Whether "以后不再显示" is ticked.
    virtual bool noticeSuppressed() = 0;
    // Fills the notice window with the lines, unticks "以后不再显示" and shows it modally.
    virtual void showNotice(const std::vector<std::string>& lines) = 0;
    // The MMS page's cost note.
    virtual void setCostNote(const std::string& text) = 0;
    // The local copy could not be saved (reported at most once per check).
    virtual void saveFailed(const std::string& path) = 0;
};

enum class NoticeCheckEnd {
    NetworkFailure,  // the notice file was not reachable
    UpdateAccepted,  // the updater was started and the program ends
    Completed,       // version, notice and cost steps ran
    Stopped,         // the notice file was unusable; the check ended silently
};

// The check on a fetched notice file (FetchNotice), with the local copy Notice_info.ini.
NoticeCheckEnd RunNoticeCheck(const HttpResult& fetched, IniFile& local, NoticeCheckHost& host);

}  // namespace smsc
