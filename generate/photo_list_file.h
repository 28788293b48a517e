// The photo list saved as a file, to be opened again later or by tavolin-batch --list:
// UTF-8 text, one row a line, fields separated by tabs, readable in a spreadsheet. The
// first line is exactly
//
//     path	rotation	name	note
//
// path: the photo's file (a relative path is taken from the list file's folder);
// rotation: 0, 90, 180 or 270 (clockwise degrees); name: the display name, empty for the
// file's own name; note: the note. In name and note a line break is written \n, a tab \t
// and a backslash \\. Lines may end in CR LF (a spreadsheet's export); a byte order mark
// before the header is passed over; empty lines are skipped.
#pragma once

#include "generate/photo_list.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace tav {

class FileWriter;

// The file's content for these rows. Throws tav::Error (ListPathUnwritable) for a photo
// path holding a tab or a line break, which the format cannot keep.
QByteArray photoListText(const std::vector<PhotoRow>& rows);

// The rows of a list file's content; a row whose photo is not a file is marked missing,
// not dropped. `listPath` names the file in messages and anchors relative paths. Throws
// tav::Error with a Japanese description naming the file and the line for content that is
// not such a list: a different first line, a bad rotation, too many fields, text that is
// not UTF-8.
std::vector<PhotoRow> parsePhotoList(const QByteArray& content, const QString& listPath);

// Writes the list atomically through `writer` (the target is replaced only by a complete
// file). Throws tav::Error (file errors, ListPathUnwritable).
void writePhotoList(FileWriter& writer, const QString& listPath, const std::vector<PhotoRow>& rows);

// Reads and parses a list file. Throws tav::Error: the file errors, a file beyond 64 MB,
// and parsePhotoList's.
std::vector<PhotoRow> readPhotoList(const QString& listPath);

} // namespace tav
