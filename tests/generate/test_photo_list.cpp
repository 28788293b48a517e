// The photo list's order (natural names, dates taken) and its file: the round trip, the
// escapes, missing photos, and content that is not such a list.
#include "generate/captions.h"
#include "generate/photo_list.h"
#include "generate/photo_list_file.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/testing/failing_file_writer.h"
#include "platform/testing/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tav {
namespace {

using testing::errorNumberOf;
using testing::readFile;
using testing::writeFile;

QString generateData(const char* name) {
    return QStringLiteral(TAVOLIN_GENERATE_TEST_DATA "/") + QString::fromUtf8(name);
}

QStringList pathsOf(const std::vector<PhotoRow>& rows) {
    QStringList paths;
    for (const PhotoRow& row : rows)
        paths << row.path;
    return paths;
}

std::vector<PhotoRow> rowsOf(const QStringList& paths) {
    std::vector<PhotoRow> rows;
    for (const QString& path : paths)
        rows.push_back({path, QStringLiteral("  0"), kSameAsFileName, QString()});
    return rows;
}

TEST(PhotoList, NaturalCompare) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"IMG_2.jpg", "IMG_10.jpg", -1},
        {"IMG_10.jpg", "IMG_9.jpg", 1},
        {"img_2.jpg", "IMG_3.jpg", -1},                            // case does not count ...
        {"IMG_2.jpg", "img_2.jpg", -1},                            // ... except to break a tie
        {"IMG_002.jpg", "IMG_2.jpg", -1},                          // leading zeros break ties only
        {"IMG_002.jpg", "IMG_3.jpg", -1},                          // but not the value
        {"a99999999999999999999b", "a100000000000000000000b", -1}, // beyond 64 bits
        {"写真2", "写真10", -1},
        {"IMG", "IMG_1", -1},
        {"", "a", -1},
        {"same", "same", 0},
    };
    for (const Case& c : cases) {
        const QString a = QString::fromUtf8(c.a), b = QString::fromUtf8(c.b);
        const int ab = naturalCompare(a, b), ba = naturalCompare(b, a);
        EXPECT_EQ((ab > 0) - (ab < 0), c.sign) << c.a << " / " << c.b;
        EXPECT_EQ((ba > 0) - (ba < 0), -c.sign) << c.b << " / " << c.a;
    }
}

TEST(PhotoList, SortByNameIsNaturalStableAndReversible) {
    const QStringList paths = {QStringLiteral("/b/IMG_10.jpg"), QStringLiteral("/a/IMG_2.jpg"),
                               QStringLiteral("/c/img_1.jpg"), QStringLiteral("/a/IMG_10.jpg")};
    struct Case {
        bool reversed;
        QStringList expected;
    };
    const Case cases[] = {
        {false,
         {QStringLiteral("/c/img_1.jpg"), QStringLiteral("/a/IMG_2.jpg"),
          QStringLiteral("/a/IMG_10.jpg"), QStringLiteral("/b/IMG_10.jpg")}},
        {true,
         {QStringLiteral("/b/IMG_10.jpg"), QStringLiteral("/a/IMG_10.jpg"),
          QStringLiteral("/a/IMG_2.jpg"), QStringLiteral("/c/img_1.jpg")}},
    };
    for (const Case& c : cases) {
        std::vector<PhotoRow> rows = rowsOf(paths);
        rows[1].note = QStringLiteral("note stays with its row");
        sortRows(rows, RowOrder::Name, c.reversed);
        EXPECT_EQ(pathsOf(rows), c.expected) << c.reversed;
        for (const PhotoRow& row : rows)
            EXPECT_EQ(row.note.isEmpty(), row.path != QStringLiteral("/a/IMG_2.jpg"));
    }
}

