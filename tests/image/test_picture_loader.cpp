// Every fixture of the picture corpus loads with its size, type and a few pixel colours.
// Reference colours were read with ImageMagick (`convert FILE -auto-orient -crop
// 1x1+X+Y txt:`), an independent decoder, so a tolerance covers rounding differences.
#include "image_test_support.h"
#include "platform/error.h"
#include "platform/image/decode_support.h"
#include "platform/image/picture_loader.h"
#include "platform/image/pixel_turn.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

namespace tav {
namespace {

using test::channelDistance;
using test::imagePath;

struct Spot {
    int x;
    int y;
    QRgb colour;
};

struct FixtureRow {
    const char* file;
    PictureFormat format;
    QSize logical;
    QSize pixels; // of a full load
    bool isVector;
    int tolerance;
    std::vector<Spot> spots;
};

void PrintTo(const FixtureRow& row, std::ostream* os) {
    *os << row.file;
}

constexpr auto Bmp = PictureFormat::Bmp;
constexpr auto Jpg = PictureFormat::Jpeg;
constexpr auto Gif = PictureFormat::Gif;
constexpr auto Wmf = PictureFormat::Wmf;
constexpr auto Emf = PictureFormat::Emf;
constexpr auto Png = PictureFormat::Png;
constexpr auto Tif = PictureFormat::Tiff;
constexpr auto Webp = PictureFormat::Webp;
constexpr auto Heif = PictureFormat::Heif;

// The bmpsuite pictures all show the same test card; palette variants quantise it.
const std::vector<Spot> kCard24 = {{10, 10, 0xD75252}, {60, 30, 0x000000}, {100, 50, 0x6D6D71}};
const std::vector<Spot> kCard8 = {{10, 10, 0xFF5566}, {60, 30, 0x000000}, {100, 50, 0x668066}};
const std::vector<Spot> kCard4 = {{10, 10, 0xFF80FF}, {60, 30, 0x000000}, {100, 50, 0x008000}};

const FixtureRow kRows[] = {
    {"bmp/bmpsuite_pal1.bmp",
     Bmp,
     {127, 64},
     {127, 64},
     false,
     0,
     {{10, 10, 0xFFFFFF}, {60, 30, 0x000000}, {100, 50, 0x000000}}},
    {"bmp/bmpsuite_pal4.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard4},
    {"bmp/bmpsuite_pal4rle.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard4},
    {"bmp/bmpsuite_pal8.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard8},
    {"bmp/bmpsuite_pal8os2.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard8},
    {"bmp/bmpsuite_pal8rle.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard8},
    {"bmp/bmpsuite_pal8topdown.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard8},
    {"bmp/bmpsuite_pal8v5.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard8},
    {"bmp/bmpsuite_rgb16-565.bmp", Bmp, {127, 64}, {127, 64}, false, 8, kCard24},
    {"bmp/bmpsuite_rgb24.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard24},
    {"bmp/bmpsuite_rgb32.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard24},
    {"bmp/bmpsuite_rgb32bf.bmp", Bmp, {127, 64}, {127, 64}, false, 0, kCard24},
    // 56-byte header with an alpha mask; its transparent top-left corner shows white.
    {"bmp/card_rgba32_v3header_DERIVED.bmp",
     Bmp,
     {127, 64},
     {127, 64},
     false,
     0,
     {{2, 2, 0xFFFFFF}, {10, 10, 0xD75252}, {60, 30, 0x000000}, {100, 50, 0x6D6D71}}},
    {"bmp/photo_hopper_24bit.bmp",
     Bmp,
     {128, 128},
     {128, 128},
     false,
     0,
     {{10, 10, 0x151342}, {60, 30, 0xCD9071}, {100, 50, 0x6A8EC8}}},
    {"bmp/photo_hopper_rle8.bmp",
     Bmp,
     {128, 128},
     {128, 128},
     false,
     0,
     {{10, 10, 0x141443}, {60, 30, 0xCD8C70}, {100, 50, 0x6B8DC6}}},
    {"bmp/photo_video001_24bit.bmp",
     Bmp,
     {150, 103},
     {150, 103},
     false,
     0,
     {{10, 10, 0x841900}, {60, 30, 0x963400}, {100, 50, 0x4B3304}}},
    {"gif/photo_hopper_128.gif",
     Gif,
     {128, 128},
     {128, 128},
     false,
     0,
     {{10, 10, 0x100F49}, {60, 30, 0xCB9073}, {100, 50, 0x668BC9}}},
    {"gif/animated_42frames.gif", Gif, {245, 245}, {245, 245}, false, 0, {}},
    {"gif/transparent_200x150.gif", Gif, {200, 150}, {200, 150}, false, 0, {}},
    {"jpeg/photo_0.5mp_olympus_snow.jpg",
     Jpg,
     {800, 600},
     {800, 600},
     false,
     3,
     {{10, 10, 0x7393AC}, {60, 30, 0x7695AA}, {100, 50, 0x7995AB}}},
    {"jpeg/photo_1.2mp_canon_powershot_progressive.jpg",
     Jpg,
     {1280, 960},
     {1280, 960},
     false,
     3,
     {{10, 10, 0x6F727B}, {60, 30, 0x32393F}, {100, 50, 0x30393E}}},
    {"jpeg/photo_2.5mp_canon400d_storm.jpg",
     Jpg,
     {1920, 1280},
     {1920, 1280},
     false,
     3,
     {{10, 10, 0x27394D}, {60, 30, 0x263C53}, {100, 50, 0x2B3F57}}},
    {"jpeg/photo_storm_orient6_DERIVED.jpg",
     Jpg,
     {1920, 1280},
     {1920, 1280},
     false,
     3,
     {{10, 10, 0x28394D}, {60, 30, 0x263C53}, {100, 50, 0x2B3F57}}},
    {"jpeg/photo_grey_oneplus_tower.jpg",
     Jpg,
     {512, 512},
     {512, 512},
     false,
     3,
     {{10, 10, 0x6C6C6C}, {60, 30, 0x747474}, {100, 50, 0x787878}}},
    {"jpeg/photo_progressive_oneplus_tower.jpg",
     Jpg,
     {512, 512},
     {512, 512},
     false,
     3,
     {{10, 10, 0x4074A4}, {60, 30, 0x467CAB}, {100, 50, 0x4781B1}}},
    // Adobe CMYK: the components are stored inverted (red lettering on black).
    {"jpeg/cmyk_adobe_100x100.jpg",
     Jpg,
     {100, 100},
     {100, 100},
     false,
     3,
     {{5, 2, 0xFF0D19}, {50, 50, 0x010405}, {30, 45, 0xFF0E17}}},
    {"jpeg/orientation/orientation_0_no_exif.jpg", Jpg, {50, 70}, {50, 70}, false, 0, {}},
    {"jpeg/orientation/orientation_5.jpg", Jpg, {50, 70}, {50, 70}, false, 0, {}},
    {"jpeg/orientation/orientation_6_slong_DERIVED.jpg", Jpg, {50, 70}, {50, 70}, false, 0, {}},
    // Metafiles: the logical size is the frame at 96 dpi, the raster three times finer.
    {"wmf/clipart_beef.wmf", Wmf, {268, 208}, {804, 624}, true, 0, {{3, 3, 0xFFFFFF}}},
    {"wmf/clipart_burger.wmf", Wmf, {219, 195}, {657, 585}, true, 0, {{3, 3, 0xFFFFFF}}},
    {"wmf/clipart_fish.wmf", Wmf, {288, 211}, {864, 633}, true, 0, {}},
    {"wmf/inkscape_drawing.wmf",
     Wmf,
     {109, 109},
     {327, 327},
     true,
     10,
     {{3, 3, 0xFFFFFF}, {163, 163, 0xFF8080}}},
    {"emf/inkscape_drawing.emf",
     Emf,
     {110, 110},
     {330, 330},
     true,
     10,
     {{3, 3, 0xFFFFFF}, {165, 165, 0xFF0000}}},
    {"emf/libemf2svg_test-000.emf", Emf, {464, 239}, {1392, 717}, true, 0, {}},
    {"emf/libemf2svg_test-007.emf", Emf, {55, 54}, {165, 162}, true, 0, {}},
    {"emf/libemf2svg_test-013.emf", Emf, {554, 663}, {1662, 1989}, true, 0, {}},
    {"emf/libemf2svg_test-023.emf", Emf, {229, 135}, {687, 405}, true, 0, {}},
    {"emf/libemf2svg_test-109.emf", Emf, {960, 719}, {2880, 2157}, true, 0, {}},
    {"emf/libemf2svg_test-152.emf", Emf, {298, 231}, {894, 693}, true, 0, {}},
    {"emf/libemf2svg_test-179.emf", Emf, {112, 135}, {336, 405}, true, 0, {}},
    {"emf/libuemf_testbed.emf", Emf, {1122, 794}, {3366, 2382}, true, 0, {}},
    // HEIF family: reference colours from libheif's own heif-convert, through ImageMagick
    // with transparency over white. The portrait phone photo is turned by its container
    // (its EXIF orientation 6 is not applied on top); a file of two pictures gives its
    // primary one; 10-bit samples come as 8-bit.
    {"heic/stonehenge_300x200.heic",
     Heif,
     {300, 200},
     {300, 200},
     false,
     3,
     {{10, 10, 0xC0CCE2}, {60, 30, 0xCBD1DF}, {100, 50, 0xA6B2C2}, {250, 150, 0x8E8741}}},
    {"heic/photo_12mp_iphone_xr_portrait_irot.heic",
     Heif,
     {3024, 4032},
     {3024, 4032},
     false,
     3,
     {{100, 100, 0xD68B74}, {1500, 2000, 0x6D5C3E}, {2500, 3500, 0x8FAB9F}}},
    {"heic/storm_240x160_10bit_DERIVED.heic",
     Heif,
     {240, 160},
     {240, 160},
     false,
     3,
     {{10, 10, 0x253951}, {60, 30, 0x2E4865}, {100, 50, 0x385173}}},
    {"heic/two_images_DERIVED.heic",
     Heif,
     {64, 48},
     {64, 48},
     false,
     3,
     {{10, 10, 0x2040CF}, {50, 40, 0xD02020}}},
    {"heic/kimageformats_rgba_alpha.heif",
     Heif,
     {128, 128},
     {128, 128},
     false,
     3,
     {{2, 2, 0xFFFFFF}, {64, 64, 0x1D99F3}, {100, 20, 0x1D99F3}, {20, 100, 0xFFFFFF}}},
    {"heic/libheif_example.avif",
     Heif,
     {800, 533},
     {800, 533},
     false,
     3,
     {{10, 10, 0x2D2808}, {60, 30, 0x3F5224}, {100, 50, 0x523F04}, {400, 300, 0x6C7B82}}},
    // PNG: palette, 16-bit with alpha, 16-bit grey, interlaced, grey with alpha. Where
    // 16-bit values become 8-bit, one step of difference is rounding (Qt and libtiff cut,
    // ImageMagick rounds).
    {"png/toucan_palette.png",
     Png,
     {162, 150},
     {162, 150},
     false,
     0,
     {{10, 10, 0xFFFFFF}, {60, 30, 0xE96D02}, {100, 50, 0xEDEDED}}},
    {"png/pngsuite_basn6a16_rgba16.png",
     Png,
     {32, 32},
     {32, 32},
     false,
     1,
     {{2, 2, 0xFFFFDE}, {16, 16, 0x0808FF}, {30, 5, 0xEEFCF0}, {5, 30, 0xFCEEF0}}},
    {"png/pngsuite_basn0g16_grey16.png",
     Png,
     {32, 32},
     {32, 32},
     false,
     1,
     {{2, 2, 0x151515}, {16, 16, 0xAFAFAF}, {30, 5, 0xB7B7B7}}},
    {"png/pngsuite_ibasn2c08_interlaced.png",
     Png,
     {32, 32},
     {32, 32},
     false,
     0,
     {{2, 2, 0xFFFFBD}, {16, 16, 0xEFFFFF}, {30, 5, 0xFFFF41}}},
    {"png/pngsuite_basn4a08_greyalpha.png",
     Png,
     {32, 32},
     {32, 32},
     false,
     1,
     {{2, 2, 0xFDFDFD}, {16, 16, 0xBBBBBB}, {30, 5, 0xD6D6D6}, {5, 30, 0xD7D7D7}}},
    // TIFF: a 1-bit scan whose 0 means white, a fax page, palette, 16-bit, tiled JPEG,
    // alpha stored unassociated, and the first of two pages.
    {"tiff/libtiff_miniswhite_1bit.tiff",
     Tif,
     {157, 151},
     {157, 151},
     false,
     0,
     {{2, 2, 0x000000}, {10, 10, 0xFFFFFF}, {60, 30, 0x000000}, {150, 140, 0xFFFFFF}}},
    {"tiff/libtiff_fax4_2453x3369.tiff",
     Tif,
     {2453, 3369},
     {2453, 3369},
     false,
     0,
     {{10, 10, 0xFFFFFF}, {914, 1000, 0x000000}, {1000, 500, 0xFFFFFF}}},
    {"tiff/libtiff_palette_4bit.tiff",
     Tif,
     {157, 151},
     {157, 151},
     false,
     1,
     {{10, 10, 0xC4D2B4}, {60, 30, 0xC93029}, {100, 50, 0xC93029}}},
    {"tiff/libtiff_rgb_16bit.tiff",
     Tif,
     {157, 151},
     {157, 151},
     false,
     1,
     {{10, 10, 0xCADFCB}, {60, 30, 0xC62B26}, {100, 50, 0xD33C28}}},
    {"tiff/libtiff_tiled_jpeg.tiff",
     Tif,
     {512, 384},
     {512, 384},
     false,
     3,
     {{10, 10, 0x000000}, {100, 50, 0x060200}, {400, 300, 0x00B7CB}}},
    {"tiff/rgba_unassociated_DERIVED.tif",
     Tif,
     {32, 32},
     {32, 32},
     false,
     1,
     {{2, 2, 0xFFFFDE}, {16, 16, 0x0808FF}, {30, 5, 0xEEFCF0}, {5, 30, 0xFCEEF0}}},
    {"tiff/two_pages_DERIVED.tif",
     Tif,
     {64, 48},
     {64, 48},
     false,
     0,
     {{10, 10, 0x2040D0}, {50, 40, 0xD02020}}},
    // WebP: lossy, lossless with alpha, and the first frame of an animation.
    {"webp/libwebp_test.webp",
     Webp,
     {128, 128},
     {128, 128},
     false,
     2,
     {{10, 10, 0xCEE3FC}, {60, 30, 0x7C7C8C}, {100, 50, 0xDEF7FA}}},
    {"webp/photo_storm_DERIVED.webp",
     Webp,
     {1920, 1280},
     {1920, 1280},
     false,
     2,
     {{10, 10, 0x263950}, {60, 30, 0x273C57}, {100, 50, 0x293E56}}},
    {"webp/rgba_lossless_DERIVED.webp",
     Webp,
     {32, 32},
     {32, 32},
     false,
     1,
     {{2, 2, 0xFFFFDE}, {16, 16, 0x0808FF}, {30, 5, 0xEFFDF5}, {5, 30, 0xFDEFF5}}},
    {"webp/animated_two_frames_DERIVED.webp",
     Webp,
     {64, 48},
     {64, 48},
     false,
     0,
     {{10, 10, 0x2040D0}, {50, 40, 0xD02020}}},
};

class FixtureTest : public ::testing::TestWithParam<FixtureRow> {};

TEST_P(FixtureTest, LoadsWithSizeTypeAndColours) {
    const FixtureRow& row = GetParam();
    const LoadedPicture picture = loadPicture(imagePath(row.file));
    EXPECT_EQ(picture.format, row.format);
    EXPECT_EQ(picture.isVector, row.isVector);
    EXPECT_EQ(picture.logicalSize, row.logical);
    ASSERT_EQ(picture.image.size(), row.pixels);
    EXPECT_EQ(picture.image.format(), QImage::Format_RGB32);
    for (const Spot& spot : row.spots) {
        const QRgb got = picture.image.pixel(spot.x, spot.y);
        EXPECT_LE(channelDistance(got, spot.colour), row.tolerance)
            << "at " << spot.x << "," << spot.y << " got " << std::hex << got << " want "
            << spot.colour;
    }
}

TEST_P(FixtureTest, ProbeAgreesWithLoad) {
    const FixtureRow& row = GetParam();
    const PictureInfo info = probePicture(imagePath(row.file));
    EXPECT_EQ(info.format, row.format);
    EXPECT_EQ(info.isVector, row.isVector);
    EXPECT_EQ(info.logicalSize, row.logical);
    EXPECT_EQ(info.pixelSize, row.pixels);
}

INSTANTIATE_TEST_SUITE_P(Corpus, FixtureTest, ::testing::ValuesIn(kRows));

TEST(PictureLoader, BmpVariantsShowTheSameCard) {
    const QImage reference = loadPicture(imagePath("bmp/bmpsuite_rgb24.bmp")).image;
    for (const char* file : {"bmp/bmpsuite_rgb32.bmp", "bmp/bmpsuite_rgb32bf.bmp"})
        EXPECT_EQ(loadPicture(imagePath(file)).image, reference) << file;
    EXPECT_LT(
        test::meanDifference(loadPicture(imagePath("bmp/bmpsuite_rgb16-565.bmp")).image, reference),
        4.0);
    // The 8-bit variants differ in storage only (palette, RLE, top-down, header kind).
    const QImage pal8 = loadPicture(imagePath("bmp/bmpsuite_pal8.bmp")).image;
    for (const char* file : {"bmp/bmpsuite_pal8os2.bmp", "bmp/bmpsuite_pal8rle.bmp",
                             "bmp/bmpsuite_pal8topdown.bmp", "bmp/bmpsuite_pal8v5.bmp"})
        EXPECT_EQ(loadPicture(imagePath(file)).image, pal8) << file;
    EXPECT_EQ(loadPicture(imagePath("bmp/bmpsuite_pal4rle.bmp")).image,
              loadPicture(imagePath("bmp/bmpsuite_pal4.bmp")).image);
}

// Variants the corpus lacks, written byte by byte with known pixels.
QByteArray bmpFile(int headerSize, int width, int height, int bits, int compression,
                   const QByteArray& extra, const QByteArray& pixels) {
    QByteArray b(14 + headerSize, '\0');
    auto put = [&b](int offset, qint64 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[offset + i] = char((v >> (8 * i)) & 0xFF);
    };
    const int dataOffset = 14 + headerSize + int(extra.size());
    b[0] = 'B';
    b[1] = 'M';
    put(2, dataOffset + pixels.size(), 4);
    put(10, dataOffset, 4);
    put(14, headerSize, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, bits, 2);
    put(30, compression, 4);
    put(34, pixels.size(), 4);
    if (headerSize >= 52) { // masks inside the header: R, G, B, then A from 56 bytes on
        put(54, 0x00FF0000, 4);
        put(58, 0x0000FF00, 4);
        put(62, 0x000000FF, 4);
    }
    if (headerSize >= 56)
        put(66, 0xFF000000, 4);
    if (headerSize >= 108)
        put(70, 0x73524742, 4); // "sRGB"
    return b + extra + pixels;
}

TEST(PictureLoader, HandMadeBitmapVariants) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto load = [&dir](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        return loadPicture(path).image;
    };
    // 16 bits without masks: 5-5-5, bottom-up; two pixels fill a 4-byte row.
    // Bottom row red, green; top row blue, white.
    const QByteArray px555 = QByteArray::fromHex("007CE0031F00FF7F");
    const QImage rgb555 = load("555.bmp", bmpFile(40, 2, 2, 16, 0, {}, px555));
    ASSERT_EQ(rgb555.size(), QSize(2, 2));
    EXPECT_LE(channelDistance(rgb555.pixel(0, 1), 0xFF0000), 8);
    EXPECT_LE(channelDistance(rgb555.pixel(1, 1), 0x00FF00), 8);
    EXPECT_LE(channelDistance(rgb555.pixel(0, 0), 0x0000FF), 8);
    EXPECT_LE(channelDistance(rgb555.pixel(1, 0), 0xFFFFFF), 8);

    // 24 bits top-down: the first stored row is the top row.
    // Top row red, green; bottom row blue, white; each row padded to 8 bytes.
    const QByteArray px24 = QByteArray::fromHex("0000FF00FF000000FF0000FFFFFF0000");
    const QImage topDown = load("topdown24.bmp", bmpFile(40, 2, -2, 24, 0, {}, px24));
    ASSERT_EQ(topDown.size(), QSize(2, 2));
    EXPECT_EQ(topDown.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(topDown.pixel(1, 0), 0xFF00FF00u);
    EXPECT_EQ(topDown.pixel(0, 1), 0xFF0000FFu);
    EXPECT_EQ(topDown.pixel(1, 1), 0xFFFFFFFFu);

    // 32 bits with bit-field masks inside the header: V2 (52 bytes, no alpha mask), V3
    // (56 bytes, alpha mask) and V4 (108 bytes); a fully transparent pixel shows white.
    const QByteArray px32 = QByteArray::fromHex("3040C0FF"
                                                "00000000");
    for (const auto& [headerSize, second] :
         {std::pair{52, 0xFF000000u}, std::pair{56, 0xFFFFFFFFu}, std::pair{108, 0xFFFFFFFFu}}) {
        const QImage masked = load("masked.bmp", bmpFile(headerSize, 2, 1, 32, 3, {}, px32));
        ASSERT_EQ(masked.size(), QSize(2, 1)) << headerSize;
        EXPECT_EQ(masked.pixel(0, 0), 0xFFC04030u) << headerSize;
        EXPECT_EQ(masked.pixel(1, 0), second) << headerSize;
    }
}

TEST(PictureLoader, GifTransparencyIsWhite) {
    const QString path = imagePath("gif/transparent_200x150.gif");
    const QImage raw = QImage(path).convertToFormat(QImage::Format_ARGB32);
    const QImage loaded = loadPicture(path).image;
    int transparent = 0;
    for (int y = 0; y < raw.height(); ++y)
        for (int x = 0; x < raw.width(); ++x)
            if (qAlpha(raw.pixel(x, y)) == 0) {
                ++transparent;
                ASSERT_EQ(loaded.pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
            } else {
                ASSERT_EQ(loaded.pixel(x, y), raw.pixel(x, y) | 0xFF000000u) << x << "," << y;
            }
    EXPECT_GT(transparent, 100); // the fixture does have a transparent area
}

TEST(PictureLoader, AnimatedGifGivesItsFirstFrame) {
    const QString path = imagePath("gif/animated_42frames.gif");
    QImageReader reader(path);
    const QImage first = reader.read();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(loadPicture(path).image, first.convertToFormat(QImage::Format_RGB32));
}

// Every way a picture file records how it stands: the EXIF block of a JPEG, of a PNG
// (eXIf chunk) and of a WebP (EXIF chunk), and a TIFF's own Orientation tag. Each file
// holds the same upright 50 x 70 picture, stored turned or mirrored by one of the eight
// orientations (the PNG, WebP and TIFF files were converted from the JPEG ones).
TEST(PictureLoader, EveryStoredOrientationStandsUpright) {
    const QImage reference =
        loadPicture(imagePath("jpeg/orientation/orientation_0_no_exif.jpg")).image;
    QStringList files;
    for (const char* pattern :
         {"jpeg/orientation/orientation_%1.jpg", "png/orientation/orientation_%1_DERIVED.png",
          "tiff/orientation/orientation_%1_DERIVED.tif",
          "webp/orientation/orientation_%1_DERIVED.webp"})
        for (int o = 1; o <= 8; ++o)
            files << QString::fromUtf8(pattern).arg(o);
    files << QStringLiteral("jpeg/orientation/orientation_6_slong_DERIVED.jpg");
    for (const QString& file : files) {
        const QString path = imagePath(file.toUtf8().constData());
        const LoadedPicture picture = loadPicture(path);
        ASSERT_EQ(picture.image.size(), QSize(50, 70)) << file.toStdString();
        EXPECT_EQ(picture.logicalSize, QSize(50, 70)) << file.toStdString();
        EXPECT_EQ(probePicture(path).logicalSize, QSize(50, 70)) << file.toStdString();
        // Each JPEG file is its own encoding of the same picture: small differences only,
        // whereas a wrong turn or mirror differs by far more.
        EXPECT_LT(test::meanDifference(picture.image, reference), 3.0) << file.toStdString();
    }
    const QImage mirrored = reference.mirrored(true, false);
    EXPECT_GT(test::meanDifference(mirrored, reference), 30.0);
}

QByteArray fileBytes(const char* relative) {
    QFile f(imagePath(relative));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << relative;
    return f.readAll();
}

// A HEIF file's container turns (irot) and mirrors (imir) its picture; the loader takes
// them as libheif reads them (heif-convert shows the same). The variants are one small
// photo whose irot box says another angle, or became an imir box of the same size.
TEST(PictureLoader, HeifTurnsAndMirrorsAreApplied) {
    const QByteArray original = fileBytes("heic/stonehenge_300x200.heic");
    const qsizetype box = original.indexOf(QByteArray("\0\0\0\x09irot", 8));
    ASSERT_GT(box, 0);
    const QImage base = loadPictureData(original, QStringLiteral("base")).image;
    ASSERT_EQ(base.size(), QSize(300, 200));
    struct Case {
        const char* box;
        char value;
        QImage expected;
    };
    const Case cases[] = {
        {"irot", 1, rotateQuarterAnticlockwise(base)}, // angles count anticlockwise
        {"irot", 2, rotateHalf(base)},
        {"irot", 3, rotateQuarterClockwise(base)},
        {"imir", 0, base.mirrored(false, true)}, // top and bottom exchanged
        {"imir", 1, base.mirrored(true, false)}, // left and right exchanged
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        QByteArray variant = original;
        variant.replace(box + 4, 4, c.box);
        variant[box + 8] = c.value;
        const QString path = dir.filePath(QStringLiteral("variant.heic"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(variant);
        f.close();
        const LoadedPicture picture = loadPicture(path);
        ASSERT_EQ(picture.image.size(), c.expected.size()) << c.box << int(c.value);
        EXPECT_EQ(picture.logicalSize, c.expected.size()) << c.box << int(c.value);
        EXPECT_EQ(probePicture(path).logicalSize, c.expected.size()) << c.box << int(c.value);
        EXPECT_LT(test::meanDifference(picture.image, c.expected), 1.0) << c.box << int(c.value);
    }
}

TEST(PictureLoader, TurnedPhotoWithOrientationSixMatchesTheUprightOriginal) {
    const QImage upright = loadPicture(imagePath("jpeg/photo_2.5mp_canon400d_storm.jpg")).image;
    const QImage turned = loadPicture(imagePath("jpeg/photo_storm_orient6_DERIVED.jpg")).image;
    ASSERT_EQ(turned.size(), upright.size());
    EXPECT_LT(test::meanDifference(turned, upright), 2.0);
}

struct ScaleRow {
    const char* file;
    QSize minimum;
    QSize expected;
};

class ReducedDecodeTest : public ::testing::TestWithParam<ScaleRow> {};

TEST_P(ReducedDecodeTest, PicksTheSmallestCoveringScale) {
    const ScaleRow& row = GetParam();
    LoadOptions options;
    options.minimumSize = row.minimum;
    const LoadedPicture picture = loadPicture(imagePath(row.file), options);
    EXPECT_EQ(picture.image.size(), row.expected);
    EXPECT_EQ(picture.logicalSize, QSize(1920, 1280)); // always the full picture
}

INSTANTIATE_TEST_SUITE_P(
    Storm, ReducedDecodeTest,
    ::testing::Values(ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {}, {1920, 1280}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {240, 160}, {240, 160}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {241, 160}, {480, 320}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {100, 161}, {480, 320}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {480, 320}, {480, 320}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {481, 1}, {960, 640}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {481, 0}, {960, 640}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {0, 200}, {480, 320}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {961, 1}, {1920, 1280}},
                      ScaleRow{"jpeg/photo_2.5mp_canon400d_storm.jpg", {5000, 5000}, {1920, 1280}},
                      // Stored sideways: the minimum applies to the upright picture.
                      ScaleRow{"jpeg/photo_storm_orient6_DERIVED.jpg", {240, 160}, {240, 160}},
                      ScaleRow{"jpeg/photo_storm_orient6_DERIVED.jpg", {300, 160}, {480, 320}},
                      ScaleRow{"jpeg/photo_storm_orient6_DERIVED.jpg", {1, 641}, {1920, 1280}}));

TEST(PictureLoader, ReducedDecodeShowsTheSamePicture) {
    const QString path = imagePath("jpeg/photo_storm_orient6_DERIVED.jpg");
    LoadOptions options;
    options.minimumSize = QSize(480, 320);
    const QImage small = loadPicture(path, options).image;
    const QImage full = loadPicture(path).image.scaled(small.size(), Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation);
    EXPECT_LT(test::meanDifference(small, full), 3.0);
}

// A JPEG is read up to its end-of-image marker and no further: an EXIF thumbnail's own
// marker inside APP1, a progressive file's many scans and bytes arriving piece by piece
// do not mislead the scanner; a file padded to nearly 1 GB (sparse, so it costs no disk)
// is read as its picture's bytes and loads as the unpadded file does.
TEST(PictureLoader, JpegIsReadToItsEndMarkerOnly) {
    for (const char* name :
         {"jpeg/photo_0.5mp_olympus_snow.jpg", "jpeg/photo_1.2mp_canon_powershot_progressive.jpg",
          "jpeg/photo_grey_oneplus_tower.jpg"}) {
        SCOPED_TRACE(name);
        QFile f(imagePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray file = f.readAll();
        // These files end with their end-of-image marker, give or take a line feed.
        const QByteArray jpeg = file.left(file.lastIndexOf("\xFF\xD9") + 2);
        ASSERT_GE(jpeg.size(), file.size() - 1);
        const QByteArray padded = jpeg + QByteArray(5000, '\xFF') + QByteArray("\xD8 trailing");
        for (const qsizetype piece : {qsizetype(97), qsizetype(4096), padded.size()}) {
            picture::JpegEndScanner scanner;
            qint64 end = 0;
            for (qsizetype have = piece; end == 0 && have < padded.size() + piece; have += piece) {
                end = scanner.scan(padded.left(have));
            }
            EXPECT_EQ(end, jpeg.size()) << piece;
        }
        picture::JpegEndScanner cut;
        EXPECT_EQ(cut.scan(jpeg.left(jpeg.size() / 2)), 0); // truncated: more bytes needed
    }
    picture::JpegEndScanner garbage;
    EXPECT_EQ(garbage.scan(QByteArray("\xFF\xD8\xFF\xE0\x00\x04\x00\x00junk", 12)), -1);

    QTemporaryDir dir;
    const QString source = imagePath("jpeg/photo_storm_orient6_DERIVED.jpg");
    const QString path = dir.filePath(QStringLiteral("padded.jpg"));
    ASSERT_TRUE(QFile::copy(source, path));
    const qint64 size = QFileInfo(path).size();
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), (qint64(1) << 30) - 1), 0);
    EXPECT_EQ(readPictureFile(path).size(), size);
    EXPECT_EQ(loadPicture(path).image, loadPicture(source).image);
    EXPECT_EQ(probePicture(path).pixelSize, probePicture(source).pixelSize);
}

// The EXIF thumbnail stands in only when allowed, when it covers the asked size and
// when it has the picture's own shape; the logical size is always the picture's.
TEST(PictureLoader, EmbeddedThumbnailServesSmallPreviews) {
    const QString snow = imagePath("jpeg/photo_0.5mp_olympus_snow.jpg"); // thumbnail 160 x 120
    LoadOptions options;
    options.minimumSize = QSize(150, 100);
    options.allowEmbeddedThumbnail = true;
    const LoadedPicture thumb = loadPicture(snow, options);
    EXPECT_EQ(thumb.image.size(), QSize(160, 120));
    EXPECT_EQ(thumb.logicalSize, QSize(800, 600));
    const QImage full = loadPicture(snow).image.scaled(thumb.image.size(), Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation);
    EXPECT_LT(test::meanDifference(thumb.image, full), 8.0); // the same scene

    options.minimumSize = QSize(161, 100); // more than the thumbnail has: DCT 1/4
    EXPECT_EQ(loadPicture(snow, options).image.size(), QSize(200, 150));

    options.minimumSize = QSize(150, 100);
    options.allowEmbeddedThumbnail = false; // the run never takes it
    EXPECT_EQ(loadPicture(snow, options).image.size(), QSize(200, 150));

    // A 3:2 photo whose thumbnail is 4:3 (letterboxed by the camera) is decoded itself.
    options.allowEmbeddedThumbnail = true;
    options.minimumSize = QSize(100, 60);
    const LoadedPicture storm =
        loadPicture(imagePath("jpeg/photo_2.5mp_canon400d_storm.jpg"), options);
    EXPECT_EQ(storm.image.size(), QSize(240, 160));
}

// A WebP decodes straight at the smallest size of its shape that covers the asked one.
TEST(PictureLoader, WebpDecodesAtTheAskedSize) {
    const QString path = imagePath("webp/photo_storm_DERIVED.webp");
    const struct {
        QSize minimum;
        QSize expected;
    } rows[] = {
        {{}, {1920, 1280}},           {{240, 160}, {240, 160}}, {{241, 160}, {241, 161}},
        {{100, 0}, {100, 67}},        {{0, 200}, {300, 200}},   {{1920, 1}, {1920, 1280}},
        {{5000, 5000}, {1920, 1280}},
    };
    const QImage full = loadPicture(path).image;
    for (const auto& row : rows) {
        LoadOptions options;
        options.minimumSize = row.minimum;
        const LoadedPicture picture = loadPicture(path, options);
        EXPECT_EQ(picture.image.size(), row.expected) << row.minimum.width();
        EXPECT_EQ(picture.logicalSize, QSize(1920, 1280));
        const QImage reference =
            full.scaled(picture.image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(test::meanDifference(picture.image, reference), 3.0) << row.minimum.width();
    }
    // Stored sideways: the asked size is that of the upright picture.
    LoadOptions options;
    options.minimumSize = QSize(25, 35);
    const LoadedPicture turned =
        loadPicture(imagePath("webp/orientation/orientation_6_DERIVED.webp"), options);
    EXPECT_EQ(turned.image.size(), QSize(25, 35));
}

// A phone's HEIC keeps a 240 x 320 thumbnail next to its 12 MP picture: it serves a small
// preview, upright like the picture, and never a larger need or a caller who does not
// allow it.
TEST(PictureLoader, HeifThumbnailServesSmallPreviews) {
    const QString path = imagePath("heic/photo_12mp_iphone_xr_portrait_irot.heic");
    LoadOptions options;
    options.minimumSize = QSize(200, 260);
    const LoadedPicture full = loadPicture(path, options);
    EXPECT_EQ(full.image.size(), QSize(3024, 4032));
    options.allowEmbeddedThumbnail = true;
    const LoadedPicture thumb = loadPicture(path, options);
    EXPECT_EQ(thumb.image.size(), QSize(240, 320));
    EXPECT_EQ(thumb.logicalSize, QSize(3024, 4032));
    const QImage reference =
        full.image.scaled(thumb.image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(test::meanDifference(thumb.image, reference), 8.0);
    // The same scene turned a quarter differs by far more.
    EXPECT_GT(test::meanDifference(thumb.image, rotateHalf(reference)), 20.0);

    options.minimumSize = QSize(100, 321);
    EXPECT_EQ(loadPicture(path, options).image.size(), QSize(3024, 4032));
}

TEST(PictureLoader, MetafileRasterFollowsTheAskedSize) {
    LoadOptions options;
    options.minimumSize = QSize(500, 400);
    const LoadedPicture picture = loadPicture(imagePath("emf/inkscape_drawing.emf"), options);
    EXPECT_EQ(picture.logicalSize, QSize(110, 110));
    EXPECT_EQ(picture.image.size(), QSize(500, 500)); // aspect kept, covering 500 x 400
    EXPECT_EQ(picture.image.pixel(250, 250), 0xFFFF0000u);

    options.minimumSize = QSize(60000, 60000); // capped, never unbounded
    const LoadedPicture capped = loadPicture(imagePath("emf/inkscape_drawing.emf"), options);
    EXPECT_LE(qint64(capped.image.width()) * capped.image.height(), kMaxMetafileRasterPixels);
    EXPECT_EQ(capped.image.width(), capped.image.height());
}

QStringList gMessages;

void recordMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    gMessages << message;
}

// Collects Qt's messages in gMessages while it lives; the handler before it is back
// when it ends, also when the load throws.
class MessageRecorder {
public:
    MessageRecorder() : previous_(qInstallMessageHandler(recordMessage)) { gMessages.clear(); }
    ~MessageRecorder() { qInstallMessageHandler(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

private:
    QtMessageHandler previous_;
};

// Every text of this emf has font size 0, and Qt warns about each one as it draws; the
// warnings of one picture come out as one line that names the file.
TEST(PictureLoader, ADrawingsWarningsComeOutAsOneLine) {
    const QString path = imagePath("emf/libemf2svg_test-013_zero_font_DERIVED.emf");
    LoadedPicture picture;
    {
        const MessageRecorder recorder;
        picture = loadPicture(path);
    }
    EXPECT_EQ(picture.logicalSize, QSize(554, 663));
    ASSERT_EQ(gMessages.size(), 1) << gMessages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(gMessages[0].contains(path)) << gMessages[0].toStdString();
}

TEST(PictureLoader, TypeComesFromTheContentNotTheName) {
    // A jpeg named .bmp and a bmp named .gif still load as what they are.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jpgAsBmp = dir.filePath(QStringLiteral("photo.bmp"));
    ASSERT_TRUE(QFile::copy(imagePath("jpeg/photo_grey_oneplus_tower.jpg"), jpgAsBmp));
    EXPECT_EQ(loadPicture(jpgAsBmp).format, PictureFormat::Jpeg);
    const QString bmpAsGif = dir.filePath(QStringLiteral("card.GIF"));
    ASSERT_TRUE(QFile::copy(imagePath("bmp/bmpsuite_rgb24.bmp"), bmpAsGif));
    EXPECT_EQ(loadPicture(bmpAsGif).format, PictureFormat::Bmp);
    const QString heicAsJpg = dir.filePath(QStringLiteral("IMG_0001.JPG"));
    ASSERT_TRUE(QFile::copy(imagePath("heic/stonehenge_300x200.heic"), heicAsJpg));
    EXPECT_EQ(loadPicture(heicAsJpg).format, PictureFormat::Heif);
    const QString webpAsPng = dir.filePath(QStringLiteral("download.png"));
    ASSERT_TRUE(QFile::copy(imagePath("webp/libwebp_test.webp"), webpAsPng));
    EXPECT_EQ(probePicture(webpAsPng).format, PictureFormat::Webp);
}

} // namespace
} // namespace tav
