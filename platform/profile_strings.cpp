#include "platform/profile_strings.h"

#include "platform/error.h"
#include "platform/file_ops.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tav {

namespace {

// One iconv conversion descriptor, closed on scope exit.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; false when iconv stopped at byte `*consumed`.
    bool convert(const char* in, size_t inLength, QByteArray& out, size_t* consumed) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in);
        size_t inLeft = inLength;
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                *consumed = inLength - inLeft;
                return false;
            }
        }
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        *consumed = inLength;
        return true;
    }

private:
    iconv_t cd_;
};

bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

QByteArray trimmedBlank(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.mid(begin, end - begin);
}

bool isAscii(const QByteArray& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    // Names are nearly always ASCII: compare them without decoding.
    if (isAscii(a) && isAscii(b)) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
    return ini::fromCp932(a).compare(ini::fromCp932(b), Qt::CaseInsensitive) == 0;
}

// The value part of a `key=value` line as it reads: blanks trimmed, and without the
// quotes when it is enclosed in matching ones.
QByteArray valueAsRead(const QByteArray& raw) {
    QByteArray value = trimmedBlank(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
    }
    return value;
}

// A value as it is written: a line break inside it would start a new line of the
// file, so it is written as a space.
QString valueAsWritten(QString value) {
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

// One line of a file with its own line terminator (empty for a last line without one).
struct Line {
    QByteArray body;
    QByteArray eol;
};

std::vector<Line> splitLines(const QByteArray& file) {
    std::vector<Line> lines;
    qsizetype pos = 0;
    while (pos < file.size()) {
        const qsizetype nl = file.indexOf('\n', pos);
        if (nl < 0) {
            lines.push_back({file.mid(pos), QByteArray()});
            break;
        }
        qsizetype bodyEnd = nl;
        if (bodyEnd > pos && file[bodyEnd - 1] == '\r') {
            --bodyEnd;
        }
        lines.push_back({file.mid(pos, bodyEnd - pos), file.mid(bodyEnd, nl + 1 - bodyEnd)});
        pos = nl + 1;
    }
    return lines;
}

// The section name of a `[name]` line, or nothing for any other line.
std::optional<QByteArray> sectionName(const QByteArray& body) {
    const QByteArray t = trimmedBlank(body);
    if (!t.startsWith('[')) {
        return std::nullopt;
    }
    // Search the closing bracket in decoded text: ']' can be the second byte of a
    // double-byte character.
    const QString decoded = ini::fromCp932(t.mid(1));
    const qsizetype close = decoded.indexOf(QLatin1Char(']'));
    const QString name = close < 0 ? decoded : decoded.left(close);
    return ini::toCp932(name.trimmed());
}

// Key of a `key=value` line ('=' is never the second byte of a CP932 character).
std::optional<QByteArray> keyOf(const QByteArray& body) {
    const qsizetype eq = body.indexOf('=');
    if (eq < 0) {
        return std::nullopt;
    }
    return trimmedBlank(body.left(eq));
}

struct SectionRange {
    size_t header;
    size_t end; // one past the section's last line
};

std::optional<SectionRange> findSection(const std::vector<Line>& lines, const QByteArray& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].body);
        if (name && sameName(*name, section)) {
            size_t end = i + 1;
            while (end < lines.size() && !sectionName(lines[end].body)) {
                ++end;
            }
            return SectionRange{i, end};
        }
    }
    return std::nullopt;
}

} // namespace

namespace ini {

QByteArray toCp932(const QString& text) {
    Converter conv("CP932", "UTF-8");
    QByteArray out;
    if (!conv.valid()) {
        return text.toLatin1();
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length = 2;
        }
        const QByteArray utf8 = text.mid(i, length).toUtf8();
        QByteArray encoded;
        size_t consumed = 0;
        if (conv.convert(utf8.constData(), static_cast<size_t>(utf8.size()), encoded, &consumed) &&
            !encoded.isEmpty()) {
            out += encoded;
        } else {
            out += '?';
        }
        i += length - 1;
    }
    return out;
}

QString fromCp932(const QByteArray& bytes) {
    Converter conv("UTF-8", "CP932");
    if (!conv.valid()) {
        return QString::fromLatin1(bytes);
    }
    QByteArray utf8;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        size_t consumed = 0;
        const bool complete = conv.convert(
            bytes.constData() + pos, static_cast<size_t>(bytes.size() - pos), utf8, &consumed);
        pos += static_cast<qsizetype>(consumed);
        if (complete) {
            break;
        }
        utf8 += "\xEF\xBF\xBD"; // U+FFFD for the offending byte
        ++pos;
    }
    return QString::fromUtf8(utf8);
}

QByteArray cutCp932(const QByteArray& bytes, int maxBytes) {
    if (maxBytes <= 0) {
        return QByteArray();
    }
    if (bytes.size() <= maxBytes) {
        return bytes;
    }
    // Walk whole characters so that a trail byte is never mistaken for a lead byte.
    qsizetype pos = 0;
    while (pos < maxBytes) {
        const qsizetype width = isLeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
        if (pos + width > maxBytes) {
            break;
        }
        pos += width;
    }
    return bytes.left(pos);
}

