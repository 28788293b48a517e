// Decoding a phone's 12-megapixel HEIC: the program's loader against libheif's own
// command-line decoder (heif-convert, package libheif-examples) and the bare libheif
// decode, side by side in one run.
//
//   bench_heif [--reuse-heap] [photo.heic] [rounds]
//
// Every figure is the best of `rounds` runs, in wall-clock and CPU milliseconds. libheif
// decodes the tiles of a grid picture on helper threads, so CPU time is of the whole
// process here (for heif-convert: of the child process, start-up included), not of the
// calling thread as in the other benchmarks.
#include "bench/image/bench_timing.h"
#include "platform/image/picture_loader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <libheif/heif.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

struct Times {
    double wallMs = std::numeric_limits<double>::max();
    double cpuMs = std::numeric_limits<double>::max();
};

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Best wall and best CPU time over the rounds, after one warm-up run.
Times best(int rounds, const std::function<void()>& work) {
    work();
    Times t;
    for (int i = 0; i < rounds; ++i) {
        const double wall = nowMs();
        const double cpu = processCpuMs();
        work();
        t.cpuMs = std::min(t.cpuMs, processCpuMs() - cpu);
        t.wallMs = std::min(t.wallMs, nowMs() - wall);
    }
    return t;
}

// One run of a command: wall time and the child's user + system time. Exits on failure.
Times runCommand(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const double wall = nowMs();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s (install libheif-examples)\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    Times t;
    t.wallMs = nowMs() - wall;
    t.cpuMs = (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e3 +
              (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e3;
    return t;
}

Times bestCommand(int rounds, const std::vector<std::string>& command) {
    runCommand(command);
    Times t;
    for (int i = 0; i < rounds; ++i) {
        const Times one = runCommand(command);
        t.wallMs = std::min(t.wallMs, one.wallMs);
        t.cpuMs = std::min(t.cpuMs, one.cpuMs);
    }
    return t;
}

void row(const char* what, const Times& t, const Times& base) {
    std::printf("%-58s %8.1f %6.2fx %8.1f %6.2fx\n", what, t.wallMs, t.wallMs / base.wallMs,
                t.cpuMs, t.cpuMs / base.cpuMs);
}

} // namespace

int main(int argc, char** argv) {
    tav::bench::useOffscreenDisplay();
    QGuiApplication app(argc, argv);
    const tav::bench::CommandLine line = tav::bench::readCommandLine(argc, argv, 5);
    const bool reuseHeap = line.reuseHeap;
    const QString path = line.photo != nullptr ? QString::fromLocal8Bit(line.photo)
                                               : QStringLiteral(TAVOLIN_BENCH_HEIC);
    const int rounds = line.rounds;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray heic = file.readAll();
    const tav::PictureInfo info = tav::probePicture(path);
    std::printf("photo: %s, %lld bytes, %d x %d upright, best of %d runs%s, libheif %s\n\n",
                qPrintable(path), static_cast<long long>(heic.size()), info.pixelSize.width(),
                info.pixelSize.height(), rounds, reuseHeap ? ", heap reused" : "",
                heif_get_version());

    QTemporaryDir out;
    const std::string source = path.toStdString();
    const Times convertJpeg =
        bestCommand(rounds, {"heif-convert", "--quiet", source,
                             out.filePath(QStringLiteral("o.jpg")).toStdString()});
    const Times convertY4m =
        bestCommand(rounds, {"heif-convert", "--quiet", source,
                             out.filePath(QStringLiteral("o.y4m")).toStdString()});

    // The bare library: the primary picture decoded to 8-bit RGB, transformations applied.
    const Times bare = best(rounds, [&heic] {
        heif_context* context = heif_context_alloc();
        heif_context_read_from_memory_without_copy(context, heic.constData(), size_t(heic.size()),
                                                   nullptr);
        heif_image_handle* handle = nullptr;
        heif_context_get_primary_image_handle(context, &handle);
        heif_image* image = nullptr;
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                          nullptr);
        heif_image_release(image);
        heif_image_handle_release(handle);
        heif_context_free(context);
    });
    const Times load = best(rounds, [&path] { tav::loadPicture(path); });
    const Times probe = best(rounds, [&path] { tav::probePicture(path); });
    // What the preview asks for a 3200 x 2400 twip view (217 x 164 pixels).
    tav::LoadOptions preview;
    preview.minimumSize = QSize(123, 164);
    preview.allowEmbeddedThumbnail = true;
    const Times thumb = best(rounds, [&path, &preview] { tav::loadPicture(path, preview); });

    std::printf("%-58s %8s %7s %8s %7s\n", "", "wall ms", "ratio", "CPU ms", "ratio");
    row("heif-convert FILE out.jpg (process: decode + JPEG encode)", convertJpeg, convertJpeg);
    row("heif-convert FILE out.y4m (process: decode, raw YUV out)", convertY4m, convertJpeg);
    row("bare libheif decode to 8-bit RGB, in process", bare, convertJpeg);
    row("loadPicture full (the program's loader, Format_RGB32)", load, convertJpeg);
    row("probePicture (headers only)", probe, convertJpeg);
    row("loadPicture for the preview (embedded thumbnail)", thumb, convertJpeg);
    return 0;
}
