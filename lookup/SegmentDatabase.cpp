#include "lookup/SegmentDatabase.h"

namespace smsc {

bool SegmentDatabase::open(const std::string& path) {
    m_path = path;
    m_open = false;  // no reader for the segment table yet
    return m_open;
}

void SegmentDatabase::close() {
    m_open = false;
}

}  // namespace smsc
