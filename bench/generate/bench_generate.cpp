// A 100-photo generation run of 12-megapixel JPEGs in a notes layout, side by side with
// the bare libturbojpeg pipeline that any writer of the same workbook needs at least:
// DCT-scaled decode, resize to the placed pixels, JPEG encode.
//
//     build/dist/bench_generate [--photos N] [--literal] [--reuse-heap] [photo.jpg]
//
// Without a photo a 4000 x 3000 photo is made by upscaling a shipped test photo.
#include "app/batch/batch_host.h"
#include "generate/captions.h"
#include "generate/generation_run.h"
#include "generate/page_layout.h"
#include "generate/placement.h"
#include "platform/heap.h"
#include "platform/image/turbojpeg_handle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

template <typename F> Timing timed(F&& f) {
    QElapsedTimer wall;
    const double cpu0 = processCpuMs();
    wall.start();
    f();
    return {double(wall.nsecsElapsed()) / 1e6, processCpuMs() - cpu0};
}

// The bare pipeline for one photo: decode at the smallest DCT scale that still covers
// `need`, resize to `need`, encode at quality 85.
void barePipeline(tjhandle dec, tjhandle enc, const QByteArray& jpeg, QSize need) {
    int w = 0, h = 0, sub = 0, cs = 0;
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(jpeg.constData()));
    if (tjDecompressHeader3(dec, data, static_cast<unsigned long>(jpeg.size()), &w, &h, &sub,
                            &cs) != 0) {
        std::fprintf(stderr, "header: %s\n", tjGetErrorStr2(dec));
        std::exit(1);
    }
    int sw = w, sh = h;
    for (int denom : {8, 4, 2}) {
        const int cw = (w + denom - 1) / denom;
        const int ch = (h + denom - 1) / denom;
        if (cw >= need.width() && ch >= need.height()) {
            sw = cw;
            sh = ch;
            break;
        }
    }
    QImage img(sw, sh, QImage::Format_RGB32);
    if (tjDecompress2(dec, data, static_cast<unsigned long>(jpeg.size()), img.bits(), sw,
                      static_cast<int>(img.bytesPerLine()), sh, TJPF_BGRX, 0) != 0) {
        std::fprintf(stderr, "decode: %s\n", tjGetErrorStr2(dec));
        std::exit(1);
    }
    const QImage placed = img.scaled(need, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    if (tjCompress2(enc, placed.constBits(), placed.width(),
                    static_cast<int>(placed.bytesPerLine()), placed.height(), TJPF_BGRX, &out,
                    &outSize, TJSAMP_420, 85, 0) != 0) {
        std::fprintf(stderr, "encode: %s\n", tjGetErrorStr2(enc));
        std::exit(1);
    }
    tjFree(out);
}

struct BenchOptions {
    int photos = 100;
    bool literal = false;
    QString photo; // empty: made at bench time
};

BenchOptions readOptions(const QStringList& args) {
    BenchOptions options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--photos") && i + 1 < args.size()) {
            options.photos = args[++i].toInt();
        } else if (args[i] == QLatin1String("--literal")) {
            options.literal = true;
        } else if (args[i] == QLatin1String("--reuse-heap")) {
            tav::reuseHeapForLargePictures();
        } else {
            options.photo = args[i];
        }
    }
    return options;
}

// The photo to place: the one given, or a 4000 x 3000 one made in `work` by upscaling a
// shipped test photo.
QString photoToPlace(const QString& given, const QTemporaryDir& work) {
    if (!given.isEmpty()) {
        return given;
    }
    const QString made = work.filePath(QStringLiteral("photo_12mp.jpg"));
    QImage(QStringLiteral(TAVOLIN_BENCH_SOURCE_PHOTO))
        .scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(made, "JPEG", 92);
    return made;
}

