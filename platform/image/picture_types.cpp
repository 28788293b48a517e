#include "platform/image/picture_types.h"

namespace tav {
namespace {

constexpr const char* kBmp[] = {"bmp"};
constexpr const char* kJpg[] = {"jpg"};
constexpr const char* kGif[] = {"gif"};
constexpr const char* kWmf[] = {"wmf"};
constexpr const char* kEmf[] = {"emf"};
constexpr const char* kPng[] = {"png"};
constexpr const char* kTiff[] = {"tif", "tiff"};
constexpr const char* kWebp[] = {"webp"};
// HEIF pictures from phones (.heic), other writers (.heif) and Canon cameras (.hif).
constexpr const char* kHeic[] = {"heic", "heif", "hif"};
constexpr const char* kAvif[] = {"avif"};

constexpr PictureFileType kTypes[] = {
    {"bmp", kBmp}, {"jpg", kJpg},   {"gif", kGif},   {"wmf", kWmf},   {"emf", kEmf},
    {"png", kPng}, {"tiff", kTiff}, {"webp", kWebp}, {"heic", kHeic}, {"avif", kAvif},
};

} // namespace

std::span<const PictureFileType> pictureFileTypes() {
    return kTypes;
}

QString pictureFilePattern() {
    QStringList entries;
    for (const PictureFileType& type : kTypes)
        for (const char* suffix : type.suffix)
            entries << QStringLiteral("*.") + QLatin1String(suffix);
    return entries.join(QLatin1Char(';'));
}

QString pictureTypeNames() {
    QStringList names;
    for (const PictureFileType& type : kTypes)
        names << QLatin1String(type.name);
    return names.join(QStringLiteral(", "));
}

QString pictureExtension(const QString& fileName) {
    for (const PictureFileType& type : kTypes) {
        for (const char* suffix : type.suffix) {
            const QString ending = QLatin1Char('.') + QLatin1String(suffix);
            if (fileName.size() > ending.size() && fileName.endsWith(ending, Qt::CaseInsensitive))
                return fileName.right(ending.size());
        }
    }
    return {};
}

} // namespace tav
