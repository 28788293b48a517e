#include "generate/photo_list_file.h"

#include "generate/captions.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/rotation_code.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringDecoder>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {
namespace {

const QString kHeader = QStringLiteral("path\trotation\tname\tnote");
constexpr qint64 kMaxListBytes = qint64(64) << 20;

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c != QLatin1Char('\r')) // a line break is one \n, however it was typed
            out += c;
    }
    return out;
}

// The reverse of escaped(); a backslash before any other character stays as it is.
QString unescaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == QLatin1Char('\\') &&
            (next == QLatin1Char('\\') || next == QLatin1Char('n') || next == QLatin1Char('t'))) {
            out += next == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                   : next == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                                              : next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// The degrees of a row's rotation code, read as the run reads it; no turn for a text the
// run would not turn by.
QString degreesOf(const QString& code) {
    const RotationCode rotation = RotationCode::parseLenient(code).value_or(RotationCode());
    return QString::number(rotation.quarterTurns() * 90);
}

// One line of the file: the bytes between line ends, without a CR before the LF.
QByteArray lineAt(const QByteArray& content, qsizetype from, qsizetype& next) {
    qsizetype end = content.indexOf('\n', from);
    next = end < 0 ? content.size() : end + 1;
    if (end < 0)
        end = content.size();
    if (end > from && content[end - 1] == '\r')
        --end;
    return content.mid(from, end - from);
}

} // namespace

QByteArray photoListText(const std::vector<PhotoRow>& rows) {
    QString text = kHeader + QLatin1Char('\n');
    for (const PhotoRow& row : rows) {
        if (row.path.contains(QLatin1Char('\t')) || row.path.contains(QLatin1Char('\n')) ||
            row.path.contains(QLatin1Char('\r')))
            throw Error(err::BadFileName, errorText(ErrorText::ListPathUnwritable, row.path));
        const QString name = row.displayName == kSameAsFileName ? QString() : row.displayName;
        text += row.path + QLatin1Char('\t') + degreesOf(row.rotation) + QLatin1Char('\t') +
                escaped(name) + QLatin1Char('\t') + escaped(row.note) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

std::vector<PhotoRow> parsePhotoList(const QByteArray& content, const QString& listPath) {
    const QDir base = QFileInfo(listPath).absoluteDir();
    std::vector<PhotoRow> rows;
    qsizetype pos = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (int lineNumber = 1; pos < content.size() || lineNumber == 1; ++lineNumber) {
        qsizetype next = 0;
        const QByteArray bytes = lineAt(content, pos, next);
        pos = next;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = decoder.decode(bytes);
        if (decoder.hasError()) {
            if (lineNumber == 1)
                throw Error(err::InvalidPicture, errorText(ErrorText::ListNotAList, listPath));
            throw Error(err::InvalidPicture,
                        errorText(ErrorText::ListNotUtf8, listPath, QString::number(lineNumber)));
        }
        if (lineNumber == 1) {
            if (line != kHeader)
                throw Error(err::InvalidPicture, errorText(ErrorText::ListNotAList, listPath));
            continue;
        }
        if (line.isEmpty())
            continue;
        // A spreadsheet may leave out the empty fields at the end of a row.
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 4 || fields[0].isEmpty())
            throw Error(err::InvalidPicture,
                        errorText(ErrorText::ListBadFields, listPath, QString::number(lineNumber)));
        const QString degrees = fields.value(1);
        const std::optional<RotationCode> rotation =
            degrees.isEmpty() ? RotationCode() : RotationCode::fromDegrees(degrees);
        if (!rotation)
            throw Error(err::InvalidPicture, errorText(ErrorText::ListBadRotation, listPath,
                                                       QString::number(lineNumber), degrees));
        PhotoRow row;
        row.path = QDir::cleanPath(base.absoluteFilePath(fields[0]));
        row.rotation = rotation->text();
        const QString name = unescaped(fields.value(2));
        row.displayName = name.isEmpty() ? kSameAsFileName : name;
        row.note = unescaped(fields.value(3));
        row.missing = !QFileInfo(row.path).isFile();
        rows.push_back(std::move(row));
    }
    return rows;
}

void writePhotoList(FileWriter& writer, const QString& listPath,
                    const std::vector<PhotoRow>& rows) {
    writeFileAtomically(writer, listPath, photoListText(rows));
}

std::vector<PhotoRow> readPhotoList(const QString& listPath) {
    // Opened without blocking, so that a fifo of that name is refused at once.
    const int fd =
        ::open(QFile::encodeName(listPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throwErrno(errno, FileOperation::Open, listPath);
    const auto closer = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throwErrno(errno, FileOperation::Read, listPath);
    if (!S_ISREG(st.st_mode))
        throw Error(err::PathFileAccess, errorText(ErrorText::NotAFile, listPath));
    if (st.st_size > kMaxListBytes)
        throw Error(err::PathFileAccess, failedOperation(FileOperation::Read, listPath,
                                                         errorText(ErrorText::FileTooLarge)));
    // A file that shrinks while it is read ends where its data ends.
    QByteArray content;
    if (!readUpTo(fd, qsizetype(st.st_size), content))
        throwErrno(errno, FileOperation::Read, listPath);
    return parsePhotoList(content, listPath);
}

} // namespace tav
