// Record framing of the BIFF8 workbook stream: splitting a stream into raw records
// and writing records, with the 8224-byte limit and CONTINUE records.
//
// This layer knows nothing about what records mean; the content layer
// (workbook_reader / workbook_writer) never counts header bytes itself.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace tav::xls {

// Largest data part of one BIFF8 record; longer logical records continue in
// CONTINUE records.
inline constexpr int MaxRecordData = 8224;

struct Record {
    std::uint16_t type = 0;
    QByteArray data;
};

// Splits `stream` into records. A truncated header or a length running past the end
// of the stream throws 1004 naming the offset. CONTINUE records stay separate
// records, so unknown records are written back byte for byte.
std::vector<Record> splitRecords(const QByteArray& stream);

// Reads little-endian fields from a record's data. Reading past the end throws 1004
// ("record <name> is too short"), so damaged records never read outside memory.
class ByteReader {
public:
    ByteReader(const QByteArray& data, std::uint16_t opcode) : data_(data), opcode_(opcode) {}

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    double f64();
    QByteArray bytes(qsizetype count);
    void skip(qsizetype count);
    qsizetype pos() const { return pos_; }
    qsizetype remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    // ShortXLUnicodeString (1-byte count) or XLUnicodeString (2-byte count).
    QString unicodeString(bool shortCount);

private:
    void need(qsizetype count) const;
    const QByteArray& data_;
    std::uint16_t opcode_;
    qsizetype pos_ = 0;
};

// `count` characters stored as 8-bit characters (the high bytes left out, `high`
// false) or as UTF-16LE, as string fields store them.
QString decodeChars(const char* data, qsizetype count, bool high);

// Little-endian helpers for building record data.
void put8(QByteArray& out, std::uint8_t v);
void put16(QByteArray& out, std::uint16_t v);
void put32(QByteArray& out, std::uint32_t v);
void putF64(QByteArray& out, double v);
std::uint16_t get16(const QByteArray& data, qsizetype at);
std::uint32_t get32(const QByteArray& data, qsizetype at);
void set16(QByteArray& data, qsizetype at, std::uint16_t v);
void set32(QByteArray& data, qsizetype at, std::uint32_t v);

// Writes records into one stream buffer.
//
//     writer.begin(op::SETUP);
//     writer.data().append(bytes);
//     writer.commit();            // split into CONTINUE records when > 8224 bytes
class BiffWriter {
public:
    // Stream position where the next record starts.
    std::uint32_t pos() const { return static_cast<std::uint32_t>(handedOver_ + out_.size()); }

    // Hands the records over as they are made instead of keeping the whole stream:
    // whenever more than a megabyte waits it goes to `append`, and a patch of bytes
    // already handed over goes to `overwrite` (stream offset, bytes). finish() hands
    // over the rest. Without it the stream stays in memory (stream(), take()).
    using Append = std::function<void(const QByteArray&)>;
    using Overwrite = std::function<void(qint64, const QByteArray&)>;
    void handOverTo(Append append, Overwrite overwrite);
    void finish();

    void begin(std::uint16_t opcode);
    // Data of the record begun last.
    QByteArray& data() { return pending_; }
    // Ends the record begun last: data beyond 8224 bytes goes into CONTINUE records
    // of 8224 bytes each.
    void commit();

    // A record written piece by piece, straight into the stream (the picture store
    // passes hundreds of megabytes): every 8224 bytes of data continue in a CONTINUE
    // record, as commit() splits them.
    void beginContinued(std::uint16_t opcode);
    void appendContinued(const QByteArray& data);
    void endContinued();

    // Room for `bytes` more of stream, so that a large record is not copied as the
    // stream grows.
    // (Nothing to do when the records are handed over.)
    void reserve(qsizetype bytes) {
        if (!append_) {
            out_.reserve(out_.size() + bytes);
        }
    }

    // Writes one record as given (data at most 8224 bytes, else 1004).
    void write(std::uint16_t opcode, const QByteArray& data);
    void write(const Record& record) { write(record.type, record.data); }

    // Overwrites 4 bytes of already written stream data.
    void patch32(std::uint32_t streamOffset, std::uint32_t value);

    const QByteArray& stream() const { return out_; }
    QByteArray take() { return std::move(out_); }

private:
    // Hands the waiting bytes over when there are enough of them (between records).
    void handOverIfDue();

    QByteArray out_; // the stream from handedOver_ on
    qint64 handedOver_ = 0;
    Append append_;
    Overwrite overwrite_;
    QByteArray pending_;
    std::uint16_t pendingOp_ = 0;
    bool open_ = false;
    qsizetype chunkHeader_ = 0; // the record header of the continued record's last piece
    qsizetype chunkFill_ = 0;   // data bytes in that piece
};

// "record SST at offset 1234" style text for error descriptions.
QString recordWhere(std::uint16_t opcode, qsizetype offset);

} // namespace tav::xls
