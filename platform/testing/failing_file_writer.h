// Test double for tav::FileWriter: writes real temporary files through the local
// writer, but fails where the test says: the Nth write (after writing half of its
// bytes, as a disk that fills up does), the Nth commit, or the creation of the
// temporary file, each with the errno the test chooses (ENOSPC, EIO, EROFS, ...).
#pragma once

#include "platform/atomic_file.h"
#include "platform/error.h"

#include <QStringList>

#include <cerrno>

namespace tav::testing {

class FailingFileWriter final : public FileWriter {
public:
    // 1-based counts over every pending file of this writer; 0 never fails.
    int failWrite = 0;
    int failCommit = 0;
    int failCreate = 0;
    int osError = ENOSPC;

    // Temporary files created, in order (they should all be gone afterwards).
    QStringList temporaries;
    int writes = 0;
    int commits = 0;
    int creates = 0;

    std::unique_ptr<PendingFile> create(const QString& target) override {
        if (++creates == failCreate) {
            throwErrno(osError, FileOperation::Save, target);
        }
        auto file = std::make_unique<Pending>(*this, localFileWriter().create(target));
        temporaries << file->temporaryPath();
        return file;
    }

private:
    class Pending final : public PendingFile {
    public:
        Pending(FailingFileWriter& owner, std::unique_ptr<PendingFile> real)
            : owner_(owner), real_(std::move(real)) {}
        void write(const QByteArray& bytes) override {
            if (++owner_.writes == owner_.failWrite) {
                real_->write(bytes.left(bytes.size() / 2));
                throwErrno(owner_.osError, FileOperation::Save, real_->targetPath());
            }
            real_->write(bytes);
        }
        void writeAt(qint64 offset, const QByteArray& bytes) override {
            if (++owner_.writes == owner_.failWrite) {
                throwErrno(owner_.osError, FileOperation::Save, real_->targetPath());
            }
            real_->writeAt(offset, bytes);
        }
        void commit() override {
            if (++owner_.commits == owner_.failCommit) {
                throwErrno(owner_.osError, FileOperation::Save, real_->targetPath());
            }
            real_->commit();
        }
        void abandon() noexcept override { real_->abandon(); }
        QString targetPath() const override { return real_->targetPath(); }
        QString temporaryPath() const override { return real_->temporaryPath(); }

    private:
        FailingFileWriter& owner_;
        std::unique_ptr<PendingFile> real_;
    };
};

} // namespace tav::testing
