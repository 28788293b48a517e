#include "platform/xls/ole.h"

#include "platform/atomic_file.h"
#include "platform/error.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>

namespace tav::xls {

namespace {

// Owns one GObject reference.
struct GObjectDeleter {
    void operator()(void* object) const {
        if (object) {
            g_object_unref(object);
        }
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

// libgsf reports damaged compound files through GLib warnings and criticals before
// it fails; the engine reports the failure itself, so they are not printed.
void dropLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void initGsf() {
    static const bool done = [] {
        gsf_init();
        g_log_set_handler("libgsf:msole",
                          static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                          dropLog, nullptr);
        return true;
    }();
    Q_UNUSED(done);
}

// The user reads what went wrong; the details are for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::WorkbookContainerDamaged), detail);
}

} // namespace

OleFile readOleFile(const QByteArray& file, const QString& name, qint64 maxStreamBytes) {
    initGsf();
    GPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()),
                                              file.size(), FALSE));
    if (!input) {
        refuse(QStringLiteral("'%1' cannot be read").arg(name));
    }
    GError* rawError = nullptr;
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &rawError));
    GErrorPtr error(rawError);
    if (!ole) {
        refuse(QStringLiteral("'%1' is not an Excel 97-2003 workbook (no compound file: %2)")
                   .arg(name, error ? QString::fromUtf8(error->message) : QString()));
    }
    OleFile out;
    guint8 clsid[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole.get()), clsid)) {
        out.classId = QByteArray(reinterpret_cast<const char*>(clsid), 16);
        if (out.classId.count('\0') == 16) {
            out.classId.clear();
        }
    }
    const int count = gsf_infile_num_children(ole.get());
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(ole.get(), i);
        GPtr<GsfInput> child(gsf_infile_child_by_index(ole.get(), i));
        if (!child || !childName) {
            refuse(QStringLiteral("'%1': compound file entry %2 is damaged").arg(name).arg(i));
        }
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            refuse(QStringLiteral("'%1' holds a storage '%2' (macros or embedded objects), which "
                                  "the engine does not keep")
                       .arg(name, QString::fromUtf8(childName)));
        }
        const gsf_off_t size = gsf_input_size(child.get());
        if (size < 0 || size > maxStreamBytes) {
            refuse(QStringLiteral("'%1': stream '%2' declares %3 bytes")
                       .arg(name, QString::fromUtf8(childName))
                       .arg(static_cast<qint64>(size)));
        }
        QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
        gsf_off_t done = 0;
        while (done < size) {
            const size_t chunk = static_cast<size_t>(std::min<gsf_off_t>(size - done, 1 << 20));
            if (!gsf_input_read(child.get(), chunk,
                                reinterpret_cast<guint8*>(data.data()) + done)) {
                refuse(QStringLiteral("'%1': stream '%2' is damaged (read failed at %3)")
                           .arg(name, QString::fromUtf8(childName))
                           .arg(static_cast<qint64>(done)));
            }
            done += static_cast<gsf_off_t>(chunk);
        }
        out.streams.push_back(OleStream{QString::fromUtf8(childName), std::move(data)});
    }
    return out;
}

namespace {

// One stream of the compound file, written through libgsf.
class ChildStream final : public OleStreamWriter {
public:
    ChildStream(GsfOutput* child, const QString& name) : child_(child), name_(name) {}

    void append(const QByteArray& bytes) override { write(bytes); }

    void overwrite(qint64 offset, const QByteArray& bytes) override {
        if (!gsf_output_seek(child_, offset, G_SEEK_SET)) {
            fail();
        }
        write(bytes);
        if (!gsf_output_seek(child_, 0, G_SEEK_END)) {
            fail();
        }
    }

private:
    void write(const QByteArray& bytes) {
        if (!bytes.isEmpty() &&
            !gsf_output_write(child_, static_cast<size_t>(bytes.size()),
                              reinterpret_cast<const guint8*>(bytes.constData()))) {
            fail();
        }
    }
    [[noreturn]] void fail() const {
        refuse(QStringLiteral("compound file stream '%1' cannot be written").arg(name_));
    }

