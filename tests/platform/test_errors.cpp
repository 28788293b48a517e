// Error numbers, and the descriptions the user reads: Japanese, from the one table,
// naming the file they are about.
#include "generate/captions.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/image/picture_loader.h"
#include "platform/testing/test_files.h"
#include "platform/xls/address.h"
#include "platform/xls/workbook_io.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

TEST(Errors, ErrnoMapsToClassicNumbers) {
    EXPECT_EQ(tav::errnoToErrorNumber(ENOENT), tav::err::FileNotFound);
    EXPECT_EQ(tav::errnoToErrorNumber(ENOTDIR), tav::err::PathNotFound);
    EXPECT_EQ(tav::errnoToErrorNumber(EEXIST), tav::err::FileAlreadyExists);
    EXPECT_EQ(tav::errnoToErrorNumber(ENOSPC), tav::err::DiskFull);
    EXPECT_EQ(tav::errnoToErrorNumber(EACCES), tav::err::PermissionDenied);
    EXPECT_EQ(tav::errnoToErrorNumber(EROFS), tav::err::PermissionDenied);
    EXPECT_EQ(tav::errnoToErrorNumber(ENAMETOOLONG), tav::err::BadFileName);
}

// A word of the program's own text in English; names of formats and products may stay.
bool holdsEnglish(QString text) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    static const QStringList allowed{QStringLiteral("Excel"), QStringLiteral("JPEG"),
                                     QStringLiteral("WMF"), QStringLiteral("EMF"),
                                     QStringLiteral("UTF")};
    for (const QString& name : allowed) {
        text.remove(name);
    }
    return word.match(text).hasMatch();
}

TEST(Errors, EveryTextOfTheTableIsJapanese) {
    for (int i = 0; i <= static_cast<int>(tav::ErrorText::InternalError); ++i) {
        const QString text = tav::errorTextPattern(static_cast<tav::ErrorText>(i));
        EXPECT_FALSE(text.isEmpty()) << i;
        EXPECT_FALSE(holdsEnglish(text)) << text.toStdString();
    }
    for (const int e : {ENOENT, ENOTDIR, EEXIST, EBUSY, ENOSPC, EDQUOT, ENXIO, ENODEV, ENOMEDIUM,
                        EIO, EACCES, EPERM, EROFS, ENAMETOOLONG, EINVAL, EILSEQ, ENOMEM}) {
        // Every errno with a classic number of its own has its own text.
        EXPECT_NE(tav::osErrorText(e), tav::osErrorText(-1)) << e;
        EXPECT_FALSE(holdsEnglish(tav::osErrorText(e))) << e;
    }
}

// A copy of the first `percent` per cent of a picture of the test data, at `path`.
QString damagedCopy(const char* source, int percent, const QString& path) {
    QFile in(QStringLiteral(TAVOLIN_IMAGE_DATA "/") + QLatin1String(source));
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << source;
    const QByteArray bytes = in.readAll();
    tav::testing::writeFile(path, bytes.left(bytes.size() * percent / 100));
    return path;
}

// A piece of work that fails, the error number it fails with, the paths its description
// names.
struct FailureCase {
    const char* name;
    std::function<void()> fail;
    int number;
    QStringList named;
    bool detailed = false; // a developer's detail is expected
};

// The case fails with its number, its description names its paths and, without them,
// holds no English; a detail is there where one is expected.
void expectJapaneseNaming(const FailureCase& c) {
    try {
        c.fail();
        ADD_FAILURE() << c.name << ": no error";
    } catch (const tav::Error& e) {
        EXPECT_EQ(e.number(), c.number) << c.name;
        QString rest = e.description();
        for (const QString& path : c.named) {
            EXPECT_TRUE(rest.contains(path)) << c.name << ": " << e.what();
            rest.remove(path);
        }
        EXPECT_FALSE(holdsEnglish(rest)) << c.name << ": " << e.what();
        if (c.detailed) {
            EXPECT_FALSE(e.detail().isEmpty()) << c.name << ": " << e.what();
        }
    }
}

// Real failures of each layer: the description names the path (which is taken out
// before looking for English) and says the rest in Japanese.
TEST(Errors, DescriptionsOfRealFailuresAreJapanese) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("写真.jpg"));
    const QString other = dir.filePath(QStringLiteral("other.jpg"));
    const QString empty = dir.filePath(QStringLiteral("empty.jpg"));
    const QString garbage = dir.filePath(QStringLiteral("book.xls"));
    for (const QString& path : {existing, other, garbage}) {
        tav::testing::writeFile(path, "not a picture, not a workbook");
    }
    tav::testing::writeFile(empty, QByteArray());
    // Damaged pictures of the newer types: the library's own words stay in the detail.
    const QString heic = damagedCopy("heic/photo_12mp_iphone_xr_portrait_irot.heic", 30,
                                     dir.filePath(QStringLiteral("現場.heic")));
    const QString tiff = damagedCopy("broken/libtiff_ifd_loop_to_self.tif", 100,
                                     dir.filePath(QStringLiteral("図面.tif")));
    const QString webp =
        damagedCopy("webp/photo_storm_DERIVED.webp", 60, dir.filePath(QStringLiteral("空.webp")));
    const QString png =
        damagedCopy("png/toucan_palette.png", 60, dir.filePath(QStringLiteral("鳥.png")));
    const FailureCase cases[] = {
        {"rename onto an existing file",
         [&] { tav::renameNoReplace(existing, other); },
         tav::err::FileAlreadyExists,
         {existing, other}},
        {"rename to an invalid name",
         [&] {
             tav::RenamePlan plan;
             plan.add(existing, dir.filePath(QStringLiteral(".jpg")));
         },
         tav::err::BadFileName,
         {existing, QStringLiteral(".jpg")}},
        {"system refusal",
         [&] { tav::throwErrno(EACCES, tav::FileOperation::Save, existing); },
         tav::err::PermissionDenied,
         {existing}},
        {"missing file",
         [&] { tav::fileSize(dir.filePath(QStringLiteral("gone.jpg"))); },
         tav::err::FileNotFound,
         {dir.filePath(QStringLiteral("gone.jpg"))}},
        {"empty picture", [&] { tav::loadPicture(empty); }, tav::err::InvalidPicture, {empty}},
        {"no picture", [&] { tav::loadPicture(garbage); }, tav::err::InvalidPicture, {garbage}},
        {"cut HEIC photo", [&] { tav::loadPicture(heic); }, tav::err::InvalidPicture, {heic}, true},
        {"cut HEIC photo, probed",
         [&] { tav::probePicture(heic); },
         tav::err::InvalidPicture,
         {heic},
         true},
        {"TIFF pages in a loop",
         [&] { tav::loadPicture(tiff); },
         tav::err::InvalidPicture,
         {tiff},
         true},
        {"cut WebP photo", [&] { tav::loadPicture(webp); }, tav::err::InvalidPicture, {webp}, true},
        {"cut PNG picture", [&] { tav::loadPicture(png); }, tav::err::InvalidPicture, {png}, true},
        {"damaged workbook",
         [&] { tav::xls::readWorkbook(garbage); },
         tav::err::EngineRefused,
         {garbage}},
        {"bad address",
         [&] { tav::xls::parseAddress(QStringLiteral("A0"), tav::xls::AddressKind::Any); },
         tav::err::EngineRefused,
         {QStringLiteral("A0")}},
    };
    for (const FailureCase& c : cases) {
        expectJapaneseNaming(c);
    }
}

} // namespace