// Dates taken from EXIF (2006 and 2019), file times for pictures without them, and a
// missing photo, which has no date and stays last either way.
TEST(PhotoList, SortByDateTakenElseFileTimeMissingLast) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString snow = dir.filePath(QStringLiteral("snow.jpg"));
    const QString tower = dir.filePath(QStringLiteral("tower.jpg"));
    const QString gif = dir.filePath(QStringLiteral("b_2012.gif"));
    const QString bmp = dir.filePath(QStringLiteral("a_2012.bmp"));
    const QString missing = dir.filePath(QStringLiteral("missing.jpg"));
    ASSERT_TRUE(QFile::copy(generateData("photo_0.5mp_olympus_snow.jpg"), snow));
    ASSERT_TRUE(QFile::copy(generateData("photo_grey_oneplus_tower.jpg"), tower));
    ASSERT_TRUE(QFile::copy(generateData("photo_hopper_128.gif"), gif));
    ASSERT_TRUE(QFile::copy(generateData("photo_video001_24bit.bmp"), bmp));
    const QDateTime y2012(QDate(2012, 5, 1), QTime(8, 0));
    for (const QString& path : {gif, bmp, snow, tower}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        // The JPEGs' file times lie before both EXIF dates: EXIF must win.
        ASSERT_TRUE(
            file.setFileTime(path.endsWith(QStringLiteral(".jpg")) ? y2012.addYears(-10) : y2012,
                             QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(dateTakenOrFileTime(snow), QDateTime(QDate(2006, 2, 13), QTime(0, 10, 17)));
    EXPECT_EQ(dateTakenOrFileTime(gif), y2012);
    EXPECT_FALSE(dateTakenOrFileTime(missing).isValid());
    EXPECT_EQ(dateTakenNote(tower), QStringLiteral("撮影日 2019/11/09 10:59"));
    EXPECT_EQ(dateTakenNote(missing), QString());

    struct Case {
        bool reversed;
        QStringList expected;
    };
    const Case cases[] = {
        {false, {snow, bmp, gif, tower, missing}}, // equal file times: by name
        {true, {tower, gif, bmp, snow, missing}},
    };
    for (const Case& c : cases) {
        std::vector<PhotoRow> rows = rowsOf({missing, tower, gif, snow, bmp});
        sortRows(rows, RowOrder::DateTaken, c.reversed);
        EXPECT_EQ(pathsOf(rows), c.expected) << c.reversed;
    }
}

TEST(PhotoListFile, RoundTripKeepsEveryFieldAndMarksMissingPhotos) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString photo = dir.filePath(QStringLiteral("写真 1.jpg"));
    writeFile(photo, "x");
    const QString missing = dir.filePath(QStringLiteral("gone.jpg"));
    const std::vector<PhotoRow> rows = {
        {photo, QStringLiteral(" 90"), QStringLiteral("名前\t一\\二"),
         QStringLiteral("一行目\n二行目\tタブ \\n そのまま")},
        {missing, QStringLiteral("270"), kSameAsFileName, QString()},
        {photo, QStringLiteral("180"), QStringLiteral("a\\"), QStringLiteral("\\")},
    };
    const QString listPath = dir.filePath(QStringLiteral("list.tsv"));
    writePhotoList(localFileWriter(), listPath, rows);

    const QByteArray expectedText =
        "path\trotation\tname\tnote\n" + photo.toUtf8() +
        "\t90\t名前\\t一\\\\二\t一行目\\n二行目\\tタブ \\\\n そのまま\n" + missing.toUtf8() +
        "\t270\t\t\n" + photo.toUtf8() + "\t180\ta\\\\\t\\\\\n";
    EXPECT_EQ(readFile(listPath), expectedText);

    const std::vector<PhotoRow> back = readPhotoList(listPath);
    ASSERT_EQ(back.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(back[i].path, rows[i].path) << i;
        EXPECT_EQ(back[i].rotation, rows[i].rotation) << i;
        EXPECT_EQ(back[i].displayName, rows[i].displayName) << i;
        EXPECT_EQ(back[i].note, rows[i].note) << i;
        EXPECT_EQ(back[i].missing, rows[i].path == missing) << i;
    }
}

// What spreadsheets and hand editing make of the file: CR LF line ends, a byte order
// mark, fields left out at the end, empty lines, relative paths, "\r\n" typed into a note.
TEST(PhotoListFile, ReadsWhatSpreadsheetsWrite) {
    const QString listPath = QStringLiteral("/lists/site.tsv");
    const std::vector<PhotoRow> rows = parsePhotoList("\xEF\xBB\xBFpath\trotation\tname\tnote\r\n"
                                                      "photos/a.jpg\r\n"
                                                      "\r\n"
                                                      "/abs/b.jpg\t0\t\tline\\nbreak\\x\r\n",
                                                      listPath);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].path, QStringLiteral("/lists/photos/a.jpg"));
    EXPECT_EQ(rows[0].rotation, QStringLiteral("  0"));
    EXPECT_EQ(rows[0].displayName, kSameAsFileName);
    EXPECT_TRUE(rows[0].missing);
    EXPECT_EQ(rows[1].path, QStringLiteral("/abs/b.jpg"));
    EXPECT_EQ(rows[1].note, QStringLiteral("line\nbreak\\x"));
    // A typed CR LF is written as one line break.
    EXPECT_EQ(photoListText({{QStringLiteral("/p.jpg"), QStringLiteral("  0"), kSameAsFileName,
                              QStringLiteral("a\r\nb")}}),
              QByteArray("path\trotation\tname\tnote\n/p.jpg\t0\t\ta\\nb\n"));
}

