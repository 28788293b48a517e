#include "platform/image/exif_orientation.h"

#include "platform/image/pixel_turn.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace tav {
namespace {

class TiffReader {
public:
    TiffReader(const unsigned char* data, std::size_t size, bool bigEndian)
        : data_(data), size_(size), bigEndian_(bigEndian) {}

    bool u16(std::size_t offset, std::uint16_t& value) const {
        if (offset > size_ || size_ - offset < 2)
            return false;
        const unsigned char* p = data_ + offset;
        value = bigEndian_ ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
        return true;
    }

    bool u32(std::size_t offset, std::uint32_t& value) const {
        if (offset > size_ || size_ - offset < 4)
            return false;
        const unsigned char* p = data_ + offset;
        if (bigEndian_)
            value = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                    std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
        else
            value = std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                    std::uint32_t(p[1]) << 8 | std::uint32_t(p[0]);
        return true;
    }

    // The first value of an IFD entry of an integer type whose values fit in the entry's
    // own value field: BYTE, SHORT, LONG and their signed kinds (SBYTE, SSHORT, SLONG).
    // Nothing for the other types, a count of 0, or values stored elsewhere.
    std::optional<std::int64_t> inlineInteger(std::size_t entry, std::uint16_t type,
                                              std::uint32_t count) const {
        std::size_t width;
        switch (type) {
        case 1: // BYTE
        case 6: // SBYTE
            width = 1;
            break;
        case 3: // SHORT
        case 8: // SSHORT
            width = 2;
            break;
        case 4: // LONG
        case 9: // SLONG
            width = 4;
            break;
        default:
            return std::nullopt;
        }
        if (count < 1 || count > 4 / width)
            return std::nullopt;
        const std::size_t field = entry + 8; // values are left-justified in the field
        if (width == 1) {
            if (field >= size_)
                return std::nullopt;
            const unsigned char byte = data_[field];
            return type == 6 ? std::int64_t(std::int8_t(byte)) : std::int64_t(byte);
        }
        if (width == 2) {
            std::uint16_t v = 0;
            if (!u16(field, v))
                return std::nullopt;
            return type == 8 ? std::int64_t(std::int16_t(v)) : std::int64_t(v);
        }
        std::uint32_t v = 0;
        if (!u32(field, v))
            return std::nullopt;
        return type == 9 ? std::int64_t(std::int32_t(v)) : std::int64_t(v);
    }

    // The offset of the first entry of the directory at `ifd` with this tag, with its
    // type and count; nothing when there is none or the directory is damaged.
    struct Entry {
        std::size_t offset = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
    };
    std::optional<Entry> find(std::size_t ifd, std::uint16_t wanted) const {
        std::uint16_t entries = 0;
        if (!u16(ifd, entries))
            return std::nullopt;
        for (std::uint32_t i = 0; i < entries; ++i) {
            Entry entry;
            entry.offset = ifd + 2 + std::size_t(i) * 12;
            std::uint16_t tag = 0;
            if (!u16(entry.offset, tag) || !u16(entry.offset + 2, entry.type) ||
                !u32(entry.offset + 4, entry.count))
                return std::nullopt;
            if (tag == wanted)
                return entry;
        }
        return std::nullopt;
    }

    // The text of an ASCII entry (type 2), without its closing zero.
    std::optional<QByteArray> ascii(const Entry& entry) const {
        if (entry.type != 2 || entry.count == 0 || entry.count > 256)
            return std::nullopt;
        std::size_t at = entry.offset + 8; // up to four bytes sit in the entry itself
        if (entry.count > 4) {
            std::uint32_t offset = 0;
            if (!u32(entry.offset + 8, offset))
                return std::nullopt;
            at = offset;
        }
        if (at > size_ || size_ - at < entry.count)
            return std::nullopt;
        const auto* text = reinterpret_cast<const char*>(data_ + at);
        return QByteArray(text, qsizetype(::strnlen(text, entry.count)));
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    bool bigEndian_;
};

// Orientation from a TIFF structure (the payload of the EXIF block after "Exif\0\0").
int tiffOrientation(const unsigned char* tiff, std::size_t size) {
    if (size < 8)
        return 1;
    bool bigEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else
        return 1;
    const TiffReader reader(tiff, size, bigEndian);
    std::uint16_t magic = 0;
    std::uint32_t ifd = 0;
    if (!reader.u16(2, magic) || magic != 42 || !reader.u32(4, ifd))
        return 1;
    std::uint16_t count = 0;
    if (!reader.u16(ifd, count))
        return 1;
    // IFD0 only: the orientation of the main picture lives there.
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        std::uint16_t tag = 0, type = 0;
        std::uint32_t n = 0;
        if (!reader.u16(entry, tag) || !reader.u16(entry + 2, type) || !reader.u32(entry + 4, n))
            return 1;
        if (tag != 0x0112)
            continue;
        const std::optional<std::int64_t> value = reader.inlineInteger(entry, type, n);
        return value && *value >= 1 && *value <= 8 ? int(*value) : 1;
    }
    return 1;
}

// The date taken of a TIFF structure: IFD0 points (tag 0x8769) to the EXIF directory,
// which holds DateTimeOriginal (tag 0x9003).
std::optional<QDateTime> tiffDateTaken(const unsigned char* tiff, std::size_t size) {
    if (size < 8 || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')))
        return std::nullopt;
    const TiffReader reader(tiff, size, tiff[0] == 'M');
    std::uint16_t magic = 0;
    std::uint32_t ifd0 = 0, exifIfd = 0;
    if (!reader.u16(2, magic) || magic != 42 || !reader.u32(4, ifd0))
        return std::nullopt;
    const auto pointer = reader.find(ifd0, 0x8769);
    if (!pointer || !reader.u32(pointer->offset + 8, exifIfd))
        return std::nullopt;
    const auto original = reader.find(exifIfd, 0x9003);
    if (!original)
        return std::nullopt;
    const std::optional<QByteArray> text = reader.ascii(*original);
    return text ? exifDateText(*text) : std::nullopt;
}

// The TIFF structure of the first EXIF block (payload of the APP1 segment after
// "Exif\0\0"); false when the file has none before its scan data.
bool findExifTiff(const unsigned char* data, std::size_t size, const unsigned char*& tiff,
                  std::size_t& tiffSize) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    std::size_t pos = 2;
    // Walk the marker segments up to the start of the scan; each step moves forward.
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return false; // not a marker: the segment chain is damaged
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2; // markers without a length
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return false; // scan data or end: no EXIF block before it
        const std::size_t length = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2 || length > size - pos - 2)
            return false;
        const unsigned char* payload = data + pos + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            tiff = payload + 6;
            tiffSize = payloadSize - 6;
            return true;
        }
        pos += 2 + length;
    }
    return false;
}

