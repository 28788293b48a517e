// One preview display of a 12-megapixel JPEG against the bare libturbojpeg full-size
// decode of the same file, side by side in one run.
//
//   bench_preview [--reuse-heap] [photo.jpg] [rounds]
//
// Without the photo a synthetic 4000 x 3000 JPEG is used. The preview runs on a bare window with
// the preview's controls (offscreen unless QT_QPA_PLATFORM says otherwise). --reuse-heap: see
// bench_image.
#include "bench/image/bench_timing.h"
#include "bench/image/synthetic_photo.h"
#include "platform/image/turbojpeg_handle.h"
#include "platform/testing/scripted_dialogs.h"
#include "preview/preview_controller.h"
#include "preview/testing/preview_test_window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

// Best wall-clock time, for the display as the user waits for it.
double bestWallMs(int rounds, const std::function<void()>& work) {
    work();
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    return best;
}

struct Row {
    const char* what;
    double cpu;
    double wall;
};

// The rows side by side, each with its ratio to the first.
void printRows(const std::vector<Row>& rows) {
    std::printf("%-56s %12s %8s %12s %8s\n", "", "CPU ms", "ratio", "wall ms", "ratio");
    for (const Row& r : rows)
        std::printf("%-56s %12.2f %7.2fx %12.2f %7.2fx\n", r.what, r.cpu, r.cpu / rows[0].cpu,
                    r.wall, r.wall / rows[0].wall);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    tav::bench::useOffscreenDisplay();
    QApplication app(argc, argv);
    const tav::bench::CommandLine line = tav::bench::readCommandLine(argc, argv, 7);
    const bool reuseHeap = line.reuseHeap;
    const QString path = QString::fromLocal8Bit(line.photo); // empty when none is given
    const int rounds = line.rounds;
    QFile file(path);
    const bool haveFile = line.photo != nullptr && file.open(QIODevice::ReadOnly);
    const QByteArray jpeg = haveFile ? file.readAll() : tav::bench::syntheticPhoto(4000, 3000);
    std::printf("photo: %s, %lld bytes, best of %d runs%s\n\n",
                haveFile ? qPrintable(path) : "(synthetic 4000x3000 JPEG)",
                static_cast<long long>(jpeg.size()), rounds, reuseHeap ? ", heap reused" : "");

    const tav::TjHandle tj = tav::newTjDecompressor();
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const auto size = static_cast<unsigned long>(jpeg.size());
    tjDecompressHeader3(tj.get(), bytes, size, &w, &h, &subsamp, &colorspace);
    std::vector<unsigned char> pixels(std::size_t(w) * h * 4);
    auto bare = [&] {
        tjDecompress2(tj.get(), bytes, size, pixels.data(), w, w * 4, h, TJPF_BGRX, 0);
    };

    tav::testing::PreviewTestWindow ui;
    tav::testing::ScriptedDialogs dialogs;
    tav::PreviewController controller(ui, dialogs);
    ui.form.show();
    QApplication::processEvents();
    // A display of a file other than the last one decodes it (cold); a redisplay of the
    // same unchanged file, as a rotation or mode change does, reuses the decoded picture
    // when it has the pixels the display needs (warm). Two copies of the photo alternate
    // for the cold figures.
    QTemporaryDir dir;
    const QString copyA = dir.filePath(QStringLiteral("a.jpg"));
    const QString copyB = dir.filePath(QStringLiteral("b.jpg"));
    if (!writeFile(copyA, jpeg) || !writeFile(copyB, jpeg))
        return 1;
    bool flip = false;
    auto cold = [&] {
        flip = !flip;
        controller.showPicture(flip ? copyA : copyB, QStringLiteral(" 90"));
    };
    auto warm = [&] { controller.showPicture(copyA, QStringLiteral(" 90")); };

    std::vector<Row> rows;
    rows.push_back({"bare libturbojpeg decode, full size", tav::bench::bestMs(rounds, bare),
                    bestWallMs(rounds, bare)});
    const char* modes[] = {"mode 0 (scale)", "mode 1 (actual size x 1)", "mode 2 (fit)"};
    std::vector<std::string> labels;
    labels.reserve(6);
    for (int mode = 0; mode < 3; ++mode) {
        ui.modeButtons[mode]->setChecked(true);
        ui.magnification->setCurrentIndex(9); // "1"
        labels.push_back(std::string("showPicture ") + modes[mode] + " \" 90\", new file");
        rows.push_back(
            {labels.back().c_str(), tav::bench::bestMs(rounds, cold), bestWallMs(rounds, cold)});
        labels.push_back(std::string("showPicture ") + modes[mode] + " \" 90\", same file");
        rows.push_back(
            {labels.back().c_str(), tav::bench::bestMs(rounds, warm), bestWallMs(rounds, warm)});
    }

    printRows(rows);
    std::printf("\nmessages shown: %d (expected 0)\n", dialogs.messageCount());
    return 0;
}
