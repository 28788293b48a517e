// Picture loading and the quarter turn on a 12-megapixel photo, side by side in one run.
//
//   bench_image [--reuse-heap] [photo.jpg] [rounds]
//
// --reuse-heap raises glibc's mmap threshold so that large pictures reuse heap memory
// instead of fresh pages (fresh pages cost a page fault each, which is very expensive on
// some virtual machines).
//
// Without a photo argument (or when it cannot be read) it encodes a synthetic
// 4000 x 3000 photo-like JPEG first.
#include "bench/image/bench_timing.h"
#include "bench/image/synthetic_photo.h"
#include "platform/image/picture_loader.h"
#include "platform/image/pixel_turn.h"
#include "platform/image/turbojpeg_handle.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QTransform>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using tav::bench::bestMs;
using tav::bench::row;

struct BenchPhoto {
    QByteArray jpeg;
    QString label; // the file's path, or what was made instead
};

// The photo named on the command line, or a synthetic one.
BenchPhoto readPhoto(const char* argument) {
    if (argument != nullptr) {
        QFile file(QString::fromLocal8Bit(argument));
        if (file.open(QIODevice::ReadOnly)) {
            return {file.readAll(), file.fileName()};
        }
    }
    return {tav::bench::syntheticPhoto(4000, 3000), QStringLiteral("(synthetic 4000x3000 JPEG)")};
}

// The bare library's decode at full size and at 1/8, against the program's loader at
// every DCT scale and Qt's own reader. Returns the photo decoded at full size.
QImage benchDecoding(const QByteArray& jpeg, int rounds) {
    const tav::TjHandle tj = tav::newTjDecompressor();
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const auto size = static_cast<unsigned long>(jpeg.size());
    tjDecompressHeader3(tj.get(), bytes, size, &w, &h, &subsamp, &colorspace);
    QImage pixels(w, h, QImage::Format_RGB32);
    const int pitch = static_cast<int>(pixels.bytesPerLine());
    const double bare = bestMs(rounds, [&] {
        tjDecompress2(tj.get(), bytes, size, pixels.bits(), w, pitch, h, TJPF_BGRX, 0);
    });
    std::printf("== decoding (%d x %d) ==\n", w, h);
    row("bare libturbojpeg decode, full size", bare, bare, "bare");
    const tjscalingfactor eighth{1, 8};
    QImage scaled(TJSCALED(w, eighth), TJSCALED(h, eighth), QImage::Format_RGB32);
    const double bareEighth = bestMs(rounds, [&] {
        tjDecompress2(tj.get(), bytes, size, scaled.bits(), scaled.width(),
                      static_cast<int>(scaled.bytesPerLine()), scaled.height(), TJPF_BGRX, 0);
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
                   reader.read();
               }),
        bare, "bare");
    return pixels;
}

// The blocked quarter turn against a plain copy of the same bytes, the naive loop and
// Qt's own transformation.
void benchQuarterTurn(const QImage& picture, int rounds) {
    const int w = picture.width();
    const int h = picture.height();
    std::printf("\n== quarter turn of %d x %d 32-bit pixels (%.1f MB) ==\n", w, h,
                double(w) * h * 4 / 1e6);
    QImage target(h, w, QImage::Format_RGB32);
    QByteArray copy(picture.sizeInBytes(), Qt::Uninitialized);
    const double copyMs = bestMs(rounds, [&] {
        std::memcpy(copy.data(), picture.constBits(), static_cast<std::size_t>(copy.size()));
    });
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
}

} // namespace

int main(int argc, char** argv) {
    tav::bench::useOffscreenDisplay();
    QGuiApplication app(argc, argv);
    const tav::bench::CommandLine line = tav::bench::readCommandLine(argc, argv, 7);
    const BenchPhoto photo = readPhoto(line.photo);
    std::printf("photo: %s, %lld bytes, best of %d runs (thread CPU time)%s\n\n",
                qPrintable(photo.label), static_cast<long long>(photo.jpeg.size()), line.rounds,
                line.reuseHeap ? ", heap reused" : "");
    const QImage decoded = benchDecoding(photo.jpeg, line.rounds);
    benchQuarterTurn(decoded, line.rounds);
    return 0;
}
