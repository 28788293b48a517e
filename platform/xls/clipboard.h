// The engine's own clipboard (Application::clipboard).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <memory>

namespace tav::xls {

// The engine's own clipboard. It carries pictures between the program and the
// engine; the desktop's clipboard is never touched.
class Clipboard {
public:
    Clipboard();
    ~Clipboard();
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    void clear();
    // Puts a bitmap on the clipboard. `sizePoints` is the picture's natural size in
    // points; empty means the pixel size at 96 dpi (pixels × 0.75). Pass it when the
    // image holds fewer (or more) pixels than its natural size, e.g. a photo decoded
    // at a reduced scale. `jpeg`, when given, is encodeJpeg(image, JpegQuality) made
    // beforehand (on another thread): a picture pasted from it and stored at the
    // image's own pixel size keeps these bytes instead of being encoded again. A null
    // image throws 481.
    void setImage(const QImage& image, QSizeF sizePoints = {}, const QByteArray& jpeg = {});
    bool hasPicture() const;

    // Engine internals: what is on the clipboard.
    struct Content;
    const Content* content() const { return content_.get(); }
    void setContent(std::unique_ptr<Content> content);

private:
    std::unique_ptr<Content> content_;
};

} // namespace tav::xls
