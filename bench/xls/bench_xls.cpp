// Engine cost of placing many photos, against a bare libturbojpeg encode of the same
// placed pictures, measured side by side in one run.
//
//     xls_bench_pictures PHOTO.jpg [COUNT]
//
// PHOTO is a camera photo (bench/README.md gives the figures of a 12-megapixel one);
// COUNT pictures are placed, 200 unless given. The photo is decoded once (not timed);
// every paste then hands the engine the decoded pixels: the full decode, the
// DCT-scaled one, and the latter shrunk to the stored size, which is what the
// generation run hands over after its decode, shrink and turn.
#include "platform/image/picture_loader.h"
#include "platform/xls/engine.h"
#include "platform/xls/model.h"
#include "platform/xls/picture.h"
#include "tests/xls/sample_run.h"
#include "tests/xls/workbook_records.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

using namespace tav::xls;
using Clock = std::chrono::steady_clock;

// CPU time of the process: the build machine is shared, so wall-clock time swings with
// the load while CPU time stays steady. It counts every thread, including the helper
// threads Qt's smooth scaling splits large pictures over.
struct CpuClock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
    }
};

namespace {

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double seconds(double a, double b) {
    return b - a;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct RunResult {
    double engineSeconds = 0; // pastes, fitting, JPEG pass (CPU)
    double engineWallSeconds = 0;
    double saveSeconds = 0;
    qint64 fileBytes = 0;
};

// Places `count` copies of `photo` (natural size `points`) as a run without notes
// does: paste as bitmap at the anchor, fit into 370 × 278 pt, then the JPEG pass.
RunResult run(const QString& templatePath, const QString& out, const QImage& photo, QSizeF points,
              int count) {
    tav::xls::testing::copyFile(templatePath, out);
    RunResult result;
    Application app;
    Workbook& book = app.workbooks().open(out);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    const int rows = static_cast<int>((count / 2.0 + 1) * 59);
    sheet.range(QStringLiteral("A:AZ")).setColumnWidth(1.63);
    sheet.rows(QStringLiteral("1:%1").arg(rows)).setRowHeight(13.5);
    const double start = CpuClock::now();
    const auto wallStart = Clock::now();
    for (int i = 0; i < count; ++i) {
        sheet.range(QStringLiteral("H%1").arg(6 + (i % 2) * 29 + (i / 2) * 59)).select();
        app.clipboard().clear();
        app.clipboard().setImage(photo, points);
        sheet.pasteSpecial(xl::PasteBitmap);
        testing::fitSelection(app, 370, 278);
    }
    sheet.pageSetup().setOrder(2);
    sheet.setHorizontalPageBreaksEvery(59, rows);
    sheet.range(QStringLiteral("A1")).select();
    testing::convertToJpegPictures(app, sheet);
    const double placed = CpuClock::now();
    const auto wallBefore = Clock::now();
    result.engineWallSeconds = seconds(wallStart, wallBefore);
    book.save();
    result.saveSeconds = seconds(wallBefore, Clock::now());
    result.engineSeconds = seconds(start, placed);
    result.fileBytes = QFile(out).size();
    return result;
}

// tjCompress2 alone on already reduced pixels.
double bareEncode(const QImage& placed, int count) {
    tjhandle handle = tjInitCompress();
    const double start = CpuClock::now();
    for (int i = 0; i < count; ++i) {
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, placed.constBits(), placed.width(),
                    static_cast<int>(placed.bytesPerLine()), placed.height(), TJPF_BGRX, &buffer,
                    &size, TJSAMP_420, JpegQuality, TJFLAG_ACCURATEDCT);
        tjFree(buffer);
    }
    const double end = CpuClock::now();
    tjDestroy(handle);
    return seconds(start, end);
}

// CPU seconds of one reduction of `image` to `size`, averaged over ten.
double reductionSeconds(const QImage& image, QSize size) {
    QImage reduced;
    const double start = CpuClock::now();
    for (int i = 0; i < 10; ++i) {
        reduced = reduceImage(image, size);
    }
    return seconds(start, CpuClock::now()) / 10;
}

// What one benchmark run measured, side by side.
struct Figures {
    int count = 0;
    QSize stored; // pixels of a placed picture
    RunResult full, reduced, atStoredSize;
    double bare = 0;       // bare encodes of the placed picture
    double bareStored = 0; // bare encodes of the very pixels of the last run
    double reduceFull = 0; // one reduction from the full decode
    double reduceHalf = 0; // one reduction from the reduced decode
};

void printFigures(const Figures& f) {
    std::printf("pictures: %d, stored at %dx%d px (370 x 277.5 pt at 220 ppi), quality %d\n",
                f.count, f.stored.width(), f.stored.height(), JpegQuality);
    std::printf("bare tjCompress2 of the placed picture: %.2f ms per picture\n",
                f.bare / f.count * 1000);
    const auto engineLine = [&f](const char* what, const RunResult& r, double bareSeconds,
                                 const char* extra) {
        std::printf("engine, %-16s %6.2f ms CPU per picture (ratio %.2f to bare encode), "
                    "%6.2f ms wall%s\n",
                    what, r.engineSeconds / f.count * 1000, r.engineSeconds / bareSeconds,
                    r.engineWallSeconds / f.count * 1000, extra);
    };
    std::printf("reduction alone (CPU): %.2f ms from 12 MP, %.2f ms from the reduced decode\n",
                f.reduceFull * 1000, f.reduceHalf * 1000);
    engineLine("12 MP pasted:", f.full, f.bare, "");
    engineLine("reduced decode:", f.reduced, f.bare, "");
    const QByteArray extra = QStringLiteral("; bare encode of the same pixels %1 ms")
                                 .arg(f.bareStored / f.count * 1000, 0, 'f', 2)
                                 .toLatin1();
    engineLine("stored size:", f.atStoredSize, f.bareStored, extra.constData());
    std::printf("save (wall clock): %.2f s / %.2f s / %.2f s (12 MP, reduced, stored size); "
                "file %.1f MB / %.1f MB / %.1f MB\n",
                f.full.saveSeconds, f.reduced.saveSeconds, f.atStoredSize.saveSeconds,
                f.full.fileBytes / 1e6, f.reduced.fileBytes / 1e6, f.atStoredSize.fileBytes / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication qapp(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: xls_bench_pictures PHOTO.jpg [COUNT]\n");
        return 2;
    }
    const QString photoPath = QString::fromLocal8Bit(argv[1]);
    Figures f;
    f.count = argc > 2 ? std::atoi(argv[2]) : 200;
    const QString templatePath = QStringLiteral(TAVOLIN_XLS_TEMPLATE);
    QTemporaryDir dir;

    const auto d0 = Clock::now();
    const tav::LoadedPicture full = tav::loadPicture(photoPath);
    const auto d1 = Clock::now();
    tav::LoadOptions reduced;
    f.stored = storedPixelSize(370, 277.5, full.image.size());
    reduced.minimumSize = f.stored;
    const tav::LoadedPicture half = tav::loadPicture(photoPath, reduced);
    const QSizeF points(full.logicalSize.width() * 0.75, full.logicalSize.height() * 0.75);
    std::printf("photo %s: %dx%d px, full decode %.1f ms; reduced decode %dx%d\n",
                qPrintable(photoPath), full.image.width(), full.image.height(),
                seconds(d0, d1) * 1000, half.image.width(), half.image.height());

    const long before = peakKiB();
    f.full =
        run(templatePath, dir.filePath(QStringLiteral("full.xls")), full.image, points, f.count);
    const long peakFull = peakKiB();
    f.reduced =
        run(templatePath, dir.filePath(QStringLiteral("reduced.xls")), half.image, points, f.count);
    // The generation run's hand-over: the reduced decode shrunk to the stored pixels
    // (before its turn), so the engine only encodes.
    const QImage stored = reduceImage(half.image, f.stored);
    f.atStoredSize =
        run(templatePath, dir.filePath(QStringLiteral("stored.xls")), stored, points, f.count);

    // The same placed pictures, encoded bare.
    f.bare = bareEncode(reduceImage(full.image, f.stored), f.count);
    f.bareStored = bareEncode(stored, f.count);
    f.reduceFull = reductionSeconds(full.image, f.stored);
    f.reduceHalf = reductionSeconds(half.image, f.stored);

    printFigures(f);
    std::printf("peak memory: %.0f MB before the runs, %.0f MB after the 12 MP run, %.0f MB at "
                "the end\n",
                before / 1024.0, peakFull / 1024.0, peakKiB() / 1024.0);
    return 0;
}
