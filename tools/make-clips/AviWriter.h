#pragma once
// Writes the small AVI clips the wait windows play: one video stream, no sound, frames
// uncompressed (8-bit with palette or 24-bit) or RLE8. Header-only and free of Qt so the
// tests can build clips of every kind with it.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace smsc::clips {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;

struct AviFormat {
    int32_t width = 0;
    int32_t height = 0;  // negative: rows stored top-down (uncompressed frames only)
    uint16_t bitCount = 8;
    uint32_t compression = kBiRgb;
    std::vector<uint32_t> palette;  // 0xRRGGBB, at most 256 entries, for 8-bit clips
    uint32_t microsecondsPerFrame = 100000;
    bool groupInRecLists = false;  // put every frame into its own LIST 'rec '
};

inline void PutU16(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

inline void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A chunk with its id, size and the pad byte that keeps the next chunk on an even offset.
inline std::string Chunk(const std::string& id, const std::string& payload) {
    std::string out = id;
    PutU32(out, uint32_t(payload.size()));
    out += payload;
    if (payload.size() & 1)
        out += '\0';
    return out;
}

inline std::string List(const std::string& type, const std::string& content) {
    return Chunk("LIST", type + content);
}

// The stored rows of an uncompressed frame from top-down pixel rows of bytesPerPixel each
// (B, G, R for 24-bit): bottom-up unless storeTopDown, each row padded to 4 bytes.
inline std::string PackRows(const std::vector<uint8_t>& topDown, int width, int height,
                            int bytesPerPixel, bool storeTopDown = false) {
    const size_t rowBytes = size_t(width) * size_t(bytesPerPixel);
    const size_t stride = (rowBytes + 3) & ~size_t(3);
    std::string out;
    out.reserve(stride * size_t(height));
    for (int i = 0; i < height; ++i) {
        const int row = storeTopDown ? i : height - 1 - i;
        out.append(reinterpret_cast<const char*>(topDown.data()) + size_t(row) * rowBytes,
                   rowBytes);
        out.append(stride - rowBytes, '\0');
    }
    return out;
}

// Encodes n pixels as runs of equal indices and absolute (literal) stretches.
inline void EncodeRleSpan(std::string& out, const uint8_t* p, int n) {
    int i = 0;
    while (i < n) {
        int run = 1;
        while (i + run < n && run < 255 && p[i + run] == p[i])
            ++run;
        if (run >= 3 || n - i < 3) {
            out += char(run);
            out += char(p[i]);
            i += run;
            continue;
        }
        int j = i;
        while (j < n && j - i < 255) {
            if (j + 2 < n && p[j] == p[j + 1] && p[j] == p[j + 2])
                break;
            ++j;
        }
        const int length = j - i;
        if (length < 3) {  // absolute mode needs at least 3 pixels
            for (int k = i; k < j; ++k) {
                out += char(1);
                out += char(p[k]);
            }
        } else {
            out += char(0);
            out += char(length);
            out.append(reinterpret_cast<const char*>(p + i), size_t(length));
            if (length & 1)
                out += '\0';
        }
        i = j;
    }
}

// An RLE8 frame from top-down indices. With the previous frame given, unchanged stretches
// are skipped with delta escapes, so the frame only paints what moved.
inline std::string EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height,
                              const std::vector<uint8_t>* previous = nullptr) {
    std::string out;
    int cx = 0;  // cursor; rows counted bottom-up as stored
    int cy = 0;
    auto moveTo = [&](int x, int y) {
        if (y > cy && x < cx) {  // end of line: back to the left edge of the next row
            out += '\0';
            out += '\0';
            cx = 0;
            ++cy;
        }
        while (cx < x || cy < y) {
            const int dx = std::min(255, x - cx);
            const int dy = std::min(255, y - cy);
            out += '\0';
            out += char(2);
            out += char(dx);
            out += char(dy);
            cx += dx;
            cy += dy;
        }
    };
    for (int y = 0; y < height; ++y) {
        const size_t offset = size_t(height - 1 - y) * size_t(width);
        const uint8_t* row = pixels.data() + offset;
        const uint8_t* before = previous ? previous->data() + offset : nullptr;
        int x = 0;
        while (x < width) {
            int end = width;
            if (before) {
                while (x < width && row[x] == before[x])
                    ++x;
                if (x == width)
                    break;
                // Take short unchanged gaps along: a delta escape costs four bytes.
                end = x + 1;
                for (int k = end; k < width && k - end < 4; ++k) {
                    if (row[k] != before[k])
                        end = k + 1;
                }
            }
            moveTo(x, y);
            EncodeRleSpan(out, row + x, end - x);
            cx = end;
            x = end;
        }
    }
    out += '\0';
    out += char(1);
    return out;
}

