// An instance of libturbojpeg (a decompressor or a compressor) owned by one object and
// destroyed with it. Every user of libturbojpeg holds its instances this way.
//
// Usage:
//     const tav::TjHandle tj = tav::newTjDecompressor();
//     if (!tj) ...                              // the library could not set one up
//     tjDecompressHeader3(tj.get(), ...);
#pragma once

#include <turbojpeg.h>

#include <memory>

namespace tav {

struct TjDestroyer {
    void operator()(tjhandle handle) const { tjDestroy(handle); }
};

using TjHandle = std::unique_ptr<void, TjDestroyer>;

inline TjHandle newTjDecompressor() {
    return TjHandle(tjInitDecompress());
}

inline TjHandle newTjCompressor() {
    return TjHandle(tjInitCompress());
}

} // namespace tav
