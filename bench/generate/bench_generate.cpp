// Whole generation runs of tavolin-batch on 1 and 2 cores, side by side with the bare
// libturbojpeg pipeline on 1 and 2 threads that any writer of the same workbook needs at
// least: DCT-scaled decode, shrink to the placed pixels, turn the small picture, encode.
// Then the peak memory of whole runs of more photos against the workbook they write.
//
//     build/dist/bench_generate [--photos 100] [--memory 100,300] [--rounds 3]
//                               [--real] [--keep DIR]
//
// The photos are made at bench time: distinct 12-megapixel JPEGs (4000 x 3000, every
// fifth one 3000 x 4000) cropped and resized from the repository's photos and a
// synthetic one, turned 0/90/180/270 in turn. --real adds the repository's camera
// photos (tests/data/images/jpeg, data/samples/images), repeated to the same count.
// tavolin-batch runs as a child process (its wall clock, and its peak resident size
// from wait4); the bare pipeline runs in this process on photos read into memory.
#include "bench/image/synthetic_photo.h"
#include "generate/page_layout.h"
#include "generate/placement.h"
#include "platform/heap.h"
#include "platform/image/pixel_turn.h"
#include "platform/image/turbojpeg_handle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Photo {
    QString path;
    QByteArray bytes; // read ahead for the bare pipeline
    tav::RotationCode turn;
};

