// glibc's allocator tuned for programs that decode photo after photo.
#pragma once

#include <malloc.h>

namespace tav {

// Decoded photos are tens of megabytes each. By default glibc gives every such block
// fresh pages of its own (mmap) and hands them back when it is freed, and it trims
// the heap's free top as soon as it passes 128 kB; each following picture then pays
// a page fault per 4 kB touched. Keeping large blocks in the heap and its free top
// for reuse makes the next picture land in memory that is already mapped
// (bench/README.md has the measurements). Peak memory is unchanged; the process just
// holds on to its peak until it ends.
//
// The threads that prepare pictures share the one heap: with an arena of its own, each
// thread would hold on to its own peak as well, and memory would grow with the number
// of threads (a two-thread run peaked about 50 MB higher).
inline void reuseHeapForLargePictures() {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_ARENA_MAX, 1);
}

} // namespace tav
