// A photo-like JPEG made at run time (gradients, a wave and noise, 4:2:0, quality 90), for
// the benchmarks when the shared corpus' 12-megapixel photo is not at hand.
#pragma once

#include <QByteArray>

#include "platform/image/turbojpeg_handle.h"

#include <cmath>
#include <random>
#include <vector>

namespace tav::bench {

inline QByteArray syntheticPhoto(int w, int h) {
    std::vector<unsigned char> rgb(std::size_t(w) * h * 3);
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &rgb[(std::size_t(y) * w + x) * 3];
            const int noise = int(random() % 24);
            p[0] = static_cast<unsigned char>((x * 255 / w + noise) & 0xFF);
            p[1] = static_cast<unsigned char>((y * 255 / h + noise) & 0xFF);
            p[2] = static_cast<unsigned char>((128 + 100 * std::sin(x * 0.01 + y * 0.013)));
        }
    const TjHandle tj = newTjCompressor();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(tj.get(), rgb.data(), w, w * 3, h, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0);
    QByteArray out(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    tjFree(jpeg);
    return out;
}

} // namespace tav::bench
