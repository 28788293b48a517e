// Damaged, hostile and missing picture files end in a clear error, never in a crash, a
// hang or a huge allocation.
#include "image_test_support.h"
#include "platform/error.h"
#include "platform/image/picture_loader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

namespace tav {
namespace {

using test::imagePath;

int errorNumberOf(const QString& path) {
    try {
        loadPicture(path);
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().isEmpty());
        return e.number();
    }
    return 0;
}

int probeErrorNumberOf(const QString& path) {
    try {
        probePicture(path);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

class BrokenFiles : public ::testing::Test {
protected:
    QString write(const char* name, const QByteArray& bytes) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(BrokenFiles, CorpusFilesGiveInvalidPicture) {
    for (const char* file : {"broken/zero_bytes.bmp", "broken/text_file_named.jpg",
                             "broken/pillow_truncated_jpeg.jpg"}) {
        EXPECT_EQ(errorNumberOf(imagePath(file)), err::InvalidPicture) << file;
    }
    EXPECT_EQ(probeErrorNumberOf(imagePath("broken/zero_bytes.bmp")), err::InvalidPicture);
    EXPECT_EQ(probeErrorNumberOf(imagePath("broken/text_file_named.jpg")), err::InvalidPicture);
}

TEST_F(BrokenFiles, TruncatedPhotoGivesInvalidPicture) {
    const QByteArray storm = fileBytes(imagePath("jpeg/photo_2.5mp_canon400d_storm.jpg"));
    const QString path = write("storm60.jpg", storm.left(storm.size() * 6 / 10));
    EXPECT_EQ(errorNumberOf(path), err::InvalidPicture);
    // The header is complete, so a probe still reports the size for planning.
    EXPECT_EQ(probePicture(path).pixelSize, QSize(1920, 1280));
}

TEST_F(BrokenFiles, OtherPictureTypesNamedLikeOursAreRefused) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray ppm;
    QBuffer buffer(&ppm);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PPM");
    EXPECT_EQ(errorNumberOf(write("red.jpg", ppm)), err::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write("red.png", ppm)), err::InvalidPicture);
}

TEST_F(BrokenFiles, FileErrorsKeepTheirNumbers) {
    EXPECT_EQ(errorNumberOf(dir_.filePath(QStringLiteral("missing.jpg"))), err::FileNotFound);
    EXPECT_EQ(errorNumberOf(dir_.filePath(QStringLiteral("no-folder/missing.jpg"))),
              err::PathNotFound);
    EXPECT_EQ(errorNumberOf(write("file", "x") + QStringLiteral("/below.jpg")), err::PathNotFound);
    EXPECT_EQ(probeErrorNumberOf(dir_.filePath(QStringLiteral("missing.jpg"))), err::FileNotFound);
    // A fifo with a picture's name neither blocks the loader nor passes for a picture.
    const QString fifo = dir_.filePath(QStringLiteral("fifo.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(errorNumberOf(fifo), err::InvalidPicture);
    EXPECT_EQ(probeErrorNumberOf(fifo), err::InvalidPicture);
    const int folder = errorNumberOf(dir_.path());
    EXPECT_NE(folder, 0);
    EXPECT_NE(folder, err::InvalidPicture);
}

// Little-endian helpers for hand-made headers.
void put16(QByteArray& b, int offset, int v) {
    b[offset] = char(v & 0xFF);
    b[offset + 1] = char((v >> 8) & 0xFF);
}
void put32(QByteArray& b, int offset, qint64 v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray bmpHeader(int width, int height, int bits, int extra) {
    QByteArray b(54 + extra, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, b.size());
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, width);
    put32(b, 22, height);
    put16(b, 26, 1);
    put16(b, 28, bits);
    return b;
}

QByteArray jpegWithFrame(int width, int height) {
    // SOI, a baseline frame header for three components, no scan.
    QByteArray b = QByteArray::fromHex("FFD8FFC0001108");
    b.append(char(height >> 8)).append(char(height & 0xFF));
    b.append(char(width >> 8)).append(char(width & 0xFF));
    b.append(QByteArray::fromHex("03012200021101031101FFD9"));
    return b;
}

TEST_F(BrokenFiles, AbsurdDeclaredSizesAreRefusedBeforeDecoding) {
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray gif = QByteArray("GIF89a") + QByteArray::fromHex("FFFFFFFF000000") +
                     QByteArray::fromHex("2C00000000FFFFFFFF0002024401003B");
    const Case cases[] = {
        {"huge.bmp", bmpHeader(60000, 60000, 24, 64)},
        {"negative.bmp", bmpHeader(-5, 10, 24, 64)},
        {"tiny-but-25mp.bmp", bmpHeader(5000, 5000, 24, 64)},
        {"huge.jpg", jpegWithFrame(60000, 60000)},
        {"tiny-but-40mp.jpg", jpegWithFrame(8000, 5000)},
        {"huge.gif", gif},
    };
    for (const Case& c : cases) {
        const QString path = write(c.name, c.bytes);
        EXPECT_EQ(errorNumberOf(path), err::InvalidPicture) << c.name;
        EXPECT_EQ(probeErrorNumberOf(path), err::InvalidPicture) << c.name;
    }
}

// The newer types: a TIFF whose pages loop, files cut short (the probe still tells the
// size from the headers, which come first), and headers that declare absurd sizes, which
// are refused before anything is decoded.
TEST_F(BrokenFiles, NewerTypesDamagedOrHostileAreRefused) {
    EXPECT_EQ(errorNumberOf(imagePath("broken/libtiff_ifd_loop_to_self.tif")), err::InvalidPicture);
    EXPECT_EQ(probeErrorNumberOf(imagePath("broken/libtiff_ifd_loop_to_self.tif")),
              err::InvalidPicture);

    // libheif checks where the coded data lies against the file's length as it reads the
    // boxes, so the probe of a cut HEIF file refuses it too (size empty below).
    const struct {
        const char* file;
        int percent;
        QSize size;
    } cut[] = {
        {"heic/photo_12mp_iphone_xr_portrait_irot.heic", 30, {}},
        {"heic/libheif_example.avif", 60, {}},
        {"png/toucan_palette.png", 60, {162, 150}},
        {"tiff/libtiff_fax4_2453x3369.tiff", 50, {2453, 3369}},
        {"webp/photo_storm_DERIVED.webp", 60, {1920, 1280}},
    };
    for (const auto& c : cut) {
        const QByteArray bytes = fileBytes(imagePath(c.file));
        const QString path = write("cut", bytes.left(bytes.size() * c.percent / 100));
        EXPECT_EQ(errorNumberOf(path), err::InvalidPicture) << c.file;
        if (c.size.isEmpty())
            EXPECT_EQ(probeErrorNumberOf(path), err::InvalidPicture) << c.file;
        else
            EXPECT_EQ(probePicture(path).pixelSize, c.size) << c.file;
    }

    // PNG: a header of 60000 x 60000 pixels, and one of 5000 x 5000 in 45 bytes.
    auto png = [](quint32 w, quint32 h) {
        QByteArray b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
        for (const quint32 v : {w, h})
            for (int i = 3; i >= 0; --i)
                b.append(char((v >> (8 * i)) & 0xFF));
        b.append(QByteArray("\x08\x02\0\0\0\0\0\0\0\0\0\0\0IEND\xae\x42\x60\x82", 21));
        return b;
    };
    // TIFF: the first page of a real file with its width and height changed.
    auto tiff = [this](int side) {
        QByteArray b = fileBytes(imagePath("tiff/two_pages_DERIVED.tif"));
        const int ifd = int(quint8(b[4]) | quint8(b[5]) << 8 | quint8(b[6]) << 16);
        const int count = quint8(b[ifd]) | quint8(b[ifd + 1]) << 8;
        for (int i = 0; i < count; ++i) {
            const int entry = ifd + 2 + 12 * i;
            const int tag = quint8(b[entry]) | quint8(b[entry + 1]) << 8;
            if (tag == 256 || tag == 257) // width, length: SHORT or LONG, value in place
                put16(b, entry + 8, side);
        }
        return b;
    };
    // WebP: the canvas of an animation made 16384 x 16384 (268 megapixels in 216 bytes).
    QByteArray webp = fileBytes(imagePath("webp/animated_two_frames_DERIVED.webp"));
    webp[24] = webp[27] = char(0xFF);
    webp[25] = webp[28] = char(0x3F);
    webp[26] = webp[29] = 0;
    // HEIF: the picture's declared size (its ispe box) made 30000 x 30000.
    QByteArray heif = fileBytes(imagePath("heic/stonehenge_300x200.heic"));
    const qsizetype ispe = heif.indexOf("ispe");
    ASSERT_GT(ispe, 0);
    for (const int at : {8, 12}) {
        heif[ispe + at + 2] = char(30000 >> 8);
        heif[ispe + at + 3] = char(30000 & 0xFF);
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"huge.png", png(60000, 60000)},
        {"tiny-but-25mp.png", png(5000, 5000)},
        {"huge.tif", tiff(60000)},
        {"huge.webp", webp},
        {"huge.heic", heif},
    };
    for (const auto& c : cases) {
        const QString path = write(c.name, c.bytes);
        EXPECT_EQ(errorNumberOf(path), err::InvalidPicture) << c.name;
        EXPECT_EQ(probeErrorNumberOf(path), err::InvalidPicture) << c.name;
    }
}

TEST_F(BrokenFiles, MetafilesWithAbsurdFramesAreRefused) {
    // An emf frame of kilometres: right edge at 2^31 hundredths of a millimetre.
    QByteArray emf = fileBytes(imagePath("emf/inkscape_drawing.emf"));
    put32(emf, 32, 0x7FFFFFFF);
    EXPECT_EQ(errorNumberOf(write("huge.emf", emf)), err::InvalidPicture);
    EXPECT_EQ(probeErrorNumberOf(write("huge2.emf", emf)), err::InvalidPicture);
    // A placeable wmf whose 1369 units make one unit per inch: 131,000 pixels wide.
    QByteArray wmf = fileBytes(imagePath("wmf/inkscape_drawing.wmf"));
    put16(wmf, 14, 1);
    // The placeable header's checksum covers the changed field.
    int checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= (quint8(wmf[i]) | quint8(wmf[i + 1]) << 8);
    put16(wmf, 20, checksum);
    EXPECT_EQ(errorNumberOf(write("huge.wmf", wmf)), err::InvalidPicture);
}

TEST_F(BrokenFiles, ShortBitmapDataIsRefusedOrPadded) {
    // 2000 x 2000 pixels declared with 1 KB of pixel data: either refused or loaded at its
    // declared size, never anything else.
    const QString path = write("short.bmp", bmpHeader(2000, 2000, 24, 1024));
    try {
        const LoadedPicture picture = loadPicture(path);
        EXPECT_EQ(picture.image.size(), QSize(2000, 2000));
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::InvalidPicture);
    }
}

// Every fixture cut short at several places and with bytes overwritten: the loader and
// the probe return a proper picture or error 481, nothing else (run under the sanitizers
// too).
TEST_F(BrokenFiles, DamagedCopiesOfEveryTypeFailCleanly) {
    const char* files[] = {
        "bmp/bmpsuite_pal4rle.bmp",
        "bmp/bmpsuite_pal8rle.bmp",
        "bmp/bmpsuite_rgb16-565.bmp",
        "bmp/bmpsuite_pal8os2.bmp",
        "bmp/card_rgba32_v3header_DERIVED.bmp",
        "gif/transparent_200x150.gif",
        "jpeg/orientation/orientation_6.jpg",
        "jpeg/cmyk_adobe_100x100.jpg",
        "jpeg/photo_progressive_oneplus_tower.jpg",
        "wmf/inkscape_drawing.wmf",
        "wmf/clipart_fish.wmf",
        "emf/inkscape_drawing.emf",
        "emf/libemf2svg_test-023.emf",
        "png/toucan_palette.png",
        "png/pngsuite_basn6a16_rgba16.png",
        "png/orientation/orientation_6_DERIVED.png",
        "tiff/libtiff_palette_4bit.tiff",
        "tiff/libtiff_miniswhite_1bit.tiff",
        "tiff/libtiff_tiled_jpeg.tiff",
        "tiff/rgba_unassociated_DERIVED.tif",
        "tiff/two_pages_DERIVED.tif",
        "webp/libwebp_test.webp",
        "webp/rgba_lossless_DERIVED.webp",
        "webp/animated_two_frames_DERIVED.webp",
        "webp/orientation/orientation_6_DERIVED.webp",
        "heic/stonehenge_300x200.heic",
        "heic/kimageformats_rgba_alpha.heif",
        "heic/two_images_DERIVED.heic",
        "heic/libheif_example.avif",
    };
    std::mt19937 random(20261207);
    int loaded = 0, refused = 0;
    for (const char* file : files) {
        const QByteArray original = fileBytes(imagePath(file));
        std::vector<QByteArray> variants;
        for (int cut = 1; cut < 8; ++cut)
            variants.push_back(original.left(original.size() * cut / 8));
        for (int round = 0; round < 12; ++round) {
            QByteArray damaged = original;
            std::uniform_int_distribution<qsizetype> where(4, damaged.size() - 1);
            for (int k = 0; k < 6; ++k)
                damaged[where(random)] = char(random() & 0xFF);
            variants.push_back(damaged);
        }
        for (const QByteArray& bytes : variants) {
            try {
                const LoadedPicture picture = loadPictureData(bytes, QString::fromUtf8(file));
                EXPECT_FALSE(picture.image.isNull()) << file;
                EXPECT_EQ(picture.image.format(), QImage::Format_RGB32) << file;
                ++loaded;
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), err::InvalidPicture) << file << ": " << e.what();
                ++refused;
            }
            // The probe reads the file's headers its own way.
            try {
                EXPECT_FALSE(probePicture(write("variant", bytes)).pixelSize.isEmpty()) << file;
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), err::InvalidPicture) << file << ": " << e.what();
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

// Wmf files that libwmf refuses or that would make it allocate gigabytes end in error
// 481 with nothing kept (the sanitizer run checks for leaks of the library's state).
TEST_F(BrokenFiles, WmfFilesTheLibraryMustNotPlayAreRefused) {
    const QByteArray drawing = fileBytes(imagePath("wmf/inkscape_drawing.wmf"));
    constexpr int kStandardHeader = 22; // after the placeable header
    QByteArray hugeRecord = drawing;
    put32(hugeRecord, kStandardHeader + 12, 0x7FFFFFF0); // mtMaxRecord: 4 GB
    QByteArray recordBeyondFile = drawing;
    put32(recordBeyondFile, kStandardHeader + 12, (drawing.size() - kStandardHeader) / 2 + 1);
    QByteArray shortRecord = drawing;
    put32(shortRecord, kStandardHeader + 18, 2); // first record shorter than its own header
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"max-record-4gb.wmf", hugeRecord},
        {"max-record-beyond-file.wmf", recordBeyondFile},
        {"short-record.wmf", shortRecord},
        {"header-only.wmf", drawing.left(kStandardHeader + 18)},
        // libwmf stops at records of this synthetic test bed.
        {"libuemf_testbed.wmf", fileBytes(imagePath("wmf/libuemf_testbed.wmf"))},
    };
    for (const Case& c : cases) {
        const QString path = write(c.name, c.bytes);
        EXPECT_EQ(errorNumberOf(path), err::InvalidPicture) << c.name;
        EXPECT_EQ(probeErrorNumberOf(path), err::InvalidPicture) << c.name;
    }
}

} // namespace
} // namespace tav
