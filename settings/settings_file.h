// The settings file Tavolin.ini beside the program: the target folder and workbook
// name, the four document texts and the folder the file browser showed, kept from one
// run of the program to the next. Read once at start-up, written once at shutdown.
#pragma once

#include <QString>

namespace tav {

class ProfileStrings;

// The seven values of the settings file, named after their keys.
struct Settings {
    QString ExcelFolder; // target folder (LblFolderName)
    QString ExcelFile;   // workbook file name (txtExcelName)
    QString Owner;       // author (txtOwnerName)
    QString Title;       // title (txtExcelTitle)
    QString Hyodai;      // subject (txtHyoudai)
    QString Comment;     // comment (txtComment)
    QString orgPath;     // folder of the file browser (Dir1)

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
    {"ExcelFolder", &Settings::ExcelFolder},
    {"ExcelFile", &Settings::ExcelFile},
    {"Owner", &Settings::Owner},
    {"Title", &Settings::Title},
    {"Hyodai", &Settings::Hyodai},
    {"Comment", &Settings::Comment},
    {"orgPath", &Settings::orgPath},
};

// `programFolder` + "/Tavolin.ini" (one separator, also at the root "/").
QString settingsFilePath(const QString& programFolder);

// Every key read in order from one reading of the settings file; a missing value reads
// "". A file that is no regular file reads as no file; of a file beyond the size limit
// of IniProfileStrings only the first lines are read.
Settings LoadSettings(ProfileStrings& profiles, const QString& settingsFile);

// Every key written in order, in one replacement of the file. Failures are silent: an
// unwritable file, one that is no regular file, or one beyond the size limit stays as
// it was.
void SaveSettings(ProfileStrings& profiles, const QString& settingsFile, const Settings& settings);

} // namespace tav
