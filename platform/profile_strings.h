// Profile strings: named values in an INI-style text file of `[section]` headers and
// `key=value` lines, with the classic read/write semantics (section and key matched
// ignoring letter case, values trimmed on read, file and section created on write,
// every other line kept as it was).
//
// The file is stored in the Japanese ANSI code page (CP932), so a settings file
// written by the Windows version of the program reads unchanged and vice versa.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tav {

class ProfileStrings {
public:
    virtual ~ProfileStrings() = default;

    // The value of `key` in `section` of `file`, or `fallback` when the file, the
    // section or the key is missing. The value is cut to at most `bufferBytes` - 1
    // bytes in CP932, on a character boundary (like a fixed read buffer that keeps
    // its terminating zero).
    virtual QString read(const QString& file, const QString& section, const QString& key,
                         const QString& fallback, int bufferBytes) = 0;

    // Sets `key` in `section` of `file` to `value`, creating the file and the section
    // when missing. False when the file could not be written; the old file is then
    // left exactly as it was.
    virtual bool write(const QString& file, const QString& section, const QString& key,
                       const QString& value) = 0;
};

// The implementation on real files. Writes go to a temporary file in the same folder
// that then replaces the old one, so a crash or a full disk never leaves a
// half-written settings file behind.
class IniProfileStrings final : public ProfileStrings {
public:
    QString read(const QString& file, const QString& section, const QString& key,
                 const QString& fallback, int bufferBytes) override;
    bool write(const QString& file, const QString& section, const QString& key,
               const QString& value) override;
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

// The trimmed raw value of `key` in `section`, or nothing when either is missing.
std::optional<QByteArray> findValue(const QByteArray& file, const QByteArray& section,
                                    const QByteArray& key);

// The file with `key` in `section` set to `value`: an existing key line is replaced in
// place, a new key is added after the last line of its section, a new section is
// appended at the end. Line breaks follow the file's own (CRLF for a new file).
QByteArray setValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                    const QByteArray& value);

} // namespace ini

// Replaces `path` with `bytes` through a temporary file in the same folder and a
// rename. False (and the old file untouched, no temporary left behind) on failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace tav
