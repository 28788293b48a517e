#include "app/batch/batch_args.h"

#include "generate/captions.h"
#include "generate/page_layout.h"
#include "generate/photo_list_file.h"
#include "platform/error.h"
#include "platform/image/picture_types.h"
#include "platform/rotation_code.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace tav {

namespace {

QString absolute(const QString& path, const QString& workingFolder) {
    return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
}

// IMAGE[:ROTATION[:DISPLAYNAME]]. A path may itself hold ":"; the split is taken at
// the first ":" followed by a rotation and then the end or another ":", preferring a
// split whose path names an existing file. An argument naming an existing file as a
// whole is that file.
bool parseImage(const QString& arg, const QString& workingFolder, BatchRow& row, QString& error) {
    row.rotation = RotationCode().text();
    row.displayName = kSameAsFileName;
    if (QFileInfo(absolute(arg, workingFolder)).isFile() || !arg.contains(QLatin1Char(':'))) {
        row.path = absolute(arg, workingFolder);
        return !arg.isEmpty();
    }
    struct Split {
        QString path;
        RotationCode rotation;
        QString name;
        bool hasName;
    };
    std::vector<Split> splits;
    for (qsizetype p = arg.indexOf(QLatin1Char(':')); p >= 0;
         p = arg.indexOf(QLatin1Char(':'), p + 1)) {
        const QString rest = arg.mid(p + 1);
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        const std::optional<RotationCode> rotation =
            RotationCode::fromDegrees(colon < 0 ? rest : rest.left(colon));
        if (rotation) {
            splits.push_back(
                {arg.left(p), *rotation, colon < 0 ? QString() : rest.mid(colon + 1), colon >= 0});
        }
    }
    if (splits.empty()) {
        // A path with ":" whose file does not exist, or a bad rotation.
        const qsizetype p = arg.indexOf(QLatin1Char(':'));
        const QString rest = arg.mid(p + 1).section(QLatin1Char(':'), 0, 0);
        error =
            QStringLiteral("'%1': the rotation must be 0, 90, 180 or 270, not '%2'").arg(arg, rest);
        return false;
    }
    const Split* chosen = &splits.front();
    for (const Split& s : splits) {
        if (QFileInfo(absolute(s.path, workingFolder)).isFile()) {
            chosen = &s;
            break;
        }
    }
    if (chosen->path.isEmpty()) {
        error = QStringLiteral("'%1': no image file named").arg(arg);
        return false;
    }
    row.path = absolute(chosen->path, workingFolder);
    row.rotation = chosen->rotation.text();
    if (chosen->hasName && !chosen->name.isEmpty()) {
        row.displayName = chosen->name;
    }
    return true;
}

// The target folder and file name of --out DIR/NAME.
bool readTarget(const QString& out, const QString& workingFolder, GenerationJob& job,
                QString& error) {
    if (out.isEmpty() || out.endsWith(QLatin1Char('/'))) {
        error = QStringLiteral("--out needs DIR/NAME, not '%1'").arg(out);
        return false;
    }
    const QString full = absolute(out, workingFolder);
    const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
    job.folder = slash == 0 ? QStringLiteral("/") : full.left(slash);
    job.fileName = full.mid(slash + 1);
    return true;
}

// The most threads --jobs asks for.
constexpr int kMaxJobs = 64;

// The options of the command line, as batchUsage() describes them.
struct BatchOptions {
    QCommandLineOption out{QStringLiteral("out"), QString(), QStringLiteral("DIR/NAME")};
    QCommandLineOption layout{QStringLiteral("layout"), QString(), QStringLiteral("KEY")};
    QCommandLineOption noCaptions{QStringLiteral("no-captions")};
    QCommandLineOption noExtension{QStringLiteral("no-extension")};
    QCommandLineOption rename{QStringLiteral("rename")};
    QCommandLineOption title{QStringLiteral("title"), QString(), QStringLiteral("T")};
    QCommandLineOption subject{QStringLiteral("subject"), QString(), QStringLiteral("S")};
    QCommandLineOption author{QStringLiteral("author"), QString(), QStringLiteral("A")};
    QCommandLineOption comment{QStringLiteral("comment"), QString(), QStringLiteral("C")};
    QCommandLineOption list{QStringLiteral("list"), QString(), QStringLiteral("FILE")};
    QCommandLineOption sort{QStringLiteral("sort"), QString(), QStringLiteral("ORDER")};
    QCommandLineOption dateNotes{QStringLiteral("date-notes")};
    QCommandLineOption jobs{QStringLiteral("jobs"), QString(), QStringLiteral("N")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({out, layout, noCaptions, noExtension, rename, title, subject, author,
                           comment, list, sort, dateNotes, jobs, help});
    }
};

// The job's options from a parsed command line; false with `error` set when --out or
// --layout is missing or wrong.
bool readJob(const QCommandLineParser& parser, const BatchOptions& options,
             const QString& workingFolder, BatchArguments& a) {
    if (!parser.isSet(options.out)) {
        a.error = QStringLiteral("--out DIR/NAME is required");
        return false;
    }
    if (!readTarget(parser.value(options.out), workingFolder, a.job, a.error)) {
        return false;
    }
    if (!parser.isSet(options.layout)) {
        a.error = QStringLiteral("--layout KEY is required");
        return false;
    }
    const QString key = parser.value(options.layout);
    const std::optional<LayoutChoice> choice = layoutFromKey(key);
    if (!choice) {
        a.error = QStringLiteral("unknown layout '%1'").arg(key);
        return false;
    }
    a.job.layout = *choice;
    a.job.withCaptions = !parser.isSet(options.noCaptions);
    a.job.captionsKeepExtension = !parser.isSet(options.noExtension);
    a.job.renameToDisplayNames = a.rename = parser.isSet(options.rename);
    a.job.title = parser.value(options.title);
    a.job.subject = parser.value(options.subject);
    a.job.author = parser.value(options.author);
    a.job.comment = parser.value(options.comment);
    a.job.fillEmptyNotesWithDateTaken = parser.isSet(options.dateNotes);
    if (parser.isSet(options.jobs)) {
        bool ok = false;
        const QString value = parser.value(options.jobs);
        a.jobs = value.toInt(&ok);
        if (!ok || a.jobs < 1 || a.jobs > kMaxJobs) {
            a.error = QStringLiteral("--jobs needs a whole number from 1 to %1, not '%2'")
                          .arg(kMaxJobs)
                          .arg(value);
            return false;
        }
    }
    return true;
}

// The rows: those of the list file (--list), then the IMAGE arguments, sorted by --sort.
bool readRows(const QCommandLineParser& parser, const BatchOptions& options,
              const QString& workingFolder, BatchArguments& a) {
    std::optional<RowOrder> order;
    if (parser.isSet(options.sort)) {
        const QString value = parser.value(options.sort);
        if (value == QLatin1String("name")) {
            order = RowOrder::Name;
        } else if (value == QLatin1String("date")) {
            order = RowOrder::DateTaken;
        } else {
            a.error = QStringLiteral("--sort takes name or date, not '%1'").arg(value);
            return false;
        }
    }
    if (parser.isSet(options.list)) {
        try {
            a.rows = readPhotoList(absolute(parser.value(options.list), workingFolder));
        } catch (const Error& e) {
            a.error = e.description();
            return false;
        }
    }
    for (const QString& arg : parser.positionalArguments()) {
        BatchRow row;
        if (!parseImage(arg, workingFolder, row, a.error)) {
            if (a.error.isEmpty()) {
                a.error = QStringLiteral("empty image argument");
            }
            return false;
        }
        a.rows.push_back(row);
    }
    if (a.rows.empty()) {
        a.error = QStringLiteral("no image given");
        return false;
    }
    if (order) {
        sortRows(a.rows, *order, false);
    }
    return true;
}

} // namespace