inline uint32_t AbsHeight(const AviFormat& f) {
    return uint32_t(f.height < 0 ? -int64_t(f.height) : int64_t(f.height));
}

// 'avih': frame period, frame count and picture size of the file.
inline std::string MainHeader(const AviFormat& f, uint32_t frames, uint32_t largestFrame) {
    std::string avih;
    PutU32(avih, f.microsecondsPerFrame);
    PutU32(avih, f.microsecondsPerFrame
                     ? uint32_t(uint64_t(largestFrame) * 1000000 / f.microsecondsPerFrame)
                     : 0);
    PutU32(avih, 0);     // padding granularity
    PutU32(avih, 0x10);  // has index
    PutU32(avih, frames);
    PutU32(avih, 0);  // initial frames
    PutU32(avih, 1);  // streams
    PutU32(avih, largestFrame);
    PutU32(avih, uint32_t(f.width));
    PutU32(avih, AbsHeight(f));
    for (int i = 0; i < 4; ++i)
        PutU32(avih, 0);
    return Chunk("avih", avih);
}

// 'strh' of a stream: type ("vids", "auds"), rate = frames per `scale` seconds.
inline std::string StreamHeader(const std::string& type, const std::string& handler, uint32_t scale,
                                uint32_t rate, uint32_t frames, const AviFormat& f) {
    std::string strh = type + handler;
    PutU32(strh, 0);  // flags
    PutU32(strh, 0);  // priority, language
    PutU32(strh, 0);  // initial frames
    PutU32(strh, scale);
    PutU32(strh, rate);
    PutU32(strh, 0);  // start
    PutU32(strh, frames);
    PutU32(strh, 0);           // suggested buffer size
    PutU32(strh, 0xFFFFFFFF);  // quality
    PutU32(strh, 0);           // sample size
    PutU16(strh, 0);
    PutU16(strh, 0);
    PutU16(strh, uint32_t(f.width));
    PutU16(strh, AbsHeight(f));
    return Chunk("strh", strh);
}

// 'strf' of a video stream: BITMAPINFOHEADER and the palette.
inline std::string BitmapInfo(const AviFormat& f, uint32_t imageSize = 0) {
    std::string strf;
    PutU32(strf, 40);
    PutU32(strf, uint32_t(f.width));
    PutU32(strf, uint32_t(f.height));
    PutU16(strf, 1);
    PutU16(strf, f.bitCount);
    PutU32(strf, f.compression);
    PutU32(strf, imageSize);
    PutU32(strf, 0);
    PutU32(strf, 0);
    PutU32(strf, uint32_t(f.palette.size()));
    PutU32(strf, 0);
    for (uint32_t rgb : f.palette) {
        strf += char(rgb & 0xFF);
        strf += char((rgb >> 8) & 0xFF);
        strf += char((rgb >> 16) & 0xFF);
        strf += '\0';
    }
    return Chunk("strf", strf);
}

inline std::string Riff(const std::string& content) {
    std::string out = "RIFF";
    PutU32(out, uint32_t(4 + content.size()));
    return out + "AVI " + content;
}

// A whole AVI file around the given frame chunks ("00db" uncompressed, "00dc" RLE8),
// with the usual 'idx1' index at the end.
inline std::string BuildAvi(const AviFormat& f, const std::vector<std::string>& frames) {
    const bool rle = f.compression == kBiRle8;
    const std::string frameId = rle ? "00dc" : "00db";
    size_t largest = 0;
    for (const std::string& frame : frames)
        largest = std::max(largest, frame.size());
    const uint32_t count = uint32_t(frames.size());

    const std::string hdrl =
        List("hdrl", MainHeader(f, count, uint32_t(largest)) +
                         List("strl", StreamHeader("vids", rle ? "mrle" : "DIB ",
                                                   f.microsecondsPerFrame, 1000000, count, f) +
                                          BitmapInfo(f, uint32_t(largest))));

    std::string movi;
    std::string idx1;
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::string chunk = Chunk(frameId, frames[i]);
        // Index offsets count from the 'movi' list type.
        const size_t offset = 4 + movi.size() + (f.groupInRecLists ? 12 : 0);
        idx1 += frameId;
        PutU32(idx1, (!rle || i == 0) ? 0x10 : 0);  // key frame
        PutU32(idx1, uint32_t(offset));
        PutU32(idx1, uint32_t(frames[i].size()));
        movi += f.groupInRecLists ? List("rec ", chunk) : chunk;
    }

    return Riff(hdrl + List("movi", movi) + Chunk("idx1", idx1));
}

}  // namespace smsc::clips
