#pragma once
// Decoder for the clips the wait windows play: RIFF AVI files with one video stream and no
// sound, frames stored uncompressed (8-bit with palette or 24-bit) or run-length encoded
// (RLE8). Everything is decoded when the clip is loaded; a damaged file is refused as a
// whole rather than played half.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

namespace smsc {

class AviClip final {
public:
    // Limits that keep a damaged or hostile file from exhausting memory.
    static constexpr int kMaxDimension = 4096;
    static constexpr int kMaxFrames = 10000;
    static constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;
    static constexpr qint64 kMaxDecodedBytes = 64LL * 1024 * 1024;
    // Used when the file states no frame period at all (15 frames a second).
    static constexpr quint32 kDefaultMicrosecondsPerFrame = 66667;

    // Replace the clip by the one in the file or bytes; false (and an empty clip) when the
    // file is missing, unreadable, damaged, too large or in a format not played here.
    bool load(const QString& path);
    bool loadFromData(const QByteArray& bytes);
    void clear();

    bool isEmpty() const { return m_frames.isEmpty(); }
    int frameCount() const { return int(m_frames.size()); }
    QSize size() const { return m_size; }
    quint32 microsecondsPerFrame() const { return m_microsecondsPerFrame; }
    // Frame 0 .. frameCount() - 1: Indexed8 for 8-bit clips, BGR888 for 24-bit ones.
    const QImage& frame(int index) const { return m_frames.at(index); }

private:
    QList<QImage> m_frames;
    QSize m_size;
    quint32 m_microsecondsPerFrame = 0;
};

}  // namespace smsc
