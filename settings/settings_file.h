// The settings file Tavolin.ini beside the program: the target folder and workbook
// name, the four document texts, the folder the file browser showed and whether empty
// notes print the date taken, kept from one run of the program to the next. Read once at start-up,
// written once at shutdown.
#pragma once

#include <QString>

namespace tav {

class ProfileStrings;

// The values of the settings file; SettingsKeys names the key of each.
struct Settings {
    QString targetFolder;  // the folder the workbook goes to (LblFolderName)
    QString workbookName;  // the workbook's file name (txtExcelName)
    QString author;        // document author (txtOwnerName)
    QString title;         // document title (txtExcelTitle)
    QString subject;       // document subject (txtHyoudai)
    QString comment;       // document comment (txtComment)
    QString browserFolder; // the folder the file browser showed (Dir1)
    QString dateNotes;     // "1": empty notes print the date taken (ChkDateNote); a file
                           // written before the key existed reads "" (off)

    bool operator==(const Settings&) const = default;
};

inline constexpr char SettingsFileName[] = "Tavolin.ini";
inline constexpr char SettingsSection[] = "File";

// The keys in the order in which they are read and written, with their fields.
struct SettingsKey {
    const char* name;
    QString Settings::*field;
};
inline constexpr SettingsKey SettingsKeys[] = {
    {"ExcelFolder", &Settings::targetFolder},
    {"ExcelFile", &Settings::workbookName},
    {"Owner", &Settings::author},
    {"Title", &Settings::title},
    {"Hyodai", &Settings::subject},
    {"Comment", &Settings::comment},
    {"orgPath", &Settings::browserFolder},
    {"DateNote", &Settings::dateNotes},
};

// The file is stored in the Japanese ANSI code page (CP932), so a settings file of the
// Windows version reads unchanged. A value that does not come back from its key as it
// was ("Café", the WAVE DASH "〜" that CP932 turns into a FULLWIDTH TILDE, emoji, blanks
// at its ends) is stored under its key as the format makes it, and exactly under the
// key's name followed by ".utf8", as escaped UTF-8. Readers that do not know the second key ignore
// it; this program takes the exact value as long as the first key still holds what CP932 made of it
// (an older program that rewrote the first key leaves an exact value that no longer applies).
inline constexpr char ExactValueSuffix[] = ".utf8";
// The plain keys are read into a buffer of this many bytes, the terminating zero included:
// at most 1022 bytes (CP932) of a value come back, cut on a character boundary.
inline constexpr int ValueBufferBytes = 1023;
// The exact keys are read whole (the whole file is at most this size); the value they
// give is cut like the one of the plain key.
inline constexpr int ExactValueBufferBytes = 1024 * 1024 + 1;

// The name of the key that holds `key`'s exact value.
QString exactValueKey(const char* key);
// True when `value` reads back from its key unchanged (CP932 holds it, and no blanks at
// its ends, enclosing quotes or line breaks are lost).
bool storedExactly(const QString& value);
// The exact value as it is written (percent-escaped UTF-8) and read back.
QString encodeExactValue(const QString& value);
QString decodeExactValue(const QString& stored);
// The value a key reads as: `exact` (cut to the read buffer as `stored` was) when it
// is what became `stored` in the file, else `stored` itself.
QString exactValueFor(const QString& stored, const QString& exact);

// `programFolder` + "/Tavolin.ini" (one separator, also at the root "/").
QString settingsFilePath(const QString& programFolder);

// Every key read in order from one reading of the settings file; a missing value reads
// "". A file that is no regular file reads as no file; of a file beyond the size limit
// of IniProfileStrings only the first lines are read.
Settings loadSettings(ProfileStrings& profiles, const QString& settingsFile);

// Every key written in order, in one replacement of the file. Failures are silent: an
// unwritable file, one that is no regular file, or one beyond the size limit stays as
// it was.
void saveSettings(ProfileStrings& profiles, const QString& settingsFile, const Settings& settings);

} // namespace tav
