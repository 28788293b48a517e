// Profile strings: named values in an INI-style text file of `[section]` headers and
// `key=value` lines, with the classic read/write semantics (section and key matched
// ignoring letter case, values trimmed on read, file and section created on write,
// every other line kept as it was).
//
// The file is stored in the Japanese ANSI code page (CP932), so a settings file
// written by the Windows version of the program reads unchanged and vice versa.
#pragma once

#include "platform/atomic_file.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tav {

// One key of a section and its value.
struct ProfileValue {
    QString key;
    QString value;
};

class ProfileStrings {
public:
    virtual ~ProfileStrings() = default;

    // Reads the keys of `values` from `section` of `file`, all from one reading of the
    // file. Each value found replaces the entry's value; an entry whose file, section or
    // key is missing keeps its value (its default). A value read is cut to at most
    // `bufferBytes` - 1 bytes in CP932, on a character boundary (like a fixed read
    // buffer that keeps its terminating zero).
    virtual void readValues(const QString& file, const QString& section,
                            std::vector<ProfileValue>& values, int bufferBytes) = 0;

    // Sets every key of `values` in `section` of `file`, in their order, creating the
    // file and the section when missing, in one replacement of the file. False when the
    // file could not be written; the old file is then left exactly as it was.
    virtual bool writeValues(const QString& file, const QString& section,
                             const std::vector<ProfileValue>& values) = 0;

    // The same for one key: its value, or `fallback` when it is missing.
    QString read(const QString& file, const QString& section, const QString& key,
                 const QString& fallback, int bufferBytes) {
        std::vector<ProfileValue> values{{key, fallback}};
        readValues(file, section, values, bufferBytes);
        return values.front().value;
    }
    bool write(const QString& file, const QString& section, const QString& key,
               const QString& value) {
        return writeValues(file, section, {{key, value}});
    }
};

// The implementation on real files.
//
// Only a regular file is read (a fifo, a device or a folder of that name reads as no
// file, without blocking), and only its first kMaxProfileFileBytes bytes: a settings
// file is a few kilobytes, and the seven values the program writes stay well below the
// limit (its text fields hold at most 32,767 characters each). Of a larger file the
// lines beyond the limit are ignored, and the file is never rewritten, since that would
// mean either loading all of it or dropping the lines that were not read: the values of
// the session are then not saved (one warning on stderr says so), and the file stays
// exactly as it was. A file that exists but is not a regular file, or cannot be read,
// is not replaced either.
//
// Writes go through `writer` (platform/atomic_file.h) to a temporary file in the same
// folder that then replaces the old one, so a crash or a full disk never leaves a
// half-written settings file behind.
class IniProfileStrings final : public ProfileStrings {
public:
    static constexpr qsizetype kMaxProfileFileBytes = 1024 * 1024;

    explicit IniProfileStrings(FileWriter& writer = localFileWriter()) : writer_(writer) {}

    void readValues(const QString& file, const QString& section, std::vector<ProfileValue>& values,
                    int bufferBytes) override;
    bool writeValues(const QString& file, const QString& section,
                     const std::vector<ProfileValue>& values) override;

private:
    FileWriter& writer_;
};

// The text-level operations behind IniProfileStrings, on the raw bytes of a file.
namespace ini {

// CP932 conversion. Characters CP932 cannot represent become '?'; byte sequences that
// are not valid CP932 become U+FFFD, one per offending byte.
QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);

// The first `maxBytes` bytes of a CP932 text, shortened by one more byte when the cut
// would leave the lead byte of a double-byte character behind.
QByteArray cutCp932(const QByteArray& bytes, int maxBytes);

// What `value` reads back as from a file after it was written: line breaks as spaces,
// through CP932, blanks trimmed, enclosing quotes dropped, cut to `bufferBytes` - 1.
QString readBack(const QString& value, int bufferBytes);

// The trimmed raw values of `keys` in `section`, in the order of `keys`, from one pass
// over the file: nothing for a key (or all keys) when it (or the section) is missing.
std::vector<std::optional<QByteArray>> findValues(const QByteArray& file, const QByteArray& section,
                                                  const std::vector<QByteArray>& keys);

// The file with `key` in `section` set to `value`: an existing key line is replaced in
// place, a new key is added after the last line of its section, a new section is
// appended at the end. Line breaks follow the file's own (CRLF for a new file).
QByteArray setValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                    const QByteArray& value);

} // namespace ini

} // namespace tav
