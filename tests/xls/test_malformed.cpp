// Damaged templates: truncated files, wrong record lengths, broken compound-file
// chains, huge declared sizes. Each must end in tav::Error (1004 for a damaged
// workbook), never a crash, a hang or an unbounded allocation.
#include "platform/error.h"
#include "platform/xls/biff.h"
#include "platform/xls/engine.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/workbook_io.h"
#include "tests/xls/fuzz/fuzz_entry.h"
#include "tests/xls/sample_run.h"
#include "tests/xls/workbook_records.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <functional>

namespace tav::xls {
namespace {

const QString TemplatePath = QStringLiteral(TAVOLIN_XLS_TEMPLATE);
const QString BadDir = QStringLiteral(TAVOLIN_XLS_BAD_DIR);

using testing::fileBytes;
using testing::workbookStreamOf;

// A small valid workbook with text, formats and two pictures: the seed of the
// mutations.
const QByteArray& sampleFile() {
    static const QByteArray bytes = [] {
        QTemporaryDir dir;
        testing::SampleOptions options;
        options.pictures = 2;
        options.notes = true;
        const QString path = dir.filePath(QStringLiteral("seed.xls"));
        testing::writeSample(TemplatePath, path, options,
                             [](int i) { return testing::samplePicture(i, 40); });
        return fileBytes(path);
    }();
    return bytes;
}

QByteArray withWorkbookStream(const QByteArray& stream) {
    OleFile ole;
    ole.streams.push_back(OleStream{QStringLiteral("Workbook"), stream});
    return buildOleFile(ole);
}

// Offset of the first record of `type` in a Workbook stream.
qsizetype recordOffset(const QByteArray& stream, std::uint16_t type, int nth = 0) {
    qsizetype at = 0;
    while (at + 4 <= stream.size()) {
        if (get16(stream, at) == type && nth-- == 0) {
            return at;
        }
        at += 4 + get16(stream, at + 2);
    }
    return -1;
}

struct BadCase {
    const char* name;
    std::function<QByteArray()> make;
};

// Compound-file header fields (MS-CFB 2.2).
constexpr int FatSectorCount = 0x2C;
constexpr int FirstDirectorySector = 0x30;
constexpr int FirstDifatSector = 0x44;
constexpr int DifatSectorCount = 0x48;
constexpr int HeaderDifat = 0x4C;

std::vector<BadCase> badCases() {
    return {
        {"empty file", [] { return QByteArray(); }},
        {"text file", [] { return QByteArray("ID;PWXL\nC;Y1;X1;K\"not a workbook\"\n"); }},
        {"truncated after the header", [] { return sampleFile().left(512); }},
        {"truncated in the middle", [] { return sampleFile().left(sampleFile().size() / 2); }},
        {"truncated by one sector", [] { return sampleFile().left(sampleFile().size() - 512); }},
        {"FAT chain looping on itself",
         [] {
             QByteArray f = sampleFile();
             // The first FAT sector: make every entry point to sector 0.
             const std::uint32_t fat = get32(f, HeaderDifat);
             for (int i = 0; i < 128; ++i) {
                 set32(f, 512 + 512 * fat + 4 * i, 0);
             }
             return f;
         }},
        {"directory sector beyond the file",
         [] {
             QByteArray f = sampleFile();
             set32(f, FirstDirectorySector, 0x00FFFFF0);
             return f;
         }},
        {"huge FAT sector count",
         [] {
             QByteArray f = sampleFile();
             set32(f, FatSectorCount, 0x7FFFFFFF);
             return f;
         }},
        {"DIFAT chain looping",
         [] {
             QByteArray f = sampleFile();
             set32(f, FirstDifatSector, 0);
             set32(f, DifatSectorCount, 0x10000);
             return f;
         }},
        {"huge declared stream size",
         [] {
             QByteArray f = sampleFile();
             // Directory entries are 128 bytes; the stream size sits at +120.
             const std::uint32_t dir = get32(f, FirstDirectorySector);
             for (int e = 1; e < 4; ++e) {
                 set32(f, 512 + 512 * dir + 128 * e + 120, 0x7FFFFFF0);
             }
             return f;
         }},
        {"record length beyond the stream",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set16(s, recordOffset(s, op::SST) + 2, 0xFFFF);
             return withWorkbookStream(s);
         }},
        {"stream ends inside a record header",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             return withWorkbookStream(s.left(recordOffset(s, op::SST) + 2));
         }},
        {"XF record of the wrong length",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             const qsizetype at = recordOffset(s, op::XF);
             set16(s, at + 2, 12);
             s.remove(at + 4 + 12, 8);
             return withWorkbookStream(s);
         }},
        {"shared strings declare four billion entries",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             const qsizetype at = recordOffset(s, op::SST);
             set32(s, at + 8, 0xFFFFFFFF);
             // ...and one string claims 65535 characters.
             set16(s, at + 12, 0xFFFF);
             return withWorkbookStream(s);
         }},
        {"text cell refers to a missing string",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set32(s, recordOffset(s, op::LABELSST) + 4 + 6, 0x00FFFFFF);
             return withWorkbookStream(s);
         }},
        {"drawing group declares a huge record",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set32(s, recordOffset(s, op::MSODRAWINGGROUP) + 4 + 4, 0xFFFFFFF0);
             return withWorkbookStream(s);
         }},
        {"sheet drawing declares a huge record",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set32(s, recordOffset(s, op::MSODRAWING) + 4 + 4, 0x7FFFFFFF);
             return withWorkbookStream(s);
         }},
        {"picture refers to a missing stored image",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             const qsizetype at = recordOffset(s, op::MSODRAWING);
             const QByteArray pib("\x04\x41", 2);
             const qsizetype p = s.indexOf(pib, at);
             set32(s, p + 2, 999);
             return withWorkbookStream(s);
         }},
        {"cell beyond the last column",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set16(s, recordOffset(s, op::LABELSST) + 4 + 2, 300);
             return withWorkbookStream(s);
         }},
        {"not BIFF8",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             set16(s, 4, 0x0500);
             return withWorkbookStream(s);
         }},
        {"sheet without an end record",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             return withWorkbookStream(s.left(s.size() - 4));
         }},
        {"globals only",
         [] {
             QByteArray s = workbookStreamOf(sampleFile());
             const qsizetype eof = recordOffset(s, op::EOF_);
             return withWorkbookStream(s.left(eof + 4));
         }},
        {"no Workbook stream",
         [] {
             OleFile ole;
             ole.streams.push_back(OleStream{QStringLiteral("Book"), QByteArray(600, 'x')});
             return buildOleFile(ole);
         }},
    };
}

