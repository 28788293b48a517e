// Best-of-N timing for the hand-run benchmarks.
//
// The figures are CPU time of the calling thread (user + system, so page faults count),
// not wall-clock time: the build machine is shared, and wall-clock figures there swing by
// a factor of two with the load of other processes while CPU time stays steady.
#pragma once

#include "platform/heap.h"
#include <algorithm>
#include <cstdio>
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

// Takes a leading "--reuse-heap" off the command line. With it, the allocator is tuned
// as the programs tune it at start (platform/heap.h).
inline bool takeReuseHeapFlag(int& argc, char**& argv) {
    if (argc > 1 && std::strcmp(argv[1], "--reuse-heap") == 0) {
        reuseHeapForLargePictures();
        --argc;
        ++argv;
        return true;
    }
    return false;
}

} // namespace tav::bench
