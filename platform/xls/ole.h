// Container layer: the OLE2 compound file around the workbook, through libgsf.
// No GObject leaves this file.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace tav {
class PendingFile;
}

namespace tav::xls {

// Writes one stream of a compound file being built, as its bytes come.
class OleStreamWriter {
public:
    virtual ~OleStreamWriter() = default;
    virtual void append(const QByteArray& bytes) = 0;
    // Overwrites bytes already appended, from stream offset `offset` on.
    virtual void overwrite(qint64 offset, const QByteArray& bytes) = 0;
};

struct OleStream {
    QString name;
    QByteArray data;
    // When set, writes the stream's bytes in place of `data`, so that a large stream is
    // never held whole.
    std::function<void(OleStreamWriter&)> write;
};

struct OleFile {
    QByteArray classId; // 16 bytes, or empty when the root has none
    std::vector<OleStream> streams;
};

// Parses the bytes of a compound file. Not a compound file, a damaged one, a
// storage inside it or a stream larger than `maxStreamBytes`: 1004 naming `name`.
OleFile readOleFile(const QByteArray& file, const QString& name,
                    qint64 maxStreamBytes = 512LL * 1024 * 1024);

// The bytes of a compound file holding `file`'s streams in the given order (version
// 3, 512-byte sectors; extension sectors for files above ~6.8 MB).
QByteArray buildOleFile(const OleFile& file);

// The same compound file written into `out` as it is built: the streams go to the file
// as they come, and the header is completed in place at the end. Failures of `out`
// are thrown as they are.
void writeOleFile(const OleFile& file, PendingFile& out);

} // namespace tav::xls