TEST(PhotoListFile, RefusesWhatIsNotAListWithTheLine) {
    struct Case {
        const char* what;
        QByteArray content;
        const char* message;
    };
    const Case cases[] = {
        {"empty file", "", "は写真リストのファイルではありません"},
        {"other header", "path\trotation\tname\n/a.jpg\t0\tx\n",
         "は写真リストのファイルではありません"},
        {"header not UTF-8", "\xff\xfep\0a\0", "は写真リストのファイルではありません"},
        {"bad rotation", "path\trotation\tname\tnote\n/a.jpg\t0\n/b.jpg\t45\n",
         "の3行目：回転は 0、90、180、270 のどれかです（「45」は使えません）"},
        {"rotation code", "path\trotation\tname\tnote\n/a.jpg\t 90\n", "の2行目：回転は"},
        {"five fields", "path\trotation\tname\tnote\n/a.jpg\t0\ta\tb\tc\n", "の2行目：写真の場所"},
        {"no path", "path\trotation\tname\tnote\n\t0\ta\tb\n", "の2行目：写真の場所"},
        {"Latin-1 note", "path\trotation\tname\tnote\n/a.jpg\t0\t\tcaf\xe9\n",
         "の2行目の文字コードがUTF-8ではありません"},
    };
    for (const Case& c : cases) {
        try {
            parsePhotoList(c.content, QStringLiteral("/l/x.tsv"));
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(e.description().startsWith(QStringLiteral("「/l/x.tsv」")))
                << c.what << ": " << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.message)))
                << c.what << ": " << e.description().toStdString();
        }
    }
}

// A failed write leaves the old list; a folder, a missing file and a path that the format
// cannot hold are refused with the file error or a message, nothing written.
TEST(PhotoListFile, FailuresLoseNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString listPath = dir.filePath(QStringLiteral("list.tsv"));
    writeFile(listPath, "old");
    testing::FailingFileWriter failing;
    failing.failWrite = 1;
    failing.osError = ENOSPC;
    const std::vector<PhotoRow> rows = rowsOf({QStringLiteral("/a.jpg")});
    EXPECT_EQ(errorNumberOf([&] { writePhotoList(failing, listPath, rows); }), err::DiskFull);
    EXPECT_EQ(errorNumberOf([&] {
                  writePhotoList(localFileWriter(), listPath,
                                 rowsOf({QStringLiteral("/a\tb.jpg")}));
              }),
              err::BadFileName);
    EXPECT_EQ(readFile(listPath), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    EXPECT_EQ(errorNumberOf([&] { readPhotoList(dir.filePath(QStringLiteral("none.tsv"))); }),
              err::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { readPhotoList(dir.path()); }), err::PathFileAccess);
}

} // namespace
} // namespace tav
