// Small helpers of the tests that work on real files: write and read a file whole, and
// the error number (and errno) a piece of work throws.
#pragma once

#include "platform/error.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <functional>

namespace tav::testing {

// Creates or replaces `path` with `content`; a file that cannot be written fails the
// test.
inline void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

// The whole content of `path`, or "<missing>" when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Runs `work` and returns the number of the tav::Error it throws, 0 when it throws none;
// the error's errno goes to `*osError` when asked for.
inline int errorNumberOf(const std::function<void()>& work, int* osError = nullptr) {
    try {
        work();
    } catch (const Error& e) {
        if (osError != nullptr) {
            *osError = e.osError();
        }
        return e.number();
    }
    return 0;
}

} // namespace tav::testing