BatchArguments parseBatchArguments(const QStringList& arguments, const QString& workingFolder) {
    BatchArguments a;
    const BatchOptions options;
    QCommandLineParser parser;
    // "-h" is the one short option; any other argument starting with one dash is an
    // unknown option, not a file (files come after "--" then).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    options.addTo(parser);
    const bool parsed = parser.parse(QStringList{QStringLiteral("tavolin-batch")} + arguments);
    if (parser.isSet(options.help)) {
        a.help = true;
        return a;
    }
    if (!parsed) {
        a.error = parser.errorText();
        return a;
    }
    if (readJob(parser, options, workingFolder, a)) {
        readRows(parser, options, workingFolder, a);
    }
    return a;
}

QString batchUsage() {
    return QStringLiteral(
               "Usage: tavolin-batch --out DIR/NAME[.xls] --layout KEY [options] "
               "[IMAGE[:ROTATION[:DISPLAYNAME]]...]\n"
               "\n"
               "Writes a print-ready Excel 97-2003 workbook (.xls) with the images laid out on A4\n"
               "pages, exactly as the Tavolin window does, from the template ExcelBook.org in\n"
               "the folder of this program.\n"
               "\n"
               "  --out DIR/NAME    target workbook; \".xls\" is appended unless NAME ends in "
               ".xls\n"
               "                    (any letter case). An existing workbook is replaced only by\n"
               "                    a finished one; while the run writes, a lock file\n"
               "                    \".~lock.NAME#\" beside it marks it in use.\n"
               "  --layout KEY      page layout, one of:\n"
               "                      notes-2, notes-3, notes-4    2/3/4 pictures a page, notes "
               "beside\n"
               "                      notes-square-4, notes-square-6  2x2/3x2, notes under each\n"
               "                      plain-2, plain-3             2/3 pictures a page, no notes\n"
               "                      plain-square-4, plain-square-6, plain-square-8\n"
               "  --no-captions     no caption under or beside the pictures\n"
               "  --no-extension    captions without the file extension\n"
               "  --rename          rename each image file whose DISPLAYNAME differs to that name\n"
               "                    (keeping its extension) once the workbook is complete;\n"
               "                    never replaces an existing file\n"
               "  --title T         title: document property and the head of every page\n"
               "  --subject S       subject document property\n"
               "  --author A        author document property\n"
               "  --comment C       comments document property\n"
               "  --list FILE       the photo list FILE as the Tavolin window saves it: UTF-8,\n"
               "                    tab-separated, first line exactly \"path<TAB>rotation<TAB>"
               "name<TAB>note\";\n"
               "                    rotation 0, 90, 180 or 270; name empty for the file's own\n"
               "                    name; \\n, \\t and \\\\ in name and note for a line "
               "break, a tab\n"
               "                    and a backslash. Its rows come before the IMAGE arguments.\n"
               "  --sort ORDER      sort all rows: name (file names in natural order, IMG_2\n"
               "                    before IMG_10) or date (EXIF date taken, else the file's\n"
               "                    time; oldest first)\n"
               "  --date-notes      in the notes layouts, a photo without a note gets its date\n"
               "                    taken (\"撮影日 2026/12/07 10:15\")\n"
               "  --jobs N          threads that prepare the pictures (default: one per core);\n"
               "                    the workbook is the same whatever N\n"
               "  --help            this text\n"
               "\n") +
           QStringLiteral("IMAGE is a picture file: %1.\n").arg(pictureTypeNames()) +
           QStringLiteral(
               "ROTATION turns it clockwise by 0, 90, 180 or 270 degrees (default 0), after the\n"
               "picture's own orientation (EXIF, the TIFF tag, HEIF's turns) has set it upright.\n"
               "DISPLAYNAME is its caption (default: the file's own name).\n"
               "\n"
               "Progress (\"12/100\") and messages go to stderr.\n"
               "Exit status: 0 written; 1 the run failed (the message says why); 2 bad usage;\n"
               "3 refused before anything was read (for example more pictures than one sheet\n"
               "holds); 4 stopped by SIGINT or SIGTERM. Whenever the status is not 0, the target\n"
               "and every image file are as they were before the run.\n");
}

} // namespace tav
