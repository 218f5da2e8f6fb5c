#include "platform/AviClip.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

namespace smsc {

namespace {

constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr int kMaxListDepth = 4;
constexpr int kMaxStreams = 100;  // stream numbers are two decimal digits in chunk ids

// Bounds-checked little-endian view of the file bytes.
class Bytes {
public:
    explicit Bytes(const QByteArray& data)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(size_t(data.size())) {}

    size_t size() const { return m_size; }
    const uchar* at(size_t offset) const { return m_data + offset; }
    bool has(size_t offset, size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    quint16 u16(size_t offset) const { return quint16(m_data[offset] | (m_data[offset + 1] << 8)); }
    quint32 u32(size_t offset) const {
        return quint32(m_data[offset]) | (quint32(m_data[offset + 1]) << 8) |
               (quint32(m_data[offset + 2]) << 16) | (quint32(m_data[offset + 3]) << 24);
    }
    qint32 i32(size_t offset) const { return qint32(u32(offset)); }
    bool isId(size_t offset, const char* id) const { return std::memcmp(at(offset), id, 4) == 0; }

private:
    const uchar* m_data;
    size_t m_size;
};

struct Span {
    size_t begin = 0;
    size_t end = 0;
};

struct Chunk {
    size_t idOffset = 0;  // the four-character id; for LIST chunks the list type follows data
    Span data;
    bool isList = false;  // data then starts with the list type
};

// Walks the chunks of [span.begin, span.end). A chunk whose size runs past its container
// makes the walk fail; fewer than 8 trailing bytes (padding some writers leave) are ignored.
template <typename Visit>
bool ForEachChunk(const Bytes& bytes, Span span, Visit&& visit) {
    size_t pos = span.begin;
    while (span.end - pos >= 8) {
        const quint32 size = bytes.u32(pos + 4);
        const size_t dataBegin = pos + 8;
        if (size > span.end - dataBegin)
            return false;
        Chunk chunk;
        chunk.idOffset = pos;
        chunk.data = {dataBegin, dataBegin + size};
        chunk.isList = bytes.isId(pos, "LIST") && size >= 4;
        if (!visit(chunk))
            return false;
        // Chunks start on even offsets; the pad byte may be missing at the very end.
        pos = std::min(span.end, chunk.data.end + (size & 1u));
    }
    return true;
}

struct VideoFormat {
    int streamNumber = -1;
    qint32 width = 0;
    qint32 height = 0;  // negative: rows stored top-down
    quint16 bitCount = 0;
    quint32 compression = 0;
    QList<QRgb> palette;
    quint32 scale = 0;
    quint32 rate = 0;
};

struct Header {
    quint32 microsecondsPerFrame = 0;
    std::optional<VideoFormat> video;
};

bool ParseBitmapInfo(const Bytes& bytes, Span strf, VideoFormat& format) {
    const size_t size = strf.end - strf.begin;
    if (size < 40)
        return false;
    const size_t b = strf.begin;
    const quint32 headerSize = bytes.u32(b);
    if (headerSize < 40 || headerSize > size)
        return false;
    format.width = bytes.i32(b + 4);
    format.height = bytes.i32(b + 8);
    format.bitCount = bytes.u16(b + 14);
    format.compression = bytes.u32(b + 16);
    const quint32 colorsUsed = bytes.u32(b + 32);

    if (format.bitCount == 8) {
        // RGBQUAD entries after the header; entries not stored stay black.
        const size_t wanted = colorsUsed == 0 ? 256 : std::min<quint32>(colorsUsed, 256);
        const size_t stored = std::min(wanted, (size - headerSize) / 4);
        format.palette.fill(qRgb(0, 0, 0), 256);
        for (size_t i = 0; i < stored; ++i) {
            const uchar* q = bytes.at(b + headerSize + 4 * i);
            format.palette[qsizetype(i)] = qRgb(q[2], q[1], q[0]);
        }
    }
    return true;
}

bool ParseStreamList(const Bytes& bytes, Span strl, int streamNumber, Header& header) {
    bool isVideo = false;
    VideoFormat format;
    bool haveFormat = false;
    const bool ok = ForEachChunk(bytes, strl, [&](const Chunk& c) {
        const size_t size = c.data.end - c.data.begin;
        if (bytes.isId(c.idOffset, "strh") && size >= 28) {
            isVideo = bytes.isId(c.data.begin, "vids");
            format.scale = bytes.u32(c.data.begin + 20);
            format.rate = bytes.u32(c.data.begin + 24);
        } else if (bytes.isId(c.idOffset, "strf")) {
            haveFormat = ParseBitmapInfo(bytes, c.data, format);
        }
        return true;
    });
    if (!ok)
        return false;
    if (isVideo && !header.video) {
        if (!haveFormat)
            return false;
        format.streamNumber = streamNumber;
        header.video = format;
    }
    return true;
}

bool ParseHeaderList(const Bytes& bytes, Span hdrl, Header& header) {
    int streamNumber = 0;
    return ForEachChunk(bytes, hdrl, [&](const Chunk& c) {
        if (bytes.isId(c.idOffset, "avih") && c.data.end - c.data.begin >= 4) {
            header.microsecondsPerFrame = bytes.u32(c.data.begin);
        } else if (c.isList && bytes.isId(c.data.begin, "strl")) {
            if (streamNumber >= kMaxStreams)
                return false;
            return ParseStreamList(bytes, {c.data.begin + 4, c.data.end}, streamNumber++, header);
        }
        return true;
    });
}

// Decodes one RLE8 frame over the previous picture (pixels the data skips keep their
// colour). Rows run bottom-up. Damaged data ends the frame early; nothing is written
// outside the picture.
void DecodeRle8(const uchar* src, size_t n, QImage& image) {
    const int w = image.width();
    const int h = image.height();
    int x = 0;
    int y = 0;  // counted from the first stored row
    auto line = [&](int row) { return image.scanLine(h - 1 - row); };
    size_t i = 0;
    while (i + 2 <= n && y < h) {
        const int count = src[i];
        const int value = src[i + 1];
        i += 2;
        if (count > 0) {
            if (x < w) {
                std::memset(line(y) + x, value, size_t(std::min(count, w - x)));
            }
            x = std::min(w, x + count);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            return;
        } else if (value == 2) {  // delta: skip dx pixels and dy stored rows
            if (i + 2 > n)
                return;
            x = std::min(w, x + src[i]);
            y += src[i + 1];
            i += 2;
        } else {  // absolute run of `value` literal indices, padded to an even length
            const size_t literal = std::min<size_t>(size_t(value), n - i);
            if (x < w) {
                std::memcpy(line(y) + x, src + i, std::min<size_t>(literal, size_t(w - x)));
            }
            x = std::min(w, x + int(literal));
            i += size_t(value) + (value & 1);
        }
    }
}

class FrameDecoder {
public:
    FrameDecoder(const VideoFormat& format, QList<QImage>& frames)
        : m_format(format), m_frames(frames) {
        m_width = format.width;
        m_height = format.height < 0 ? int(-qint64(format.height)) : format.height;
        m_topDown = format.height < 0;
        m_imageFormat = format.bitCount == 24 ? QImage::Format_BGR888 : QImage::Format_Indexed8;
        const qint64 pixelBytes = format.bitCount == 24 ? 3 : 1;
        m_frameBytes = ((qint64(m_width) * pixelBytes + 3) & ~qint64(3)) * m_height;
        m_storedStride = size_t(((qint64(m_width) * format.bitCount + 31) / 32) * 4);
    }

