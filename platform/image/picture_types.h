// The picture files the program offers: the one list that the file list's pattern, the
// caption over it, the captions' extension rule and the help texts are made from.
//
// A type here is what the user looks for by name; the loader tells the content apart by
// itself (a JPEG named .png still loads as a JPEG), so this list only decides which file
// names the program offers and how their extension is written.
//
// Usage:
//     tav::pictureFilePattern();        // "*.bmp;*.jpg;...;*.avif"
//     tav::pictureTypeNames();          // "bmp, jpg, gif, wmf, emf, png, tiff, webp, heic, avif"
//     tav::pictureExtension("a/IMG_0001.HEIC");   // ".HEIC"
#pragma once

#include <QString>
#include <QStringList>

#include <span>

namespace tav {

struct PictureFileType {
    const char* name;                    // as the user reads it: "jpg", "tiff", "heic"
    std::span<const char* const> suffix; // the file name endings, lower case, without the dot
};

// Every type, in the order the program lists them: the five classic types first.
std::span<const PictureFileType> pictureFileTypes();

// The file-list pattern: "*." and each ending, joined by ";".
QString pictureFilePattern();

// The type names joined by ", " ("bmp, jpg, ..."), for captions and help texts.
QString pictureTypeNames();

// The extension of a picture file name: the dot and the text after it when the name
// ends in one of the types' endings (any letter case), as written in the name; empty
// otherwise. A name that is nothing but the extension (".jpg") has none.
QString pictureExtension(const QString& fileName);

} // namespace tav