    GsfOutput* child_;
    QString name_;
};

// Writes the compound file into `sink` and closes it.
void writeOle(const OleFile& file, GsfOutput* sink) {
    initGsf();
    GPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink));
    if (!ole) {
        refuse(QStringLiteral("compound file writer unavailable"));
    }
    if (file.classId.size() == 16) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole.get()),
                                       reinterpret_cast<const guint8*>(file.classId.constData()));
    }
    for (const OleStream& stream : file.streams) {
        GPtr<GsfOutput> child(
            gsf_outfile_new_child(ole.get(), stream.name.toUtf8().constData(), FALSE));
        if (!child) {
            refuse(QStringLiteral("compound file stream '%1' cannot be created").arg(stream.name));
        }
        ChildStream writer(child.get(), stream.name);
        if (stream.write) {
            stream.write(writer);
        } else {
            writer.append(stream.data);
        }
        if (!gsf_output_close(child.get())) {
            refuse(QStringLiteral("compound file stream '%1' cannot be written").arg(stream.name));
        }
    }
    // Closing the outfile closes the sink too.
    if (!gsf_output_close(GSF_OUTPUT(ole.get()))) {
        refuse(QStringLiteral("compound file cannot be completed"));
    }
}

// A stdio stream over a PendingFile, for libgsf: bytes written at the end are appended,
// bytes written after a seek back overwrite what is there. A failure of the pending file
// is kept and thrown once libgsf has given up.
class PendingFileStream {
public:
    explicit PendingFileStream(PendingFile& out) : out_(out) {
        const cookie_io_functions_t functions{nullptr, &PendingFileStream::write,
                                              &PendingFileStream::seek, nullptr};
        stream_ = fopencookie(this, "w", functions);
        if (stream_ == nullptr) {
            throw Error(err::OutOfMemory, errorText(ErrorText::NoMemory));
        }
        // Large pieces: the pending file is written in few calls.
        std::setvbuf(stream_, nullptr, _IOFBF, 1 << 16);
    }
    ~PendingFileStream() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    PendingFileStream(const PendingFileStream&) = delete;
    PendingFileStream& operator=(const PendingFileStream&) = delete;

    FILE* stream() const { return stream_; }

    // Writes out what the stream buffers; throws the pending file's failure, if any.
    void finish() {
        const int rc = std::fclose(stream_);
        stream_ = nullptr;
        rethrowFailure();
        if (rc != 0) {
            refuse(QStringLiteral("compound file cannot be written out"));
        }
    }
    void rethrowFailure() const {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

private:
    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<PendingFileStream*>(cookie);
        if (self->failure_) {
            errno = EIO; // the first failure is the one reported; nothing more is written
            return -1;
        }
        try {
            const auto n = static_cast<qint64>(size);
            const qint64 overwritten = std::clamp<qint64>(self->end_ - self->position_, 0, n);
            if (overwritten > 0) {
                self->out_.writeAt(self->position_,
                                   QByteArray::fromRawData(data, qsizetype(overwritten)));
            }
            if (overwritten < n) {
                if (self->position_ + overwritten != self->end_) {
                    refuse(QStringLiteral("compound file written beyond its end"));
                }
                self->out_.write(
                    QByteArray::fromRawData(data + overwritten, qsizetype(n - overwritten)));
            }
            self->position_ += n;
            self->end_ = std::max(self->end_, self->position_);
            return static_cast<ssize_t>(size);
        } catch (...) {
            self->failure_ = std::current_exception();
            errno = EIO;
            return -1;
        }
    }

    static int seek(void* cookie, off64_t* offset, int whence) {
        auto* self = static_cast<PendingFileStream*>(cookie);
        const qint64 base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? self->position_
                                                 : self->end_;
        const qint64 target = base + *offset;
        if (target < 0) {
            errno = EINVAL;
            return -1;
        }
        self->position_ = target;
        *offset = target;
        return 0;
    }

    PendingFile& out_;
    FILE* stream_ = nullptr;
    qint64 position_ = 0;
    qint64 end_ = 0;
    std::exception_ptr failure_;
};

} // namespace

QByteArray buildOleFile(const OleFile& file) {
    initGsf();
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    writeOle(file, sink.get());
    const gsf_off_t size = gsf_output_size(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
}

void writeOleFile(const OleFile& file, PendingFile& out) {
    initGsf();
    PendingFileStream stream(out);
    {
        GPtr<GsfOutput> sink(gsf_output_stdio_new_FILE("workbook", stream.stream(), TRUE));
        if (!sink) {
            refuse(QStringLiteral("compound file writer unavailable"));
        }
        try {
            writeOle(file, sink.get());
        } catch (const Error&) {
            // A failing pending file is the cause to report, not libgsf's giving up.
            stream.rethrowFailure();
            throw;
        }
    }
    stream.finish();
}

} // namespace tav::xls
