// Runs a piece of a test as an ordinary user. Permission checks are what the tests of
// "folder not writable" or "photo not readable" are about, and root passes them all;
// so under root the piece runs in a child process that has become "nobody" first.
// The piece may touch only what that user can reach (make the test's folder 0777).
#pragma once

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace tav::testing {

// The user id the piece runs as: this process's own, or nobody's under root.
inline constexpr uid_t kNobody = 65534;

// Runs `piece` and returns its result (0..255); under root, in a child process as
// nobody. -1 when the child could not be started or did not end normally.
inline int runUnprivileged(const std::function<int()>& piece) {
    if (::geteuid() != 0) {
        return piece();
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(255);
        }
        ::_exit(piece() & 0xff);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace tav::testing