// Offset (within the TIFF structure) and size of the thumbnail named by IFD1's tags
// 0x0201 (JPEGInterchangeFormat) and 0x0202 (its length).
std::pair<std::size_t, std::size_t> tiffThumbnail(const unsigned char* tiff, std::size_t size) {
    if (size < 8 || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')))
        return {0, 0};
    const TiffReader reader(tiff, size, tiff[0] == 'M');
    std::uint16_t magic = 0, count = 0;
    std::uint32_t ifd0 = 0, ifd1 = 0;
    if (!reader.u16(2, magic) || magic != 42 || !reader.u32(4, ifd0) || !reader.u16(ifd0, count))
        return {0, 0};
    if (!reader.u32(std::size_t(ifd0) + 2 + std::size_t(count) * 12, ifd1) || ifd1 == 0 ||
        ifd1 == ifd0 || !reader.u16(ifd1, count))
        return {0, 0};
    std::uint32_t offset = 0, length = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd1) + 2 + std::size_t(i) * 12;
        std::uint16_t tag = 0;
        std::uint32_t value = 0;
        if (!reader.u16(entry, tag) || !reader.u32(entry + 8, value))
            return {0, 0};
        if (tag == 0x0201)
            offset = value;
        else if (tag == 0x0202)
            length = value;
    }
    if (offset == 0 || length < 4 || offset > size || size - offset < length)
        return {0, 0};
    return {offset, length};
}

} // namespace

int jpegExifOrientation(const unsigned char* data, std::size_t size) {
    const unsigned char* tiff = nullptr;
    std::size_t tiffSize = 0;
    return findExifTiff(data, size, tiff, tiffSize) ? tiffOrientation(tiff, tiffSize) : 1;
}

int exifBlockOrientation(const unsigned char* block, std::size_t size) {
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    return tiffOrientation(block, size);
}

std::optional<QDateTime> jpegExifDateTaken(const unsigned char* data, std::size_t size) {
    const unsigned char* tiff = nullptr;
    std::size_t tiffSize = 0;
    return findExifTiff(data, size, tiff, tiffSize) ? tiffDateTaken(tiff, tiffSize) : std::nullopt;
}

std::optional<QDateTime> exifBlockDateTaken(const unsigned char* block, std::size_t size) {
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    return tiffDateTaken(block, size);
}

std::optional<QDateTime> exifDateText(const QByteArray& text) {
    // Cameras without a clock write blanks or zeros; those, like any other text that is
    // not a real date, give nothing.
    const QDateTime taken = QDateTime::fromString(QString::fromLatin1(text.trimmed().left(19)),
                                                  QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!taken.isValid())
        return std::nullopt;
    return taken;
}

ExifThumbnail jpegExifThumbnail(const unsigned char* data, std::size_t size) {
    const unsigned char* tiff = nullptr;
    std::size_t tiffSize = 0;
    if (!findExifTiff(data, size, tiff, tiffSize))
        return {};
    const auto [offset, length] = tiffThumbnail(tiff, tiffSize);
    if (length == 0)
        return {};
    const std::size_t at = std::size_t(tiff - data) + offset;
    if (data[at] != 0xFF || data[at + 1] != 0xD8)
        return {}; // not a JPEG thumbnail (an uncompressed one is not used)
    return {at, length};
}

QImage applyExifOrientation(QImage stored, int orientation) {
    // The mirrors and the half turn work in place on an image nobody else shares; the
    // quarter turns need a target of exchanged size.
    switch (orientation) {
    case 2:
        return std::move(stored).mirrored(true, false);
    case 3:
        return std::move(stored).mirrored(true, true);
    case 4:
        return std::move(stored).mirrored(false, true);
    case 5: // transpose: a quarter clockwise, then left-right
        return rotateQuarterClockwise(stored).mirrored(true, false);
    case 6:
        return rotateQuarterClockwise(stored);
    case 7: // transverse: a quarter clockwise, then top-bottom
        return rotateQuarterClockwise(stored).mirrored(false, true);
    case 8:
        return rotateQuarterAnticlockwise(stored);
    default:
        return stored;
    }
}

} // namespace tav
