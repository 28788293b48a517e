#include "platform/xls/clipboard.h"

#include "platform/error.h"
#include "platform/xls/object_model.h"

namespace tav::xls {

Clipboard::Clipboard() = default;
Clipboard::~Clipboard() = default;

void Clipboard::clear() {
    content_.reset();
}

void Clipboard::setImage(const QImage& image, QSizeF sizePoints, const QByteArray& jpeg) {
    if (image.isNull()) {
        throw Error(err::InvalidPicture, errorText(ErrorText::NoPictureOnClipboard));
    }
    auto content = std::make_unique<Content>();
    content->picture = pictureOfPixels(image);
    content->picture->imageJpeg = jpeg;
    if (sizePoints.isEmpty()) {
        const double dpr = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
        sizePoints =
            QSizeF(image.width() / dpr * PointsPerPixel, image.height() / dpr * PointsPerPixel);
    }
    content->size = sizePoints;
    content_ = std::move(content);
}

bool Clipboard::hasPicture() const {
    return content_ && content_->picture;
}

void Clipboard::setContent(std::unique_ptr<Content> content) {
    content_ = std::move(content);
}

} // namespace tav::xls
