// tavolin-batch: its command line, and the executable's exit status and messages.
#include "app/batch/batch_args.h"
#include "app/batch/batch_host.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace tav {
namespace {

const QString kWork = QStringLiteral("/w");

TEST(BatchArguments, FullCommandLine) {
    const BatchArguments a = parseBatchArguments(
        {QStringLiteral("--out"), QStringLiteral("out/report"), QStringLiteral("--layout"),
         QStringLiteral("plain-square-8"), QStringLiteral("--no-captions"),
         QStringLiteral("--no-extension"), QStringLiteral("--title"), QStringLiteral("題"),
         QStringLiteral("--subject"), QStringLiteral("S"), QStringLiteral("--author"),
         QStringLiteral("A"), QStringLiteral("--comment"), QStringLiteral("C"),
         QStringLiteral("--rename"), QStringLiteral("a.jpg"), QStringLiteral("/p/b.jpg:90"),
         QStringLiteral("c.bmp:270:名前"), QStringLiteral("d.gif:0:x:y")},
        kWork);
    ASSERT_TRUE(a.error.isEmpty()) << a.error.toStdString();
    EXPECT_EQ(a.job.folder, QStringLiteral("/w/out"));
    EXPECT_EQ(a.job.fileName, QStringLiteral("report"));
    EXPECT_EQ(a.job.layout, (LayoutChoice{LayoutFamily::WithoutNotes, 4}));
    EXPECT_FALSE(a.job.withCaptions);
    EXPECT_FALSE(a.job.captionsKeepExtension);
    EXPECT_TRUE(a.job.renameToDisplayNames);
    EXPECT_TRUE(a.rename);
    EXPECT_EQ(a.job.title, QStringLiteral("題"));
    EXPECT_EQ(a.job.comment, QStringLiteral("C"));
    ASSERT_EQ(a.rows.size(), 4u);
    EXPECT_EQ(a.rows[0].path, QStringLiteral("/w/a.jpg"));
    EXPECT_EQ(a.rows[0].rotation, QStringLiteral("  0"));
    EXPECT_EQ(a.rows[0].displayName, QStringLiteral("ファイル名と同じ"));
    EXPECT_EQ(a.rows[1].path, QStringLiteral("/p/b.jpg"));
    EXPECT_EQ(a.rows[1].rotation, QStringLiteral(" 90"));
    EXPECT_EQ(a.rows[2].rotation, QStringLiteral("270"));
    EXPECT_EQ(a.rows[2].displayName, QStringLiteral("名前"));
    EXPECT_EQ(a.rows[3].displayName, QStringLiteral("x:y"));
}

TEST(BatchArguments, Defaults) {
    const BatchArguments a = parseBatchArguments(
        {QStringLiteral("--out"), QStringLiteral("/tmp/x.xls"), QStringLiteral("--layout"),
         QStringLiteral("notes-2"), QStringLiteral("a.jpg")},
        kWork);
    ASSERT_TRUE(a.error.isEmpty());
    EXPECT_EQ(a.job.folder, QStringLiteral("/tmp"));
    EXPECT_EQ(a.job.fileName, QStringLiteral("x.xls"));
    EXPECT_TRUE(a.job.withCaptions);
    EXPECT_TRUE(a.job.captionsKeepExtension);
    EXPECT_FALSE(a.job.renameToDisplayNames);
    EXPECT_EQ(a.job.layout, (LayoutChoice{LayoutFamily::WithNotes, 0}));
    EXPECT_EQ(a.jobs, 0); // one thread per core

    // After "--" an argument that looks like an option is an image.
    const BatchArguments dashed = parseBatchArguments(
        {QStringLiteral("--out"), QStringLiteral("x"), QStringLiteral("--layout"),
         QStringLiteral("notes-2"), QStringLiteral("--"), QStringLiteral("--a.jpg")},
        kWork);
    ASSERT_TRUE(dashed.error.isEmpty()) << dashed.error.toStdString();
    ASSERT_EQ(dashed.rows.size(), 1u);
    EXPECT_EQ(dashed.rows[0].path, QStringLiteral("/w/--a.jpg"));
}

// A path holding ":" is taken whole when such a file exists.
TEST(BatchArguments, PathWithColon) {
    QTemporaryDir dir;
    const QString odd = dir.filePath(QStringLiteral("a:90.jpg"));
    QFile f(odd);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const BatchArguments a = parseBatchArguments(
        {QStringLiteral("--out"), QStringLiteral("x"), QStringLiteral("--layout"),
         QStringLiteral("notes-2"), odd, odd + QStringLiteral(":180:n")},
        kWork);
    ASSERT_TRUE(a.error.isEmpty()) << a.error.toStdString();
    EXPECT_EQ(a.rows[0].path, odd);
    EXPECT_EQ(a.rows[0].rotation, QStringLiteral("  0"));
    EXPECT_EQ(a.rows[1].path, odd);
    EXPECT_EQ(a.rows[1].rotation, QStringLiteral("180"));
    EXPECT_EQ(a.rows[1].displayName, QStringLiteral("n"));
}

TEST(BatchArguments, BadUsage) {
    const QStringList base{QStringLiteral("--out"), QStringLiteral("x"), QStringLiteral("--layout"),
                           QStringLiteral("notes-2")};
    EXPECT_FALSE(parseBatchArguments(base, kWork).error.isEmpty()); // no image
    EXPECT_FALSE(parseBatchArguments({QStringLiteral("a.jpg")}, kWork).error.isEmpty());
    EXPECT_FALSE(
        parseBatchArguments(base + QStringList{QStringLiteral("a.jpg:45")}, kWork).error.isEmpty());
    EXPECT_FALSE(parseBatchArguments({QStringLiteral("--out"), QStringLiteral("x"),
                                      QStringLiteral("--layout"), QStringLiteral("notes-9"),
                                      QStringLiteral("a.jpg")},
                                     kWork)
                     .error.isEmpty());
    EXPECT_FALSE(parseBatchArguments(
                     base + QStringList{QStringLiteral("--bogus"), QStringLiteral("a.jpg")}, kWork)
                     .error.isEmpty());
    EXPECT_FALSE(parseBatchArguments({QStringLiteral("--out")}, kWork).error.isEmpty());
    EXPECT_TRUE(parseBatchArguments({QStringLiteral("--help")}, kWork).help);
    // --jobs takes 1 to 64.
    for (const auto& [value, jobs] : {std::pair{"1", 1},
                                      {"64", 64},
                                      {"0", -1},
                                      {"65", -1},
                                      {"two", -1},
                                      {"", -1},
                                      {"-3", -1}}) {
        SCOPED_TRACE(value);
        const BatchArguments a = parseBatchArguments(base + QStringList{QStringLiteral("--jobs"),
                                                                        QString::fromUtf8(value),
                                                                        QStringLiteral("a.jpg")},
                                                     kWork);
        EXPECT_EQ(a.error.isEmpty(), jobs > 0) << a.error.toStdString();
        if (jobs > 0) {
            EXPECT_EQ(a.jobs, jobs);
        }
    }
}

// --list rows come first, then the IMAGE arguments; --sort orders them all.
TEST(BatchArguments, ListFileSortAndDateNotes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath(QStringLiteral("list.tsv"));
    const QString bad = dir.filePath(QStringLiteral("bad.tsv"));
    for (const auto& [path, content] :
         {std::pair{list, QByteArray("path\trotation\tname\tnote\n/p/IMG_10.jpg\t90\t名前\t"
                                     "一\\n二\n/p/IMG_9.jpg\t0\t\t\n")},
          std::pair{bad, QByteArray("path,rotation\n")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    const QStringList base{QStringLiteral("--out"), QStringLiteral("x"), QStringLiteral("--layout"),
                           QStringLiteral("notes-2")};
    struct Case {
        QStringList arguments;
        QStringList paths; // empty: an error containing `error`
        const char* error = "";
    };
    const Case cases[] = {
        {{QStringLiteral("--list"), list, QStringLiteral("/p/IMG_1.jpg")},
         {QStringLiteral("/p/IMG_10.jpg"), QStringLiteral("/p/IMG_9.jpg"),
          QStringLiteral("/p/IMG_1.jpg")}},
        {{QStringLiteral("/p/IMG_1.jpg"), QStringLiteral("--sort"), QStringLiteral("name"),
          QStringLiteral("--list"), list},
         {QStringLiteral("/p/IMG_1.jpg"), QStringLiteral("/p/IMG_9.jpg"),
          QStringLiteral("/p/IMG_10.jpg")}},
        {{QStringLiteral("--list"), list, QStringLiteral("--date-notes")},
         {QStringLiteral("/p/IMG_10.jpg"), QStringLiteral("/p/IMG_9.jpg")}},
        {{QStringLiteral("--list"), list, QStringLiteral("--sort"), QStringLiteral("size")},
         {},
         "--sort takes name or date"},
        {{QStringLiteral("--list"), bad}, {}, "は写真リストのファイルではありません"},
        {{QStringLiteral("--list"), dir.filePath(QStringLiteral("none.tsv"))}, {}, "none.tsv"},
    };
    for (const Case& c : cases) {
        const BatchArguments a = parseBatchArguments(base + c.arguments, kWork);
        const std::string what = c.arguments.join(QLatin1Char(' ')).toStdString();
        if (c.paths.isEmpty()) {
            EXPECT_TRUE(a.error.contains(QString::fromUtf8(c.error)))
                << what << ": " << a.error.toStdString();
            continue;
        }
        ASSERT_TRUE(a.error.isEmpty()) << what << ": " << a.error.toStdString();
        QStringList paths;
        for (const BatchRow& row : a.rows) {
            paths << row.path;
        }
        EXPECT_EQ(paths, c.paths) << what;
        EXPECT_EQ(a.job.fillEmptyNotesWithDateTaken,
                  c.arguments.contains(QStringLiteral("--date-notes")))
            << what;
        const auto listed = std::find_if(a.rows.begin(), a.rows.end(), [](const BatchRow& row) {
            return row.path == QStringLiteral("/p/IMG_10.jpg");
        });
        ASSERT_NE(listed, a.rows.end()) << what;
        EXPECT_EQ(listed->rotation, QStringLiteral(" 90")) << what;
        EXPECT_EQ(listed->displayName, QStringLiteral("名前")) << what;
        EXPECT_EQ(listed->note, QStringLiteral("一\n二")) << what;
        EXPECT_TRUE(listed->missing) << what;
    }
}

TEST(BatchHost, TerminalText) {
    EXPECT_EQ(terminalText(QStringLiteral("a\r\rb\r\nc")), QStringLiteral("a\n\nb\nc"));
}

// The executable: success prints the workbook path, progress goes to stderr; a missing
// image ends with the failure message and a non-zero status.
TEST(BatchExecutable, ExitStatusAndMessages) {
    QTemporaryDir dir;
    const QString batch = QStringLiteral(TAVOLIN_BATCH_PATH);
    const QString image = QStringLiteral(TAVOLIN_GENERATE_TEST_DATA "/orientation_1.jpg");
    QProcess p;
    p.start(batch, {QStringLiteral("--out"), dir.filePath(QStringLiteral("ok")),
                    QStringLiteral("--layout"), QStringLiteral("plain-3"), image,
                    image + QStringLiteral(":90")});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed(),
              dir.filePath(QStringLiteral("ok.xls")));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("1/2\n2/2\n"))) << err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("ok.xls"))));

    p.start(batch, {QStringLiteral("--out"), dir.filePath(QStringLiteral("bad")),
                    QStringLiteral("--layout"), QStringLiteral("plain-3"),
                    dir.filePath(QStringLiteral("missing.jpg"))});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString missing = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(missing.contains(QStringLiteral("次の画像ファイルを読み込めません。\n\n") +
                                 dir.filePath(QStringLiteral("missing.jpg")) +
                                 QStringLiteral("：見つかりません")))
        << missing.toStdString();
    EXPECT_FALSE(missing.contains(QStringLiteral("ExcelBook.org")));

    p.start(batch, {QStringLiteral("--layout"), QStringLiteral("plain-3")});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 2);
}

