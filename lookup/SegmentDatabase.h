#pragma once
// The connection to the number-segment database (sjhmd.dat). Opened once at start-up and
// kept for the run; every lookup reports "not found" while it is closed. The database
// reader itself is not part of this build yet, so the connection never opens.

#include <string>

namespace smsc {

class SegmentDatabase final {
public:
    SegmentDatabase() = default;
    ~SegmentDatabase() = default;
    SegmentDatabase(const SegmentDatabase&) = delete;
    SegmentDatabase& operator=(const SegmentDatabase&) = delete;

    // Opens the database file; false when it cannot be opened (the connection stays closed).
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_open; }
    // The file of the last open attempt.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_open = false;
};

}  // namespace smsc