TEST(MalformedTemplate, EveryDamagedFileIsRefusedWithError1004) {
    for (const BadCase& c : badCases()) {
        const QByteArray bytes = c.make();
        try {
            readWorkbookFromMemory(bytes, QStringLiteral("bad.xls"));
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::EngineRefused) << c.name << ": " << e.what();
            EXPECT_FALSE(e.description().isEmpty()) << c.name;
        }
        if (const QByteArray dir = qgetenv("XLS_WRITE_CORPUS"); !dir.isEmpty()) {
            QString name = QString::fromLatin1(c.name).replace(u' ', u'_') + QStringLiteral(".xls");
            QFile out(QString::fromLocal8Bit(dir) + u'/' + name);
            if (out.open(QIODevice::WriteOnly)) {
                out.write(bytes);
            }
        }
    }
}

TEST(MalformedTemplate, OpeningADamagedTemplateThroughTheApplication) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ExcelBook.xls"));
    testing::writeFile(path, sampleFile().left(3000));
    Application app;
    try {
        app.workbooks().open(path);
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::EngineRefused);
        EXPECT_TRUE(e.description().contains(path)) << e.what();
    }
    EXPECT_EQ(app.workbooks().count(), 0);
}

// The regression corpus: damaged templates found so far (by hand or by the fuzzer).
TEST(MalformedTemplate, RegressionCorpusEndsInErrors) {
    const QStringList files = QDir(BadDir).entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        const QByteArray bytes = fileBytes(BadDir + u'/' + name);
        const bool read =
            fuzz::readTemplate(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
        EXPECT_FALSE(read) << name.toStdString() << " was accepted";
    }
}

// Random damage: every mutation of a valid workbook either reads (and writes back)
// or is refused with tav::Error; none crashes, and memory stays small. Anything else
// the reader throws escapes readTemplate and fails the test.
TEST(MalformedTemplate, RandomMutationsNeverCrash) {
    const QByteArray file = sampleFile();
    const QByteArray stream = workbookStreamOf(file);
    std::uint32_t state = 12345;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    // Outcomes by input kind: 0 the whole compound file, 1 the raw records.
    int read[2] = {0, 0};
    int refused[2] = {0, 0};
    for (int round = 0; round < 1500; ++round) {
        const int kind = round % 3 == 0 ? 0 : 1;
        QByteArray input;
        if (kind == 0) {
            input = file;
        } else {
            input = QByteArray(1, '\0') + stream; // raw records: past the container
        }
        const int flips = 1 + static_cast<int>(next() % 8);
        for (int k = 0; k < flips; ++k) {
            const qsizetype at =
                static_cast<qsizetype>(next() % static_cast<std::uint32_t>(input.size()));
            if (at == 0) {
                continue; // keep the mode byte
            }
            switch (next() % 4) {
            case 0:
                input[at] = static_cast<char>(next());
                break;
            case 1:
                input[at] = static_cast<char>(0xFF);
                break;
            case 2:
                input[at] = 0;
                break;
            default:
                input.truncate(at);
                break;
            }
            if (input.size() < 2) {
                break;
            }
        }
        if (fuzz::readTemplate(reinterpret_cast<const std::uint8_t*>(input.constData()),
                               static_cast<std::size_t>(input.size()))) {
            ++read[kind];
        } else {
            ++refused[kind];
        }
    }
    // Both kinds of input met both outcomes: the damage reached the reader's refusals,
    // and damage the reader tolerates went on through the writer.
    for (int kind : {0, 1}) {
        EXPECT_GT(refused[kind], 0) << "kind " << kind << " never refused";
        EXPECT_GT(read[kind], 0) << "kind " << kind << " never read";
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 1024L * 1024) << "peak memory in KiB";
}

} // namespace
} // namespace tav::xls
