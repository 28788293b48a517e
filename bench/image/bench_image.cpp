// Picture loading and the quarter turn on a 12-megapixel photo, side by side in one run.
//
//   bench_image [--reuse-heap] [photo.jpg] [rounds]
//
// --reuse-heap raises glibc's mmap threshold so that large pictures reuse heap memory
// instead of fresh pages (fresh pages cost a page fault each, which is very expensive on
// some virtual machines).
//
// Without a photo argument it reads the shared corpus' 12 MP phone photo, or, when that is
// not present, encodes a synthetic 4000 x 3000 photo-like JPEG first.
#include "bench/image/bench_timing.h"
#include "bench/image/synthetic_photo.h"
#include "platform/image/picture_loader.h"
#include "platform/image/pixel_turn.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QTransform>

#include <turbojpeg.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <random>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool reuseHeap = tav::bench::takeReuseHeapFlag(argc, argv);
    using tav::bench::bestMs;
    using tav::bench::row;
    QString path =
        argc > 1
            ? QString::fromLocal8Bit(argv[1])
            : QStringLiteral("/work/shared/testdata/images/jpeg/photo_12mp_xiaomi_orient3.jpg");
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    QByteArray jpeg;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        jpeg = file.readAll();
    } else {
        jpeg = tav::bench::syntheticPhoto(4000, 3000);
        path = QStringLiteral("(synthetic 4000x3000 JPEG)");
    }
    std::printf("photo: %s, %lld bytes, best of %d runs (thread CPU time)%s\n\n", qPrintable(path),
                static_cast<long long>(jpeg.size()), rounds, reuseHeap ? ", heap reused" : "");

    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const auto size = static_cast<unsigned long>(jpeg.size());
    tjDecompressHeader3(tj, bytes, size, &w, &h, &subsamp, &colorspace);
    std::vector<unsigned char> pixels(std::size_t(w) * h * 4);
    QImage qtImage;
    const double bare = bestMs(
        rounds, [&] { tjDecompress2(tj, bytes, size, pixels.data(), w, w * 4, h, TJPF_BGRX, 0); });
    std::printf("== decoding (%d x %d) ==\n", w, h);
    row("bare libturbojpeg decode, full size", bare, bare, "bare");
    const tjscalingfactor eighth{1, 8};
    const double bareEighth = bestMs(rounds, [&] {
        tjDecompress2(tj, bytes, size, pixels.data(), TJSCALED(w, eighth), TJSCALED(w, eighth) * 4,
                      TJSCALED(h, eighth), TJPF_BGRX, 0);
    });
    row("bare libturbojpeg decode, 1/8", bareEighth, bare, "bare");
    const QString name = QStringLiteral("bench");
    row("loadPicture full (incl. EXIF orientation)",
        bestMs(rounds, [&] { tav::loadPictureData(jpeg, name); }), bare, "bare");
    for (const int divisor : {2, 4, 8}) {
        tav::LoadOptions options;
        options.minimumSize = QSize(w / divisor, h / divisor);
        char label[80];
        std::snprintf(label, sizeof label, "loadPicture DCT-scaled 1/%d", divisor);
        row(label, bestMs(rounds, [&] { tav::loadPictureData(jpeg, name, options); }), bare,
            "bare");
    }
    row("Qt's JPEG reader (QImageReader, EXIF applied)",
        bestMs(rounds,
               [&] {
                   QByteArray copy = jpeg;
                   QBuffer buffer(&copy);
                   buffer.open(QIODevice::ReadOnly);
                   QImageReader reader(&buffer, "jpeg");
                   reader.setAutoTransform(true);
                   qtImage = reader.read();
               }),
        bare, "bare");
    tjDestroy(tj);

    std::printf("\n== quarter turn of %d x %d 32-bit pixels (%.1f MB) ==\n", w, h,
                double(w) * h * 4 / 1e6);
    QImage picture(w, h, QImage::Format_RGB32);
    std::memcpy(picture.bits(), pixels.data(),
                std::min<std::size_t>(pixels.size(), std::size_t(picture.sizeInBytes())));
    QImage target(h, w, QImage::Format_RGB32);
    std::vector<unsigned char> copy(std::size_t(picture.sizeInBytes()));
    const double copyMs =
        bestMs(rounds, [&] { std::memcpy(copy.data(), picture.constBits(), copy.size()); });
    row("memcpy of the same bytes", copyMs, copyMs, "memcpy");
    const auto* src = reinterpret_cast<const std::uint32_t*>(picture.constBits());
    auto* dst = reinterpret_cast<std::uint32_t*>(target.bits());
    row("blocked quarter turn (into a ready target)",
        bestMs(rounds,
               [&] {
                   tav::rotateQuarterClockwise32(src, picture.bytesPerLine(), w, h, dst,
                                                 target.bytesPerLine());
               }),
        copyMs, "memcpy");
    row("blocked three-quarter turn (into a ready target)",
        bestMs(rounds,
               [&] {
                   tav::rotateQuarterAnticlockwise32(src, picture.bytesPerLine(), w, h, dst,
                                                     target.bytesPerLine());
               }),
        copyMs, "memcpy");
    row("rotateQuarterClockwise (allocates the target)",
        bestMs(rounds, [&] { tav::rotateQuarterClockwise(picture); }), copyMs, "memcpy");
    row("naive per-pixel loop",
        bestMs(std::max(1, rounds / 3),
               [&] {
                   tav::rotateQuarterClockwise32Naive(src, picture.bytesPerLine(), w, h, dst,
                                                      target.bytesPerLine());
               }),
        copyMs, "memcpy");
    row("QImage::transformed(rotate 90) for comparison",
        bestMs(rounds, [&] { target = picture.transformed(QTransform().rotate(90)); }), copyMs,
        "memcpy");
    return 0;
}
