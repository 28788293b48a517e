#include "platform/xls/biff.h"

#include "platform/error.h"
#include "platform/xls/opcodes.h"

#include <algorithm>
#include <cstring>

namespace tav::xls {

namespace {
// The user reads what went wrong; the record details are for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::WorkbookRecordsDamaged), detail);
}
} // namespace

QString recordWhere(std::uint16_t opcode, qsizetype offset) {
    return QStringLiteral("record %1 at offset %2")
        .arg(QString::fromLatin1(op::opcodeName(opcode)))
        .arg(offset);
}

std::vector<Record> splitRecords(const QByteArray& stream) {
    std::vector<Record> records;
    qsizetype at = 0;
    const qsizetype size = stream.size();
    while (at < size) {
        if (size - at < 4) {
            refuse(
                QStringLiteral("workbook stream ends inside a record header at offset %1").arg(at));
        }
        const std::uint16_t type = get16(stream, at);
        const std::uint16_t length = get16(stream, at + 2);
        if (length > size - at - 4) {
            refuse(QStringLiteral("%1 declares %2 bytes but the stream ends after %3")
                       .arg(recordWhere(type, at))
                       .arg(length)
                       .arg(size - at - 4));
        }
        records.push_back(Record{type, stream.mid(at + 4, length)});
        at += 4 + length;
    }
    return records;
}

void ByteReader::need(qsizetype count) const {
    if (count < 0 || count > data_.size() - pos_) {
        refuse(QStringLiteral("record %1 is too short (%2 bytes, field at %3 needs %4)")
                   .arg(QString::fromLatin1(op::opcodeName(opcode_)))
                   .arg(data_.size())
                   .arg(pos_)
                   .arg(count));
    }
}

std::uint8_t ByteReader::u8() {
    need(1);
    return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint16_t ByteReader::u16() {
    need(2);
    const std::uint16_t v = get16(data_, pos_);
    pos_ += 2;
    return v;
}

std::uint32_t ByteReader::u32() {
    need(4);
    const std::uint32_t v = get32(data_, pos_);
    pos_ += 4;
    return v;
}

double ByteReader::f64() {
    need(8);
    double v;
    std::memcpy(&v, data_.constData() + pos_, 8);
    pos_ += 8;
    return v;
}

QByteArray ByteReader::bytes(qsizetype count) {
    need(count);
    QByteArray out = data_.mid(pos_, count);
    pos_ += count;
    return out;
}

void ByteReader::skip(qsizetype count) {
    need(count);
    pos_ += count;
}

QString ByteReader::unicodeString(bool shortCount) {
    const int count = shortCount ? u8() : u16();
    const bool high = (u8() & 0x01) != 0;
    const QByteArray raw = bytes(high ? static_cast<qsizetype>(count) * 2 : count);
    return decodeChars(raw.constData(), count, high);
}

QString decodeChars(const char* data, qsizetype count, bool high) {
    if (high) {
        return QString(reinterpret_cast<const QChar*>(data), count);
    }
    return QString::fromLatin1(data, count);
}

void put8(QByteArray& out, std::uint8_t v) {
    out.append(static_cast<char>(v));
}

void put16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void put32(QByteArray& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void putF64(QByteArray& out, double v) {
    char bytes[8];
    std::memcpy(bytes, &v, 8);
    out.append(bytes, 8);
}

std::uint16_t get16(const QByteArray& data, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData() + at);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get32(const QByteArray& data, qsizetype at) {
    return static_cast<std::uint32_t>(get16(data, at)) |
           (static_cast<std::uint32_t>(get16(data, at + 2)) << 16);
}

void set16(QByteArray& data, qsizetype at, std::uint16_t v) {
    data[at] = static_cast<char>(v & 0xFF);
    data[at + 1] = static_cast<char>(v >> 8);
}

void set32(QByteArray& data, qsizetype at, std::uint32_t v) {
    set16(data, at, static_cast<std::uint16_t>(v & 0xFFFF));
    set16(data, at + 2, static_cast<std::uint16_t>(v >> 16));
}

void BiffWriter::begin(std::uint16_t opcode) {
    Q_ASSERT(!open_);
    pendingOp_ = opcode;
    pending_.clear();
    open_ = true;
}

void BiffWriter::commit() {
    Q_ASSERT(open_);
    open_ = false;
    beginContinued(pendingOp_);
    appendContinued(pending_);
    endContinued();
    pending_.clear();
}

void BiffWriter::handOverTo(Append append, Overwrite overwrite) {
    append_ = std::move(append);
    overwrite_ = std::move(overwrite);
}

void BiffWriter::handOverIfDue() {
    constexpr qsizetype kHandOverBytes = 1 << 20;
    if (append_ && out_.size() >= kHandOverBytes) {
        finish();
    }
}

void BiffWriter::finish() {
    if (append_ && !out_.isEmpty()) {
        append_(out_);
        handedOver_ += out_.size();
        out_.clear();
    }
}

void BiffWriter::beginContinued(std::uint16_t opcode) {
    handOverIfDue();
    chunkHeader_ = out_.size();
    chunkFill_ = 0;
    put16(out_, opcode);
    put16(out_, 0);
}

void BiffWriter::appendContinued(const QByteArray& data) {
    const char* from = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        if (chunkFill_ == MaxRecordData) {
            endContinued();
            beginContinued(op::CONTINUE);
        }
        const qsizetype n = std::min<qsizetype>(left, MaxRecordData - chunkFill_);
        out_.append(from, n);
        from += n;
        left -= n;
        chunkFill_ += n;
    }
}

void BiffWriter::endContinued() {
    set16(out_, chunkHeader_ + 2, static_cast<std::uint16_t>(chunkFill_));
}

void BiffWriter::write(std::uint16_t opcode, const QByteArray& data) {
    if (data.size() > MaxRecordData) {
        refuse(QStringLiteral("record %1 of %2 bytes exceeds the record size limit")
                   .arg(QString::fromLatin1(op::opcodeName(opcode)))
                   .arg(data.size()));
    }
    handOverIfDue();
    put16(out_, opcode);
    put16(out_, static_cast<std::uint16_t>(data.size()));
    out_.append(data);
}

void BiffWriter::patch32(std::uint32_t streamOffset, std::uint32_t value) {
    Q_ASSERT(streamOffset + 4 <= pos());
    if (streamOffset >= handedOver_) {
        set32(out_, static_cast<qsizetype>(streamOffset - handedOver_), value);
        return;
    }
    QByteArray bytes;
    put32(bytes, value);
    // The four bytes may straddle what was handed over and what still waits.
    const qsizetype before = static_cast<qsizetype>(
        std::min<qint64>(4, handedOver_ - static_cast<qint64>(streamOffset)));
    overwrite_(streamOffset, bytes.left(before));
    for (qsizetype i = before; i < 4; ++i) {
        out_[i - before] = bytes[i];
    }
}

} // namespace tav::xls