// A run killed with SIGKILL half way leaves the previous workbook byte for byte; what
// it left beside it (its lock file) does not block the next run, which cleans up. A
// run stopped by SIGTERM cleans up itself.
TEST(BatchExecutable, KilledRunLeavesThePreviousWorkbook) {
    QTemporaryDir dir;
    const QString batch = QStringLiteral(TAVOLIN_BATCH_PATH);
    const QString image =
        QStringLiteral(TAVOLIN_GENERATE_TEST_DATA "/photo_0.5mp_olympus_snow.jpg");
    const QString target = dir.filePath(QStringLiteral("book.xls"));
    QStringList args{QStringLiteral("--out"), target, QStringLiteral("--layout"),
                     QStringLiteral("plain-square-8")};
    for (int i = 0; i < 100; ++i) {
        args << image + QStringLiteral(":90");
    }
    QProcess p;
    p.start(batch, {QStringLiteral("--out"), target, QStringLiteral("--layout"),
                    QStringLiteral("plain-3"), image});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray previous = f.readAll();
    f.close();
    const auto others = [&] {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("book.xls"));
        return names;
    };

    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        p.start(batch, args);
        p.setReadChannel(QProcess::StandardError); // the progress lines
        QByteArray progress;
        while (!progress.contains("2/100\n") && p.waitForReadyRead(60000)) {
            progress += p.readAllStandardError();
        }
        ASSERT_TRUE(progress.contains("2/100\n")) << progress.constData();
        ::kill(static_cast<pid_t>(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), previous);
        f.close();
        if (signal == SIGKILL) {
            EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
            EXPECT_EQ(others(), QStringList{QStringLiteral(".~lock.book.xls#")});
        } else {
            EXPECT_EQ(p.exitCode(), 4) << p.readAllStandardError().constData();
            EXPECT_EQ(others(), QStringList{});
        }
    }
    p.setReadChannel(QProcess::StandardOutput);
    p.start(batch, {QStringLiteral("--out"), target, QStringLiteral("--layout"),
                    QStringLiteral("plain-3"), image});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(others(), QStringList{});
}

} // namespace
} // namespace tav
