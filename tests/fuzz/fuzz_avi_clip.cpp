// The clip reader of the wait windows (RIFF AVI, uncompressed or RLE8 frames).
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "platform/AviClip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    smsc::AviClip clip;
    clip.loadFromData(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (int i = 0; i < clip.frameCount(); ++i)
        clip.frame(i).constBits();
    return 0;
}