// The selection list: `count` names of the same photo (hard links, so no extra disk).
std::vector<tav::BatchRow> selectionOf(const QString& photo, int count, const QTemporaryDir& work) {
    std::vector<tav::BatchRow> rows;
    for (int i = 0; i < count; ++i) {
        const QString p = work.filePath(QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        if (::link(QFile::encodeName(photo).constData(), QFile::encodeName(p).constData()) != 0) {
            QFile::copy(photo, p);
        }
        rows.push_back({p, tav::RotationCode().text(), tav::kSameAsFileName, QString()});
    }
    return rows;
}

// One whole run over `rows` into work/bench.xls; ends the program when it fails.
void runOnce(const std::vector<tav::BatchRow>& rows, const tav::GenerationJob& job,
             bool reducedDecode) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    tav::BatchHost host(rows, false, devnull);
    tav::GenerationRun run(host, tav::PlacementOptions{reducedDecode});
    if (run.start(job) != tav::RunOutcome::Completed) {
        std::fprintf(stderr, "run failed: %d %s\n", run.lastErrorNumber(),
                     qPrintable(run.lastErrorDescription()));
        std::exit(1);
    }
    std::fclose(devnull);
}

// The bare pipeline over `photos` copies of the photo, to the pixels the run stores.
Timing timeBarePipeline(const QByteArray& jpeg, int photos, QSize need) {
    const tav::TjHandle dec = tav::newTjDecompressor();
    const tav::TjHandle enc = tav::newTjCompressor();
    return timed([&] {
        for (int i = 0; i < photos; ++i) {
            barePipeline(dec.get(), enc.get(), jpeg, need);
        }
    });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const BenchOptions options = readOptions(QCoreApplication::arguments());
    QTemporaryDir work;
    const QString photo = photoToPlace(options.photo, work);
    QFile f(photo);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(photo));
        return 1;
    }
    const QByteArray jpeg = f.readAll();
    const int photos = options.photos;
    const std::vector<tav::BatchRow> rows = selectionOf(photo, photos, work);

    const tav::LayoutChoice choice{tav::LayoutFamily::WithNotes, 0}; // notes-2
    const tav::PageLayout layout = tav::pageLayout(choice, true);
    tav::GenerationJob job;
    job.folder = work.path();
    job.fileName = QStringLiteral("bench");
    job.layout = choice;
    job.programFolder = QCoreApplication::applicationDirPath();
    job.title = QStringLiteral("bench");

    const Timing runTime = timed([&] { runOnce(rows, job, true); });
    const long runPeak = peakRssMb();
    const qint64 bookBytes = QFileInfo(work.filePath(QStringLiteral("bench.xls"))).size();

    const tav::PreparedPicture probe = tav::preparePicture(
        tav::RotationCode(), rows[0].path, {layout.boxWidth, layout.boxHeight}, {true});
    const QSize need =
        tav::storedPixels(tav::fitToBox(probe.natural, layout.boxWidth, layout.boxHeight));
    const Timing bareTime = timeBarePipeline(jpeg, photos, need);

    std::printf("photo %s (%lld bytes), %d photos, layout notes-2, placed %dx%d px\n",
                qPrintable(QFileInfo(photo).fileName()), static_cast<long long>(jpeg.size()),
                photos, need.width(), need.height());
    std::printf("%-44s %10s %10s %8s\n", "", "wall ms", "cpu ms", "ratio");
    const auto line = [&](const char* what, Timing t) {
        std::printf("%-44s %10.1f %10.1f %7.2fx\n", what, t.wallMs / photos, t.cpuMs / photos,
                    t.cpuMs / bareTime.cpuMs);
    };
    line("bare decode (DCT-scaled) + resize + encode", bareTime);
    line("generation run, per photo", runTime);
    if (options.literal) {
        const Timing literalTime = timed([&] { runOnce(rows, job, false); });
        line("generation run, full decode (literal path)", literalTime);
    }
    std::printf("peak memory after the run: %ld MB; workbook %.1f MB\n", runPeak,
                double(bookBytes) / (1024.0 * 1024.0));
    return 0;
}
