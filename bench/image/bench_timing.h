// Best-of-N timing for the hand-run benchmarks.
//
// The figures are CPU time of the calling thread (user + system, so page faults count),
// not wall-clock time: the build machine is shared, and wall-clock figures there swing by
// a factor of two with the load of other processes while CPU time stays steady.
#pragma once

#include "platform/heap.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>

namespace tav::bench {

inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Runs `work` once to warm caches and allocators, then `rounds` times; the best time in
// milliseconds (the least disturbed run) is the figure reported.
inline double bestMs(int rounds, const std::function<void()>& work) {
    work();
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < rounds; ++i) {
        const double start = threadCpuMs();
        work();
        best = std::min(best, threadCpuMs() - start);
    }
    return best;
}

inline void row(const char* what, double ms, double baselineMs, const char* baselineName) {
    std::printf("%-52s %9.2f ms  %6.2fx %s\n", what, ms, ms / baselineMs, baselineName);
}

// Pictures are decoded and drawn without a display (unless one is asked for).
inline void useOffscreenDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The command line of the picture benchmarks: [--reuse-heap] [photo] [rounds]. With
// --reuse-heap the allocator is tuned as the programs tune it at start (platform/heap.h).
struct CommandLine {
    bool reuseHeap = false;
    const char* photo = nullptr; // none given
    int rounds = 0;
};

inline CommandLine readCommandLine(int argc, char** argv, int defaultRounds) {
    CommandLine line;
    if (argc > 1 && std::strcmp(argv[1], "--reuse-heap") == 0) {
        reuseHeapForLargePictures();
        line.reuseHeap = true;
        --argc;
        ++argv;
    }
    line.photo = argc > 1 ? argv[1] : nullptr;
    line.rounds = argc > 2 ? std::atoi(argv[2]) : defaultRounds;
    return line;
}

} // namespace tav::bench