// The bare pipeline for one photo: decode at the smallest DCT scale that still covers
// the placed pixels, shrink to them, turn, encode at quality 85.
void barePipeline(tjhandle dec, tjhandle enc, const Photo& photo, QSizeF box) {
    const QByteArray& jpeg = photo.bytes;
    int w = 0, h = 0, sub = 0, cs = 0;
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(jpeg.constData()));
    const auto size = static_cast<unsigned long>(jpeg.size());
    if (tjDecompressHeader3(dec, data, size, &w, &h, &sub, &cs) != 0) {
        std::fprintf(stderr, "header: %s\n", tjGetErrorStr2(dec));
        std::exit(1);
    }
    const bool quarter = photo.turn.exchangesSides();
    const QSizeF natural = quarter ? QSizeF(h * 0.75, w * 0.75) : QSizeF(w * 0.75, h * 0.75);
    QSize need = tav::storedPixels(tav::fitToBox(natural, box.width(), box.height()));
    if (quarter) {
        need.transpose();
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
    if (tjDecompress2(dec, data, size, img.bits(), sw, static_cast<int>(img.bytesPerLine()), sh,
                      TJPF_BGRX, 0) != 0) {
        std::fprintf(stderr, "decode: %s\n", tjGetErrorStr2(dec));
        std::exit(1);
    }
    QImage placed = img.scaled(need, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    switch (photo.turn.quarterTurns()) {
    case 1:
        placed = tav::rotateQuarterClockwise(placed);
        break;
    case 2:
        placed = tav::rotateHalf(placed);
        break;
    case 3:
        placed = tav::rotateQuarterAnticlockwise(placed);
        break;
    default:
        break;
    }
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

// Wall-clock milliseconds of the bare pipeline over every photo on `threads` threads.
double barePipelineMs(const std::vector<Photo>& photos, QSizeF box, int threads) {
    std::atomic<std::size_t> next{0};
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            const tav::TjHandle dec = tav::newTjDecompressor();
            const tav::TjHandle enc = tav::newTjCompressor();
            for (std::size_t i = next++; i < photos.size(); i = next++) {
                barePipeline(dec.get(), enc.get(), photos[i], box);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return double(wall.nsecsElapsed()) / 1e6;
}

struct ChildRun {
    double wallMs = 0;
    long peakMb = 0;
    qint64 workbookBytes = 0;
};

// Starts the tavolin-batch runs. A child's peak resident size (wait4) counts the peak
// of the process that started it, and this benchmark holds a hundred photos in memory;
// so the runs are started by a helper process forked at the very start, while the
// benchmark is still small. Its requests and answers go through two pipes.
class Launcher {
public:
    void start() {
        if (::pipe(requests_) != 0 || ::pipe(answers_) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            serve();
        }
        ::close(requests_[0]);
        ::close(answers_[1]);
    }

    struct Result {
        int status = 0;
        long peakKb = 0;
    };

    // Runs `argv` (NUL-separated) in a child of the helper and waits for it.
    Result run(const QByteArray& argv) {
        const auto size = static_cast<std::uint32_t>(argv.size());
        Result result;
        if (!writeAll(requests_[1], &size, sizeof size) ||
            !writeAll(requests_[1], argv.constData(), argv.size()) ||
            !readAll(answers_[0], &result, sizeof result)) {
            std::fprintf(stderr, "the launcher is gone\n");
            std::exit(1);
        }
        return result;
    }

    void stop() {
        const std::uint32_t none = 0;
        writeAll(requests_[1], &none, sizeof none);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }

private:
    [[noreturn]] void serve() {
        ::close(requests_[1]);
        ::close(answers_[0]);
        for (;;) {
            std::uint32_t size = 0;
            if (!readAll(requests_[0], &size, sizeof size) || size == 0) {
                ::_exit(0);
            }
            std::vector<char> text(size + 1, '\0');
            readAll(requests_[0], text.data(), size);
            std::vector<char*> argv;
            for (std::size_t at = 0; at < size; at += std::strlen(&text[at]) + 1) {
                argv.push_back(&text[at]);
            }
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            Result result;
            pid_t child = 0;
            if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
                rusage usage{};
                ::wait4(child, &result.status, 0, &usage);
                result.peakKb = usage.ru_maxrss;
            } else {
                result.status = -1;
            }
            posix_spawn_file_actions_destroy(&actions);
            writeAll(answers_[1], &result, sizeof result);
        }
    }

    static bool writeAll(int fd, const void* data, std::size_t size) {
        const auto* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd, p, size);
            if (n <= 0) {
                return false;
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    static bool readAll(int fd, void* data, std::size_t size) {
        auto* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::read(fd, p, size);
            if (n <= 0) {
                return false;
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    int requests_[2] = {-1, -1};
    int answers_[2] = {-1, -1};
    pid_t pid_ = -1;
};

Launcher launcher;

// tavolin-batch --jobs `jobs` over `photos` into `target`.
ChildRun runBatch(const std::vector<Photo>& photos, int jobs, const QString& target) {
    QStringList args{QCoreApplication::applicationDirPath() + QStringLiteral("/tavolin-batch"),
                     QStringLiteral("--jobs"),
                     QString::number(jobs),
                     QStringLiteral("--out"),
                     target,
                     QStringLiteral("--layout"),
                     QStringLiteral("notes-2"),
                     QStringLiteral("--title"),
                     QStringLiteral("bench")};
    for (const Photo& p : photos) {
        args << p.path + QLatin1Char(':') + QString::number(p.turn.quarterTurns() * 90);
    }
    QByteArray argv;
    for (const QString& a : args) {
        argv += QFile::encodeName(a) + '\0';
    }
    QFile::remove(target);
    QElapsedTimer wall;
    wall.start();
    const Launcher::Result result = launcher.run(argv);
    ChildRun run;
    run.wallMs = double(wall.nsecsElapsed()) / 1e6;
    if (!WIFEXITED(result.status) || WEXITSTATUS(result.status) != 0) {
        std::fprintf(stderr, "tavolin-batch failed (status %d)\n", result.status);
        std::exit(1);
    }
    run.peakMb = result.peakKb / 1024;
    run.workbookBytes = QFileInfo(target).size();
    return run;
}

// Distinct photos number `first` to `first + count - 1` in `folder`: crops of the
// sources at shifting places and sizes, resized to `size` (every fifth one upright).
std::vector<QString> makePhotos(int first, int count, QSize size, const QString& folder) {
    const QString data = QStringLiteral(TAVOLIN_BENCH_SOURCE_DIR);
    std::vector<QImage> sources;
    for (const char* name :
         {"/tests/data/generate/photo_0.5mp_olympus_snow.jpg",
          "/tests/data/images/jpeg/photo_2.5mp_canon400d_storm.jpg",
          "/data/samples/images/park_lawn.jpg", "/data/samples/images/dog_floor.jpg"}) {
        QImage image(data + QString::fromUtf8(name));
        if (!image.isNull()) {
            sources.push_back(image.convertToFormat(QImage::Format_RGB32));
        }
    }
    sources.push_back(QImage::fromData(tav::bench::syntheticPhoto(2000, 1500)));
    std::vector<QString> paths;
    for (int i = first; i < first + count; ++i) {
        const QImage& source = sources[static_cast<std::size_t>(i) % sources.size()];
        const double keep = 0.7 + 0.25 * ((i * 7) % 11) / 10.0;
        const int w = int(source.width() * keep);
        const int h = int(source.height() * keep);
        const int x = (source.width() - w) * ((i * 3) % 8) / 7;
        const int y = (source.height() - h) * ((i * 5) % 8) / 7;
        const QSize shape = i % 5 == 4 ? size.transposed() : size;
        const QString path = folder + QStringLiteral("/p%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        source.copy(x, y, w, h)
            .scaled(shape, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .save(path, "JPEG", 90);
        paths.push_back(path);
    }
    return paths;
}

// Rows over `paths`, `count` of them, turned 0/90/180/270 in turn (a path listed again
// gets another turn, so every placed picture differs).
std::vector<Photo> rowsOf(const std::vector<QString>& paths, int count, bool readBytes) {
    std::vector<Photo> rows;
    const int distinct = static_cast<int>(paths.size());
    for (int i = 0; i < count; ++i) {
        Photo p;
        p.path = paths[static_cast<std::size_t>(i % distinct)];
        p.turn = tav::RotationCode::fromQuarterTurns(i % distinct + i / distinct);
        if (readBytes) {
            QFile f(p.path);
            if (f.open(QIODevice::ReadOnly)) {
                p.bytes = f.readAll();
            }
        }
        rows.push_back(p);
    }
    return rows;
}

std::vector<QString> realPhotos() {
    const QString data = QStringLiteral(TAVOLIN_BENCH_SOURCE_DIR);
    std::vector<QString> paths;
    for (const QString& folder : {data + QStringLiteral("/tests/data/images/jpeg"),
                                  data + QStringLiteral("/data/samples/images")}) {
        for (const QFileInfo& f :
             QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
            if (f.size() > 100 * 1024) {
                paths.push_back(f.filePath());
            }
        }
    }
    return paths;
}

// The load average of the machine, for the record.
QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2)
                                       : QString();
}

// The four measures side by side, best of `rounds`; the rounds interleave them, so that
// a change of load in between hits all four alike.
void compare(const char* title, const std::vector<Photo>& rows, QSizeF box, int rounds,
             const QString& work) {
    const double n = double(rows.size());
    std::printf("\n%s: %d photos, layout notes-2, best of %d (load average %s)\n", title,
                int(rows.size()), rounds, qPrintable(loadAverage()));
    double bare[3] = {1e300, 1e300, 1e300};
    double run[3] = {1e300, 1e300, 1e300};
    for (int r = 0; r < rounds; ++r) {
        for (int cores : {1, 2}) {
            bare[cores] = std::min(bare[cores], barePipelineMs(rows, box, cores));
            run[cores] = std::min(
                run[cores], runBatch(rows, cores, work + QStringLiteral("/speed.xls")).wallMs);
        }
    }
    std::printf("%-36s %12s %14s\n", "", "ms per photo", "run / bare");
    for (int cores : {1, 2}) {
        std::printf("%-36s %12.1f\n",
                    qPrintable(QStringLiteral("bare pipeline, %1 thread(s)").arg(cores)),
                    bare[cores] / n);
        std::printf("%-36s %12.1f %13.2fx\n",
                    qPrintable(QStringLiteral("tavolin-batch --jobs %1").arg(cores)),
                    run[cores] / n, run[cores] / bare[cores]);
    }
    std::printf("(load average after: %s)\n", qPrintable(loadAverage()));
}

} // namespace

int main(int argc, char** argv) {
    launcher.start();
    tav::reuseHeapForLargePictures();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    int photos = 100;
    int rounds = 3;
    bool real = false;
    QString keep;
    std::vector<int> memoryCounts{100, 300};
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--photos") && i + 1 < args.size()) {
            photos = args[++i].toInt();
        } else if (args[i] == QLatin1String("--rounds") && i + 1 < args.size()) {
            rounds = args[++i].toInt();
        } else if (args[i] == QLatin1String("--memory") && i + 1 < args.size()) {
            memoryCounts.clear();
            for (const QString& c : args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                memoryCounts.push_back(c.toInt());
            }
        } else if (args[i] == QLatin1String("--real")) {
            real = true;
        } else if (args[i] == QLatin1String("--keep") && i + 1 < args.size()) {
            keep = args[++i];
        } else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    QTemporaryDir temporary;
    const QString work = keep.isEmpty() ? temporary.path() : keep;
    QDir().mkpath(work);
    const tav::PageLayout layout = tav::pageLayout({tav::LayoutFamily::WithNotes, 0}, true);
    const QSizeF box = tav::placedBox(layout.boxWidth, layout.boxHeight, layout.withNotes);

    // Photos made by an earlier run with --keep are used again.
    const auto photosOnDisk = [&](int count, QSize size) {
        std::vector<QString> found;
        for (int i = 0; i < count; ++i) {
            const QString path = work + QStringLiteral("/p%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
            if (!QFile::exists(path)) {
                const std::vector<QString> added = makePhotos(i, count - i, size, work);
                found.insert(found.end(), added.begin(), added.end());
                break;
            }
            found.push_back(path);
        }
        return found;
    };
    const std::vector<QString> made = photosOnDisk(photos, QSize(4000, 3000));
    compare("distinct 12 MP photos", rowsOf(made, photos, true), box, rounds, work);
    if (real) {
        compare("the repository's camera photos", rowsOf(realPhotos(), photos, true), box, rounds,
                work);
    }

    std::printf("\npeak memory of tavolin-batch (default --jobs), notes-2\n");
    std::printf("%8s %12s %12s %22s\n", "photos", "peak MB", "workbook MB", "limit 150 + 1.5 x wb");
    for (int count : memoryCounts) {
        // Each photo at most three times, turned differently each time: every placed
        // picture is stored. Photos beyond the 12 MP ones are made at 2000 x 1500, which
        // still covers the placed pixels and so stores the same amount.
        std::vector<QString> distinct = made;
        if (3 * int(distinct.size()) < count) {
            distinct = photosOnDisk((count + 2) / 3, QSize(2000, 1500));
        }
        const ChildRun run =
            runBatch(rowsOf(distinct, count, false),
                     std::max(1, static_cast<int>(std::thread::hardware_concurrency())),
                     work + QStringLiteral("/memory.xls"));
        const double bookMb = double(run.workbookBytes) / (1024.0 * 1024.0);
        std::printf("%8d %12ld %12.1f %22.1f  (%.1f s)\n", count, run.peakMb, bookMb,
                    150.0 + 1.5 * bookMb, run.wallMs / 1000.0);
    }
    launcher.stop();
    return 0;
}
