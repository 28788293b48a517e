#include "platform/xls/ole.h"

#include "platform/error.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
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

QByteArray buildOleFile(const OleFile& file) {
    initGsf();
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    GPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink.get()));
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
        if ((!stream.data.isEmpty() &&
             !gsf_output_write(child.get(), static_cast<size_t>(stream.data.size()),
                               reinterpret_cast<const guint8*>(stream.data.constData()))) ||
            !gsf_output_close(child.get())) {
            refuse(QStringLiteral("compound file stream '%1' cannot be written").arg(stream.name));
        }
    }
    // Closing the outfile closes the sink too; the sink is only released afterwards.
    if (!gsf_output_close(GSF_OUTPUT(ole.get()))) {
        refuse(QStringLiteral("compound file cannot be completed"));
    }
    const gsf_off_t size = gsf_output_size(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
}

} // namespace tav::xls