    static bool isSupported(const VideoFormat& f) {
        const qint64 height = f.height < 0 ? -qint64(f.height) : qint64(f.height);
        if (f.width <= 0 || f.width > AviClip::kMaxDimension)
            return false;
        if (height <= 0 || height > AviClip::kMaxDimension)
            return false;
        if (f.compression == kBiRgb)
            return f.bitCount == 8 || f.bitCount == 24;
        // RLE bitmaps are always stored bottom-up.
        return f.compression == kBiRle8 && f.bitCount == 8 && f.height > 0;
    }

    QSize size() const { return QSize(m_width, m_height); }

    bool decode(const Bytes& bytes, Span data) {
        if (m_frames.size() >= AviClip::kMaxFrames)
            return false;
        const size_t size = data.end - data.begin;
        if (size == 0 && !m_frames.isEmpty()) {  // an empty chunk repeats the last frame
            m_frames.append(m_frames.constLast());
            return true;
        }
        m_decodedBytes += m_frameBytes;
        if (m_decodedBytes > AviClip::kMaxDecodedBytes)
            return false;

        QImage image;
        if (m_format.compression == kBiRle8 && !m_frames.isEmpty()) {
            image = m_frames.constLast().copy();
        } else {
            image = QImage(m_width, m_height, m_imageFormat);
            if (!image.isNull())
                image.fill(0);
        }
        if (image.isNull())
            return false;
        if (m_imageFormat == QImage::Format_Indexed8)
            image.setColorTable(m_format.palette);

        if (m_format.compression == kBiRle8) {
            DecodeRle8(bytes.at(data.begin), size, image);
        } else if (size > 0) {
            // The last row's padding may be left out; anything shorter is a damaged frame.
            const size_t rowBytes = size_t(m_width) * (m_format.bitCount / 8);
            if (size < m_storedStride * size_t(m_height - 1) + rowBytes)
                return false;
            for (int row = 0; row < m_height; ++row) {
                const int target = m_topDown ? row : m_height - 1 - row;
                std::memcpy(image.scanLine(target),
                            bytes.at(data.begin + size_t(row) * m_storedStride), rowBytes);
            }
        }
        m_frames.append(image);
        return true;
    }

private:
    const VideoFormat& m_format;
    QList<QImage>& m_frames;
    int m_width = 0;
    int m_height = 0;
    bool m_topDown = false;
    QImage::Format m_imageFormat = QImage::Format_Indexed8;
    qint64 m_frameBytes = 0;
    qint64 m_decodedBytes = 0;
    size_t m_storedStride = 0;
};

bool IsFrameChunk(const Bytes& bytes, size_t idOffset, int streamNumber) {
    const uchar* id = bytes.at(idOffset);
    return id[0] == '0' + streamNumber / 10 && id[1] == '0' + streamNumber % 10 && id[2] == 'd' &&
           (id[3] == 'b' || id[3] == 'c');
}

bool DecodeMovie(const Bytes& bytes, Span movi, int depth, int streamNumber,
                 FrameDecoder& decoder) {
    return ForEachChunk(bytes, movi, [&](const Chunk& c) {
        if (c.isList) {
            // Frames may be grouped in 'rec ' lists.
            if (!bytes.isId(c.data.begin, "rec "))
                return true;
            if (depth >= kMaxListDepth)
                return false;
            return DecodeMovie(bytes, {c.data.begin + 4, c.data.end}, depth + 1, streamNumber,
                               decoder);
        }
        if (!IsFrameChunk(bytes, c.idOffset, streamNumber))
            return true;
        return decoder.decode(bytes, c.data);
    });
}

}  // namespace

bool AviClip::load(const QString& path) {
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxFileBytes)
        return false;
    const QByteArray data = file.read(kMaxFileBytes + 1);
    if (data.size() > kMaxFileBytes)
        return false;
    return loadFromData(data);
}

bool AviClip::loadFromData(const QByteArray& data) {
    clear();
    if (data.size() > kMaxFileBytes)
        return false;
    const Bytes bytes(data);
    if (!bytes.has(0, 12) || !bytes.isId(0, "RIFF") || !bytes.isId(8, "AVI "))
        return false;
    const quint32 riffSize = bytes.u32(4);
    if (riffSize < 4 || riffSize > bytes.size() - 8)
        return false;  // truncated file
    const Span riff{12, 8 + size_t(riffSize)};

    Header header;
    std::optional<Span> movi;
    const bool ok = ForEachChunk(bytes, riff, [&](const Chunk& c) {
        if (!c.isList)
            return true;
        const Span inner{c.data.begin + 4, c.data.end};
        if (bytes.isId(c.data.begin, "hdrl"))
            return ParseHeaderList(bytes, inner, header);
        if (bytes.isId(c.data.begin, "movi") && !movi)
            movi = inner;
        return true;
    });
    if (!ok || !header.video || !movi)
        return false;
    const VideoFormat& format = *header.video;
    if (!FrameDecoder::isSupported(format))
        return false;

    QList<QImage> frames;
    FrameDecoder decoder(format, frames);
    if (!DecodeMovie(bytes, *movi, 0, format.streamNumber, decoder) || frames.isEmpty()) {
        return false;
    }

    quint32 period = header.microsecondsPerFrame;
    if (period == 0 && format.rate != 0 && format.scale != 0) {
        period =
            quint32(std::min<quint64>(quint64(format.scale) * 1000000 / format.rate, UINT32_MAX));
    }
    m_frames = std::move(frames);
    m_size = decoder.size();
    m_microsecondsPerFrame = period != 0 ? period : kDefaultMicrosecondsPerFrame;
    return true;
}

void AviClip::clear() {
    m_frames.clear();
    m_size = QSize();
    m_microsecondsPerFrame = 0;
}

}  // namespace smsc
