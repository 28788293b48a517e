// The rows of a photo list as the window and the batch command hold them, and their order:
// natural file-name order and the date each photo was taken.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tav {

struct PhotoRow {
    QString path;
    QString rotation;     // a rotation code as the lists hold it: "  0", " 90", "180", "270"
    QString displayName;  // "ファイル名と同じ" (kSameAsFileName) or a name
    QString note;         // any text, line breaks included
    bool missing = false; // the photo was not there when the list was opened
};

// Compares two texts the way people count: runs of digits by their value ("IMG_2" before
// "IMG_10"), letters without regard to case. Texts that differ only in leading zeros or in
// case are ordered by the exact text, so that the order is total and repeatable.
// Negative, zero or positive, like QString::compare.
int naturalCompare(const QString& a, const QString& b);

enum class RowOrder { Name, DateTaken };

// Sorts the rows, keeping the order of rows that compare equal. Name: the file names in
// natural order (then the whole paths). DateTaken: dateTakenOrFileTime() of each photo,
// ties by name; rows without any date (a missing photo) come last in both directions.
// `reversed` turns the order around (newest first, names from Z to A).
void sortRows(std::vector<PhotoRow>& rows, RowOrder order, bool reversed);

// The picture's EXIF DateTimeOriginal (JPEG, PNG, WebP, TIFF, HEIF), read from its headers.
std::optional<QDateTime> dateTaken(const QString& path);
// dateTaken(), else the file's modification time; an invalid QDateTime when the file is
// not there.
QDateTime dateTakenOrFileTime(const QString& path);

// The note that stands in for an empty one when notes are filled with the date taken:
// "撮影日 2026/12/07 10:15" from dateTakenOrFileTime(); empty when there is no date.
QString dateTakenNote(const QString& path);

} // namespace tav
