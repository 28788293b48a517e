// The descriptions of failures as the user reads them (after "内容:" in the generic
// failure message, in the picture lines of a failed run, in the report of a workbook
// that cannot be shown). Every layer builds its descriptions from the one table in
// error_texts.cpp, so the wording stays consistent and Japanese; technical details for
// a developer (record offsets, a decoder's own message) go into tav::Error's detail.
#pragma once

#include <QString>

namespace tav {

// What was being done with a file or folder when the system refused it. Each names
// its subject, "%1" being the path: "「%1」を開けません".
enum class FileOperation {
    Open,
    Read,
    Save,
    Rename,
    Lock,
    ReadFolder,
    ReadDetails, // size, date and kind of a file
    InsertPicture,
};

// The table's texts; "%1", "%2", … are filled in by errorText().
enum class ErrorText {
    // Folders and volumes.
    FolderMissing,       // %1 folder
    NotAFolder,          // %1 path
    FolderNotEnterable,  // %1 folder
    FolderNotWritable,   // %1 folder, %2 cause
    ReadOnlyMedium,      // %1 folder
    VolumeNotMounted,    // %1 path
    NotAnAbsoluteFolder, // %1 path
    // Files.
    NotAFile,            // %1 path
    FileTooLarge,        // (no arguments)
    FileReadOnly,        // %1 path
    OpenElsewhere,       // %1 path
    OpenElsewhereLock,   // %1 path, %2 lock file
    TemporaryFileClosed, // (no arguments)
    RenameNameInvalid,   // %1 new name
    RenameNameTaken,     // %1 new name
    RenamedTwice,        // %1 other file, %2 its new name
    // Photo list files.
    ListNotAList,       // %1 path
    ListNotUtf8,        // %1 path, %2 line number
    ListBadRotation,    // %1 path, %2 line number, %3 the text found
    ListBadFields,      // %1 path, %2 line number
    ListPathUnwritable, // %1 photo path
    // Pictures: PictureUnreadable names the file, one of the causes below follows it.
    PictureUnreadable,        // %1 path, %2 cause
    PictureNotAFile,          // cause
    PictureFileTooLarge,      // cause
    PictureFileEmpty,         // cause
    PictureUnknownType,       // cause
    PictureNoPixels,          // cause
    PictureTooManyPixels,     // cause: %1 width, %2 height, %3 most pixels
    PicturePixelsBeyondFile,  // cause: %1 width, %2 height
    PictureHeaderDamaged,     // cause
    PictureDataDamaged,       // cause
    PictureKindUnsupported,   // cause
    PictureNoImageInside,     // cause
    MetafileDamaged,          // cause
    MetafileNotDrawable,      // cause
    PictureReaderUnavailable, // cause
    NoMemoryForPicture,       // %1 width, %2 height
    NoMemory,                 // (no arguments)
    NoPictureOnClipboard,     // (no arguments)
    JpegEncoderUnavailable,   // (no arguments)
    JpegEncodingFailed,       // (no arguments)
    // Workbooks and the spreadsheet engine.
    WorkbookUnreadable,       // %1 path, %2 cause
    WorkbookContainerDamaged, // cause
    WorkbookRecordsDamaged,   // cause
    WorkbookDrawingsDamaged,  // cause
    WorkbookContentDamaged,   // cause
    EngineRefused,            // (no arguments)
    AddressRefused,           // %1 address
    NoViewerForWorkbook,      // %1 path
    // The run.
    RowRemovedDuringRun, // %1 row number
    UnknownSystemError,  // %1 errno value
    InternalError,       // (no arguments); the last of the table
};

// The text of `text` with its placeholders filled in by `args` (QStrings, in order).
QString errorTextPattern(ErrorText text);
template <typename... Args> QString errorText(ErrorText text, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return errorTextPattern(text);
    } else {
        return errorTextPattern(text).arg(args...);
    }
}

// "「/a/b.xls」を保存できません：<cause>": the operation on `path` and why it failed.
QString failedOperation(FileOperation operation, const QString& path, const QString& cause);

// Why the system refused, for an errno value: "書き込む権限がありません" for EACCES.
// Values the table does not know read as UnknownSystemError with the number.
QString osErrorText(int errnoValue);

} // namespace tav
