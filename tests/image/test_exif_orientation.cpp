// The EXIF orientation parser against hand-made and damaged EXIF blocks, and the
// orientation transforms against the EXIF definition of the eight values.
#include "image_test_support.h"
#include "platform/image/exif_orientation.h"

#include <QFile>

#include <gtest/gtest.h>

namespace tav {
namespace {

QByteArray be16(int v) {
    return QByteArray(1, char((v >> 8) & 0xFF)) + QByteArray(1, char(v & 0xFF));
}
QByteArray le16(int v) {
    return QByteArray(1, char(v & 0xFF)) + QByteArray(1, char((v >> 8) & 0xFF));
}
QByteArray u32(bool big, quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[big ? 3 - i : i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

struct Entry {
    int tag;
    int type;
    quint32 count;
    qint64 value;
};

// The 4-byte value field of an entry: the value left-justified in its type's width
// (one byte, two or four), the rest zero.
QByteArray valueField(bool big, int type, qint64 value) {
    switch (type) {
    case 1: // BYTE
    case 6: // SBYTE
        return QByteArray(1, char(value & 0xFF)) + QByteArray(3, '\0');
    case 4: // LONG
    case 9: // SLONG
        return u32(big, quint32(value));
    default:
        return (big ? be16(int(value & 0xFFFF)) : le16(int(value & 0xFFFF))) + QByteArray(2, '\0');
    }
}

// A TIFF structure with IFD0 at offset 8 holding `entries`.
QByteArray tiff(bool big, const std::vector<Entry>& entries, quint32 ifdOffset = 8,
                int declaredCount = -1) {
    auto w16 = [big](int v) { return big ? be16(v) : le16(v); };
    QByteArray t = big ? QByteArray("MM") : QByteArray("II");
    t += w16(42) + u32(big, ifdOffset);
    t += w16(declaredCount >= 0 ? declaredCount : int(entries.size()));
    for (const Entry& e : entries)
        t += w16(e.tag) + w16(e.type) + u32(big, e.count) + valueField(big, e.type, e.value);
    t += u32(big, 0);
    return t;
}

QByteArray segment(int marker, const QByteArray& payload) {
    return QByteArray(1, char(0xFF)) + QByteArray(1, char(marker)) + be16(payload.size() + 2) +
           payload;
}

QByteArray jpegWith(const QByteArray& segments) {
    return QByteArray::fromHex("FFD8") + segments + QByteArray::fromHex("FFDA000C") +
           QByteArray(20, '\x11');
}

int orientationOf(const QByteArray& jpeg) {
    return jpegExifOrientation(reinterpret_cast<const unsigned char*>(jpeg.constData()),
                               std::size_t(jpeg.size()));
}

QByteArray exif(const QByteArray& tiffBytes) {
    return segment(0xE1, QByteArray("Exif\0\0", 6) + tiffBytes);
}

TEST(ExifOrientation, ReadsBothByteOrders) {
    for (int v = 1; v <= 8; ++v) {
        EXPECT_EQ(orientationOf(jpegWith(exif(tiff(false, {{0x0112, 3, 1, v}})))), v);
        EXPECT_EQ(orientationOf(jpegWith(exif(tiff(true, {{0x0112, 3, 1, v}})))), v);
    }
}

// Cameras store the tag as any integer type: SHORT by the EXIF rules, but Panasonic
// writes a signed long. Values outside 1..8 and types that are no integers mean upright.
TEST(ExifOrientation, EveryIntegerTypeIsReadAndOtherValuesMeanUpright) {
    struct Case {
        const char* what;
        int type;
        quint32 count;
        qint64 value;
        int expected;
    };
    const Case cases[] = {
        {"BYTE", 1, 1, 6, 6},
        {"SHORT", 3, 1, 8, 8},
        {"LONG", 4, 1, 6, 6},
        {"SBYTE", 6, 1, 3, 3},
        {"SSHORT", 8, 1, 5, 5},
        {"SLONG (Panasonic)", 9, 1, 6, 6},
        {"two SHORTs, the first counts", 3, 2, 7, 7},
        {"four BYTEs, the first counts", 1, 4, 2, 2},
        {"SHORT 0", 3, 1, 0, 1},
        {"SHORT 9", 3, 1, 9, 1},
        {"BYTE 200", 1, 1, 200, 1},
        {"SBYTE -2", 6, 1, -2, 1},
        {"SSHORT -6", 8, 1, -6, 1},
        {"SLONG -1", 9, 1, -1, 1},
        {"LONG beyond 16 bits", 4, 1, 0x10006, 1},
        {"zero count", 9, 0, 6, 1},
        {"two LONGs stored elsewhere", 4, 2, 6, 1},
        {"ASCII", 2, 1, 6, 1},
        {"RATIONAL", 5, 1, 6, 1},
        {"UNDEFINED", 7, 1, 6, 1},
        {"FLOAT", 11, 1, 6, 1},
    };
    for (const Case& c : cases)
        for (bool big : {false, true})
            EXPECT_EQ(
                orientationOf(jpegWith(exif(tiff(big, {{0x0112, c.type, c.count, c.value}})))),
                c.expected)
                << c.what << (big ? " (big-endian)" : " (little-endian)");
}

TEST(ExifOrientation, FindsTheTagAmongOthersAndAfterOtherSegments) {
    const QByteArray app0 = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    const QByteArray xmp = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
    const QByteArray block =
        exif(tiff(true, {{0x010F, 2, 4, 0}, {0x0110, 2, 4, 0}, {0x0112, 3, 1, 6}}));
    EXPECT_EQ(orientationOf(jpegWith(app0 + xmp + block)), 6);
}

TEST(ExifOrientation, DamagedOrMissingBlocksReadAsUpright) {
    struct Case {
        const char* what;
        QByteArray jpeg;
    };
    const QByteArray goodTiff = tiff(false, {{0x0112, 3, 1, 6}});
    QByteArray longSegment = exif(goodTiff);
    longSegment[2] = char(0x7F); // length far beyond the file
    const Case cases[] = {
        {"no EXIF", jpegWith(segment(0xE0, QByteArray(14, 'x')))},
        {"IFD beyond the block", jpegWith(exif(tiff(false, {{0x0112, 3, 1, 6}}, 4000)))},
        {"entry count beyond the block", jpegWith(exif(tiff(false, {}, 8, 65535)))},
        {"bad byte order", jpegWith(exif(QByteArray("XX") + goodTiff.mid(2)))},
        {"bad magic", jpegWith(exif(goodTiff.left(2) + le16(43) + goodTiff.mid(4)))},
        {"cut TIFF header", jpegWith(exif(goodTiff.left(5)))},
        {"segment longer than the file", QByteArray::fromHex("FFD8") + longSegment},
        {"tag after the scan", QByteArray::fromHex("FFD8FFDA0002") + exif(goodTiff)},
        {"no start marker", exif(goodTiff)},
        {"garbage between segments", QByteArray::fromHex("FFD800") + exif(goodTiff)},
        {"empty", QByteArray()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(orientationOf(c.jpeg), 1) << c.what;
}

TEST(ExifOrientation, CorpusFilesCarryTheirValues) {
    for (int v = 0; v <= 8; ++v) {
        const QString name = v == 0 ? QStringLiteral("orientation_0_no_exif.jpg")
                                    : QStringLiteral("orientation_%1.jpg").arg(v);
        QFile f(test::imagePath("jpeg/orientation/") + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(orientationOf(f.readAll()), v == 0 ? 1 : v) << v;
    }
}

// Where stored pixel (c, r) of a ws x hs picture appears in the upright picture, straight
// from the EXIF definition: which side the stored row 0 and column 0 belong to.
QPoint uprightPosition(int orientation, int c, int r, int ws, int hs) {
    switch (orientation) {
    case 2: // row 0 top, column 0 right
        return {ws - 1 - c, r};
    case 3: // row 0 bottom, column 0 right
        return {ws - 1 - c, hs - 1 - r};
    case 4: // row 0 bottom, column 0 left
        return {c, hs - 1 - r};
    case 5: // row 0 left, column 0 top
        return {r, c};
    case 6: // row 0 right, column 0 top
        return {hs - 1 - r, c};
    case 7: // row 0 right, column 0 bottom
        return {hs - 1 - r, ws - 1 - c};
    case 8: // row 0 left, column 0 bottom
        return {r, ws - 1 - c};
    default:
        return {c, r};
    }
}

TEST(ExifOrientation, TransformsFollowTheDefinition) {
    const int ws = 5, hs = 3;
    QImage stored(ws, hs, QImage::Format_RGB32);
    for (int r = 0; r < hs; ++r)
        for (int c = 0; c < ws; ++c)
            stored.setPixel(c, r, qRgb(c * 40, r * 80, 7));
    for (int o = 1; o <= 8; ++o) {
        const QImage upright = applyExifOrientation(stored, o);
        ASSERT_EQ(upright.size(), orientationSwapsSides(o) ? QSize(hs, ws) : QSize(ws, hs)) << o;
        for (int r = 0; r < hs; ++r)
            for (int c = 0; c < ws; ++c)
                ASSERT_EQ(upright.pixel(uprightPosition(o, c, r, ws, hs)), stored.pixel(c, r))
                    << "orientation " << o << " pixel " << c << "," << r;
    }
}

} // namespace
} // namespace tav
