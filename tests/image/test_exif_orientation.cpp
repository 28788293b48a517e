// The EXIF orientation parser against hand-made and damaged EXIF blocks, the orientation
// transforms against the EXIF definition of the eight values, and the date taken.
#include "image_test_support.h"
#include "platform/image/exif_orientation.h"
#include "platform/image/picture_loader.h"

#include <QFile>
#include <QTemporaryDir>

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

// A TIFF structure whose IFD0 points to an EXIF directory holding DateTimeOriginal
// `text` (with its closing zero): header, IFD0 at 8, the EXIF directory at 26, the text
// at 44. `exifAt` and `textAt` move the pointers for damaged blocks.
QByteArray datedTiff(bool big, const QByteArray& text, quint32 exifAt = 26, quint32 textAt = 44) {
    auto w16 = [big](int v) { return big ? be16(v) : le16(v); };
    QByteArray t = (big ? QByteArray("MM") : QByteArray("II")) + w16(42) + u32(big, 8);
    t += w16(1) + w16(0x8769) + w16(4) + u32(big, 1) + u32(big, exifAt) + u32(big, 0);
    t += w16(1) + w16(0x9003) + w16(2) + u32(big, quint32(text.size() + 1)) + u32(big, textAt) +
         u32(big, 0);
    return t + text + QByteArray(1, '\0');
}

TEST(ExifDate, DateTimeOriginalOfHandMadeBlocks) {
    const QDateTime taken(QDate(2026, 12, 7), QTime(10, 15, 30));
    struct Case {
        const char* what;
        QByteArray block;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        {"little-endian", datedTiff(false, "2026:12:07 10:15:30"), taken},
        {"big-endian", datedTiff(true, "2026:12:07 10:15:30"), taken},
        {"after Exif\\0\\0", QByteArray("Exif\0\0", 6) + datedTiff(true, "2026:12:07 10:15:30"),
         taken},
        {"no clock: zeros", datedTiff(false, "0000:00:00 00:00:00"), std::nullopt},
        {"no clock: blanks", datedTiff(false, "    :  :     :  :  "), std::nullopt},
        {"impossible day", datedTiff(false, "2026:02:30 10:15:30"), std::nullopt},
        {"no EXIF directory", tiff(false, {{0x0112, 3, 1, 6}}), std::nullopt},
        {"directory beyond the block", datedTiff(false, "2026:12:07 10:15:30", 4000), std::nullopt},
        {"text beyond the block", datedTiff(false, "2026:12:07 10:15:30", 26, 4000), std::nullopt},
        {"cut text", datedTiff(false, "2026:12:07 10:15:30").left(50), std::nullopt},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.block.constData());
        EXPECT_EQ(exifBlockDateTaken(bytes, std::size_t(c.block.size())), c.expected) << c.what;
        const QByteArray jpeg = jpegWith(exif(c.block));
        EXPECT_EQ(jpegExifDateTaken(reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                    std::size_t(jpeg.size())),
                  c.block.startsWith("Exif") ? std::nullopt : c.expected)
            << c.what << " (JPEG)";
    }
}

// Files of every type that records the date: the corpus's camera files (whose IFD0 also
// holds a later DateTime, which is not the date taken) and a PNG given an eXIf chunk.
TEST(ExifDate, PictureFilesGiveTheirDateTaken) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile source(test::imagePath("png/pngsuite_basn0g16_grey16.png"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray png = source.readAll();
    const QByteArray block = datedTiff(true, "2024:01:02 03:04:05");
    png.insert(33, be16(0) + be16(int(block.size())) + "eXIf" + block + QByteArray(4, '\0'));
    const QString pngPath = dir.filePath(QStringLiteral("dated.png"));
    QFile out(pngPath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(png) == png.size());
    out.close();

    const auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return std::optional<QDateTime>(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
    };
    struct Case {
        QString path;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        {test::imagePath("jpeg/photo_grey_oneplus_tower.jpg"), at(2019, 11, 9, 10, 59, 36)},
        {test::imagePath("heic/stonehenge_300x200.heic"), at(2015, 7, 16, 15, 38, 54)},
        {test::imagePath("webp/photo_storm_DERIVED.webp"), at(2008, 4, 20, 19, 12, 6)},
        {pngPath, at(2024, 1, 2, 3, 4, 5)},
        {test::imagePath("png/pngsuite_basn0g16_grey16.png"), std::nullopt},
        {test::imagePath("bmp/photo_hopper_24bit.bmp"), std::nullopt},
        {test::imagePath("broken/zero_bytes.bmp"), std::nullopt},
        {dir.filePath(QStringLiteral("missing.jpg")), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pictureDateTaken(c.path), c.expected) << c.path.toStdString();
}

} // namespace
} // namespace tav
