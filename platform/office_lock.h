// Office-suite lock files beside a workbook, and the one a run holds while it writes.
//
// LibreOffice marks a document it has open with ".~lock.NAME#" in the same folder,
// Microsoft Office with "~$NAME". While a run writes a workbook it holds a lock file of
// LibreOffice's format itself, so that LibreOffice (and a second run) sees the workbook
// in use. Its one line reads
//     Tavolin,USER,HOST,DD.MM.YYYY HH:MM,tavolin:pid=PID;
// (LibreOffice's fields: name shown, system user, host, time, profile). The run also
// holds a flock() on the file as long as it lives; a lock file of ours whose flock
// nobody holds was left by a run that was killed, and does not count.
//
// Usage (the generation run):
//     if (officeLockState(target) == OfficeLockState::InUse) ...;   // up-front check
//     std::unique_ptr<WorkbookLock> lock = WorkbookLock::acquire(target); // 70: in use
//     ...                                                           // write the workbook
//     lock.reset();                                                 // the lock file goes
#pragma once

#include <QString>

#include <memory>

namespace tav {

// ".~lock.NAME#" beside `path`.
QString libreOfficeLockPath(const QString& path);
// "~$NAME" beside `path`.
QString msOfficeLockPath(const QString& path);

enum class OfficeLockState {
    Free,         // no lock file beside the workbook
    InUse,        // a lock of an office suite, or of a run of ours that is still working
    LeftByKilled, // only a lock file of ours whose run is gone
};

OfficeLockState officeLockState(const QString& path);

// The lock line this process writes (see above), for `now` in local time.
QByteArray lockFileLine();

// The lock a run holds on its target while it writes.
class WorkbookLock {
public:
    // Creates ".~lock.NAME#" beside `path` (replacing one that a killed run of ours
    // left) and holds it. Throws tav::Error 70 when the workbook is in use: a lock
    // file of an office suite or of a working run lies beside it. File errors of the
    // folder throw their classic numbers. When the file system cannot hold a name that
    // long, the run goes on without a lock file (isHeld() is false).
    static std::unique_ptr<WorkbookLock> acquire(const QString& path);

    // Removes the lock file (if it is still ours) and releases it.
    ~WorkbookLock();
    WorkbookLock(const WorkbookLock&) = delete;
    WorkbookLock& operator=(const WorkbookLock&) = delete;

    bool isHeld() const { return fd_ >= 0; }
    const QString& lockPath() const { return lockPath_; }

private:
    WorkbookLock(QString lockPath, int fd) : lockPath_(std::move(lockPath)), fd_(fd) {}
    QString lockPath_;
    int fd_;
};

} // namespace tav