std::vector<std::optional<QByteArray>> findValues(const QByteArray& file, const QByteArray& section,
                                                  const std::vector<QByteArray>& keys) {
    std::vector<std::optional<QByteArray>> values(keys.size());
    const std::vector<Line> lines = splitLines(file);
    const auto range = findSection(lines, section);
    if (!range) {
        return values;
    }
    size_t found = 0;
    for (size_t i = range->header + 1; i < range->end && found < keys.size(); ++i) {
        const auto lineKey = keyOf(lines[i].body);
        if (!lineKey) {
            continue;
        }
        for (size_t k = 0; k < keys.size(); ++k) {
            // The first line of a key counts.
            if (values[k] || !sameName(*lineKey, keys[k])) {
                continue;
            }
            const QByteArray& body = lines[i].body;
            values[k] = valueAsRead(body.mid(body.indexOf('=') + 1));
            ++found;
        }
    }
    return values;
}

QString readBack(const QString& value, int bufferBytes) {
    const QByteArray stored = valueAsRead(toCp932(valueAsWritten(value)));
    return fromCp932(cutCp932(stored, bufferBytes - 1));
}

QByteArray setValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                    const QByteArray& value) {
    std::vector<Line> lines = splitLines(file);
    const QByteArray eol =
        (file.isEmpty() || file.contains("\r\n")) ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray keyLine = key + '=' + value;
    const auto range = findSection(lines, section);
    if (!range) {
        if (!lines.empty() && lines.back().eol.isEmpty()) {
            lines.back().eol = eol;
        }
        lines.push_back({'[' + section + ']', eol});
        lines.push_back({keyLine, eol});
    } else {
        size_t lastContent = range->header;
        bool replaced = false;
        for (size_t i = range->header + 1; i < range->end; ++i) {
            const auto lineKey = keyOf(lines[i].body);
            if (lineKey && sameName(*lineKey, key)) {
                lines[i].body = keyLine;
                replaced = true;
                break;
            }
            if (!trimmedBlank(lines[i].body).isEmpty()) {
                lastContent = i;
            }
        }
        if (!replaced) {
            if (lines[lastContent].eol.isEmpty()) {
                lines[lastContent].eol = eol;
            }
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1),
                         Line{keyLine, eol});
        }
    }
    QByteArray out;
    for (const Line& line : lines) {
        out += line.body;
        out += line.eol;
    }
    return out;
}

} // namespace ini

namespace {

// What became of reading a profile file.
struct ProfileFile {
    enum class State {
        Missing, // no such file
        Read,    // a regular file, read whole
        Partial, // a regular file larger than the limit: its first lines were read
        Refused, // not a regular file, or unreadable
    };
    State state = State::Missing;
    QByteArray bytes;
};

// Reads at most `limit` bytes of a regular file. The file is opened without blocking, so
// a fifo of that name returns at once (and is refused, like a device or a folder).
ProfileFile readProfileFile(const QString& path, qsizetype limit) {
    ProfileFile result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.state = errno == ENOENT ? ProfileFile::State::Missing : ProfileFile::State::Refused;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.state = ProfileFile::State::Refused;
        return result;
    }
    // One byte beyond the limit tells a file of exactly `limit` bytes from a larger one.
    QByteArray bytes;
    const bool read = readUpTo(fd, limit + 1, bytes);
    ::close(fd);
    if (!read) {
        result.state = ProfileFile::State::Refused;
        return result;
    }
    if (bytes.size() > limit) {
        // Keep whole lines only: a line cut at the limit would read as a shorter value.
        const qsizetype lastBreak = bytes.lastIndexOf('\n', limit - 1);
        bytes.truncate(lastBreak < 0 ? 0 : lastBreak + 1);
        result.state = ProfileFile::State::Partial;
    } else {
        result.state = ProfileFile::State::Read;
    }
    result.bytes = std::move(bytes);
    return result;
}

} // namespace

void IniProfileStrings::readValues(const QString& file, const QString& section,
                                   std::vector<ProfileValue>& values, int bufferBytes) {
    const ProfileFile contents = readProfileFile(file, kMaxProfileFileBytes);
    if (contents.bytes.isEmpty()) {
        return;
    }
    std::vector<QByteArray> keys;
    keys.reserve(values.size());
    for (const ProfileValue& entry : values) {
        keys.push_back(ini::toCp932(entry.key));
    }
    const auto found = ini::findValues(contents.bytes, ini::toCp932(section), keys);
    for (size_t i = 0; i < values.size(); ++i) {
        if (found[i]) {
            values[i].value = ini::fromCp932(ini::cutCp932(*found[i], bufferBytes - 1));
        }
    }
}

bool IniProfileStrings::writeValues(const QString& file, const QString& section,
                                    const std::vector<ProfileValue>& values) {
    const ProfileFile old = readProfileFile(file, kMaxProfileFileBytes);
    if (old.state == ProfileFile::State::Partial || old.state == ProfileFile::State::Refused) {
        // Rewriting would lose the lines that were not read, or replace something that is
        // not a settings file: leave it exactly as it is.
        qWarning("%s: not a readable regular file of at most %lld bytes; left unchanged, "
                 "the settings are not saved",
                 qPrintable(file), static_cast<long long>(kMaxProfileFileBytes));
        return false;
    }
    const QByteArray sectionName = ini::toCp932(section);
    QByteArray updated = old.bytes;
    for (const ProfileValue& entry : values) {
        updated = ini::setValue(updated, sectionName, ini::toCp932(entry.key),
                                ini::toCp932(valueAsWritten(entry.value)));
    }
    if (updated == old.bytes && old.state == ProfileFile::State::Read) {
        return true;
    }
    try {
        writeFileAtomically(writer_, file, updated);
    } catch (const Error&) {
        return false; // the writer has removed its temporary file; the old file stands
    }
    return true;
}

} // namespace tav
