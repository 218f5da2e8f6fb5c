#include "service/NoticeCheck.h"

#include <strings.h>

#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Name and value of a line cut at its first "=".
std::optional<std::pair<std::string, std::string>> splitEntry(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return std::make_pair(TrimBlanks(std::string_view(line).substr(0, eq)),
                          TrimBlanks(std::string_view(line).substr(eq + 1)));
}

// Whether the entry can stand in Notice_info.ini as a name=value line and read back the
// same: a name opening a section ("[") or a comment (";", "#"), or a line break anywhere,
// would change the file's other entries when it is read again.
bool storableEntry(std::string_view name, std::string_view value) {
    if (name.empty() || name.front() == '[' || name.front() == ';' || name.front() == '#')
        return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '=' || b < 0x20 || b == 0x7F)
            return false;
    }
    return value.find_first_of("\r\n") == std::string_view::npos;
}

std::optional<std::string> localValue(const IniFile& local, const char* key) {
    auto v = local.value(kNoticeSection, key);
    if (v)
        *v = TrimBlanks(*v);
    return v;
}

class Saver {
public:
    Saver(IniFile& local, NoticeCheckHost& host) : m_local(local), m_host(host) {}
    void check(bool saved) {
        if (saved || m_reported)
            return;
        m_reported = true;
        m_host.saveFailed(m_local.path());
    }

private:
    IniFile& m_local;
    NoticeCheckHost& m_host;
    bool m_reported = false;
};

// The notice step; false when the notice file has no fourth line.
bool noticeStep(const NoticeFile& file, IniFile& local, NoticeCheckHost& host, NoticeCopyMode mode,
                Saver& saver) {
    const auto localNotice = localValue(local, "Notice");
    if (localNotice && *localNotice == file.value("Notice") && host.noticeSuppressed())
        return true;
    saver.check(CopyNoticeEntries(file, local, mode));
    const auto notice = file.fourthLineValue();
    if (!notice)
        return false;
    host.showNotice(NoticeParagraphs(*notice));
    return true;
}

// The cost step, given the local mmstosms as it was before the notice step copied the
// file's entries: a first run shows 5 and takes the file's value over only on the next run.
void costStep(const NoticeFile& file, IniFile& local, NoticeCheckHost& host,
              const std::optional<std::string>& before, Saver& saver) {
    const std::string fromFile = file.value("mmstosms");
    if (!before) {
        host.setCostNote(CostNoteText("5"));
        saver.check(local.write(kNoticeSection, "mmstosms", "5"));
    } else if (*before != fromFile) {
        host.setCostNote(CostNoteText(fromFile));
        saver.check(local.write(kNoticeSection, "mmstosms", fromFile));
    } else {
        host.setCostNote(CostNoteText(*before));
    }
}

}  // namespace

NoticeFile::NoticeFile(const std::string& body) {
    const std::string text = TrimBlanks(body);
    if (text.empty())
        return;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            m_lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    m_lines.push_back(std::move(line));
}

std::string NoticeFile::value(std::string_view name) const {
    for (const auto& line : m_lines) {
        auto entry = splitEntry(line);
        if (entry && sameName(entry->first, name))
            return entry->second;
    }
    return {};
}

std::vector<std::pair<std::string, std::string>> NoticeFile::entries() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& line : m_lines) {
        auto entry = splitEntry(line);
        if (entry && !entry->first.empty())
            out.push_back(std::move(*entry));
    }
    return out;
}

std::optional<std::string> NoticeFile::fourthLineValue() const {
    if (m_lines.size() < 4)
        return std::nullopt;
    const std::string& line = m_lines[3];
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::vector<std::string> NoticeParagraphs(const std::string& notice) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        const auto bar = notice.find('|', start);
        const std::string piece =
            notice.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        out.push_back("    " + piece + "\n\r\n\r");
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return out;
}

std::string CostNoteText(const std::string& count) {
    static const std::string head = G("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除");
    static const std::string tail = G("条短信");
    return head + count + tail;
}

bool CopyNoticeEntries(const NoticeFile& file, IniFile& local, NoticeCopyMode mode) {
    auto entries = file.entries();
    if (mode == NoticeCopyMode::AllButVersion)
        std::erase_if(entries, [](const auto& e) { return sameName(e.first, "Version"); });
    std::erase_if(entries, [](const auto& e) { return !storableEntry(e.first, e.second); });
    return local.write(kNoticeSection, entries);
}

NoticeCheckEnd RunNoticeCheck(const HttpResult& fetched, IniFile& local, NoticeCheckHost& host) {
    if (!fetched.ok) {
        host.networkFailure();
        return NoticeCheckEnd::NetworkFailure;
    }
    const NoticeFile file(fetched.body);
    Saver saver(local, host);
    local.reload();
    // The installed version is the program's own: a copy left in the user's folder by an
    // earlier version (a package upgrade never touches that folder) is brought up to date, or
    // the new version would go on offering itself as an update.
    if (localValue(local, "Version") != std::optional<std::string>(kInstalledVersion))
        saver.check(local.write(kNoticeSection, "Version", kInstalledVersion));
    const std::string installed = kInstalledVersion;
    const auto costBefore = localValue(local, "mmstosms");

    NoticeCopyMode mode = NoticeCopyMode::All;
    if (installed != file.value("Version")) {
        if (host.askUpdate()) {
            host.startUpdaterAndExit();
            return NoticeCheckEnd::UpdateAccepted;
        }
        mode = NoticeCopyMode::AllButVersion;
    }
    host.setVersionLabel("V " + installed);
    if (!noticeStep(file, local, host, mode, saver))
        return NoticeCheckEnd::Stopped;
    costStep(file, local, host, costBefore, saver);
    return NoticeCheckEnd::Completed;
}

}  // namespace smsc
