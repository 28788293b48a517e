#include "platform/image/metafile.h"

#include "platform/error.h"
#include "platform/image/decode_support.h"

#include <QPainter>
#include <QSvgRenderer>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

namespace tav::metafile {
namespace {

std::mutex& conversionMutex() {
    static std::mutex m;
    return m;
}

using picture::invalid;
using picture::le32;

std::int32_t le32s(const QByteArray& d, qsizetype offset) {
    return static_cast<std::int32_t>(le32(d, offset));
}

// A sane frame: positive and not beyond a few metres of paper.
QSize checkedLogical(double widthPx, double heightPx, const QString& name) {
    constexpr double kMaxSide = 20000.0; // about 5.3 m at 96 dpi
    if (!(widthPx >= 0.5 && heightPx >= 0.5 && widthPx <= kMaxSide && heightPx <= kMaxSide))
        invalid(name, ErrorText::MetafileDamaged,
                QStringLiteral("the metafile declares an unusable frame (%1 x %2 px)")
                    .arg(widthPx)
                    .arg(heightPx));
    return QSize(std::max(1, int(std::lround(widthPx))), std::max(1, int(std::lround(heightPx))));
}

// ---- wmf -------------------------------------------------------------------------

int appendToByteArray(char* text, void* context) {
    static_cast<QByteArray*>(context)->append(text);
    return 0;
}

int resetByteArray(void* context) {
    static_cast<QByteArray*>(context)->clear();
    return 0;
}

// The header fields libwmf sizes its buffers by, checked against the file before libwmf
// sees it. A wmf file is an optional 22-byte placeable header, then the 18-byte
// standard header; its mtMaxRecord (at byte 12 of the standard header) is the size of
// the largest record in 16-bit words, and libwmf allocates a buffer of that size for
// the records' parameters. No record can be larger than the file that holds it, so a
// larger value is damage or an attempt to make the program allocate gigabytes.
void checkWmfHeader(const QByteArray& data, const QString& name) {
    constexpr qsizetype kPlaceableHeader = 22;
    constexpr qsizetype kStandardHeader = 18;
    const qsizetype start = data.size() >= 4 && le32(data, 0) == 0x9AC6CDD7 ? kPlaceableHeader : 0;
    if (data.size() < start + kStandardHeader)
        invalid(name, ErrorText::MetafileDamaged, QStringLiteral("the wmf header is cut short"));
    const std::uint64_t maxRecordBytes = std::uint64_t(le32(data, start + 12)) * 2;
    if (maxRecordBytes > std::uint64_t(data.size() - start))
        invalid(name, ErrorText::MetafileDamaged,
                QStringLiteral("the wmf header declares a record of %1 bytes in a file of %2 "
                               "bytes")
                    .arg(maxRecordBytes)
                    .arg(data.size()));
}

struct WmfApiDeleter {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};

// One libwmf session over a memory buffer. The library's instance is owned from its
// creation on, so it is freed on every path, a refusal in the constructor included.
class WmfSession {
public:
    WmfSession(const QByteArray& data, const QString& name) : data_(data), name_(name) {
        checkWmfHeader(data_, name_);
        wmfAPI_Options options;
        std::memset(&options, 0, sizeof options);
        // libwmf needs a device layer even to scan; the SVG device is the one we play to.
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        options.function = wmf_svg_function;
        wmfAPI* created = nullptr;
        const wmf_error_t status = wmf_api_create(&created, flags, &options);
        api_.reset(created);
        if (status != wmf_E_None || api_ == nullptr)
            fail(ErrorText::PictureReaderUnavailable,
                 QStringLiteral("the wmf library could not start"));
        // libwmf reads through a non-const pointer but does not write to the buffer.
        auto* bytes = reinterpret_cast<unsigned char*>(const_cast<char*>(data_.constData()));
        if (wmf_mem_open(api(), bytes, long(data_.size())) != wmf_E_None)
            fail(ErrorText::MetafileDamaged, QStringLiteral("not a readable wmf file"));
        if (wmf_scan(api(), 0, &bbox_) != wmf_E_None)
            fail(ErrorText::MetafileDamaged, QStringLiteral("the wmf records are damaged"));
        if (!(bbox_.BR.x > bbox_.TL.x) || !(bbox_.BR.y > bbox_.TL.y))
            fail(ErrorText::MetafileNotDrawable, QStringLiteral("the wmf file draws nothing"));
        unsigned int w = 0, h = 0;
        if (wmf_display_size(api(), &w, &h, 96.0, 96.0) != wmf_E_None)
            fail(ErrorText::MetafileNotDrawable, QStringLiteral("the wmf file has no usable size"));
        logical_ = checkedLogical(w, h, name);
    }

    QSize logicalSize() const { return logical_; }

    QByteArray playToSvg() {
        QByteArray svg;
        wmfStream stream{&svg, appendToByteArray, resetByteArray};
        wmf_svg_t* device = WMF_SVG_GetData(api());
        device->out = &stream;
        device->bbox = bbox_;
        device->Description = nullptr;
        device->width = unsigned(logical_.width());
        device->height = unsigned(logical_.height());
        device->flags |= WMF_SVG_INLINE_IMAGES;
        const wmf_error_t result = wmf_play(api(), 0, &bbox_);
        device->out = nullptr;
        if (result != wmf_E_None)
            fail(ErrorText::MetafileNotDrawable,
                 QStringLiteral("the wmf records could not be played"));
        if (svg.isEmpty())
            fail(ErrorText::MetafileNotDrawable,
                 QStringLiteral("the wmf file produced no drawing"));
        return svg;
    }

private:
    [[noreturn]] void fail(ErrorText cause, const QString& detail) {
        invalid(name_, cause, detail);
    }
    wmfAPI* api() const { return api_.get(); }

    const QByteArray& data_;
    QString name_;
    std::unique_ptr<wmfAPI, WmfApiDeleter> api_;
    wmfD_Rect bbox_{};
    QSize logical_;
};

// ---- emf -------------------------------------------------------------------------

// Checks the EMR_HEADER record and returns the frame in pixels at 96 dpi.
QSize emfFrame(const QByteArray& data, const QString& name) {
    // EMR_HEADER: type 1, size, bounds (4 x int32, device units), frame (4 x int32,
    // 0.01 mm), signature " EMF", version, total bytes, records, handles, ...
    if (data.size() < 88 || le32(data, 0) != 1 || le32(data, 40) != 0x464D4520)
        invalid(name, ErrorText::MetafileDamaged, QStringLiteral("not an emf file"));
    const std::uint32_t headerSize = le32(data, 4);
    if (headerSize < 88 || headerSize > std::uint32_t(data.size()) || headerSize % 4 != 0)
        invalid(name, ErrorText::MetafileDamaged, QStringLiteral("the emf header is damaged"));
    const double left = le32s(data, 24), top = le32s(data, 28);
    const double right = le32s(data, 32), bottom = le32s(data, 36);
    // The frame is inclusive, in hundredths of a millimetre.
    const double widthPx = (right - left) / 2540.0 * 96.0;
    const double heightPx = (bottom - top) / 2540.0 * 96.0;
    if (widthPx > 0.5 && heightPx > 0.5)
        return checkedLogical(widthPx, heightPx, name);
    // Some writers leave the frame empty: fall back to the bounds in device pixels.
    const double bw = double(le32s(data, 16)) - le32s(data, 8) + 1;
    const double bh = double(le32s(data, 20)) - le32s(data, 12) + 1;
    return checkedLogical(bw, bh, name);
}

// Walks the record chain once: every record must lie inside the file and the chain must
// end with EMR_EOF, which keeps damaged files away from the converter.
void checkEmfRecords(const QByteArray& data, const QString& name) {
    qsizetype pos = 0;
    const qsizetype size = data.size();
    while (pos <= size - 8) {
        const std::uint32_t type = le32(data, pos);
        const std::uint32_t length = le32(data, pos + 4);
        if (length < 8 || length % 4 != 0 || length > std::uint64_t(size - pos))
            invalid(name, ErrorText::MetafileDamaged,
                    QStringLiteral("the emf record at byte %1 is damaged").arg(pos));
        if (type == 14) // EMR_EOF
            return;
        pos += length;
    }
    invalid(name, ErrorText::MetafileDamaged, QStringLiteral("the emf file is truncated"));
}

// ---- drawing -------------------------------------------------------------------

// Qt reports a problem of a drawing each time it meets it: an emf whose thousands of
// texts have font size 0 writes thousands of identical warnings to stderr. While one
// picture is drawn, the drawing thread's messages are counted instead, and one line
// reports them when the drawing ends. Other threads' messages pass through as they come.
// Qt's message handler is one per process, so pictures are drawn one at a time.
class DrawingMessages {
public:
    explicit DrawingMessages(const QString& name)
        : lock_(mutex()), name_(name), thread_(std::this_thread::get_id()) {
        active_ = this;
        previous_ = qInstallMessageHandler(&DrawingMessages::handle);
    }

    ~DrawingMessages() {
        qInstallMessageHandler(previous_);
        active_ = nullptr;
        if (count_ == 0)
            return;
        constexpr qsizetype kShown = 160;
        const QString first =
            first_.size() > kShown ? first_.left(kShown) + QStringLiteral("...") : first_;
        const QString line = QStringLiteral("%1: %2 warning(s) while drawing the picture; the "
                                            "first: %3")
                                 .arg(name_)
                                 .arg(count_)
                                 .arg(first);
        forward(QtWarningMsg, QMessageLogContext(), line);
    }

    DrawingMessages(const DrawingMessages&) = delete;
    DrawingMessages& operator=(const DrawingMessages&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        DrawingMessages* self = active_;
        if (self == nullptr || type == QtFatalMsg || std::this_thread::get_id() != self->thread_) {
            forward(type, context, message);
            return;
        }
        if (self->count_++ == 0)
            self->first_ = message;
    }

    static void forward(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (previous_ != nullptr)
            previous_(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }

    std::lock_guard<std::mutex> lock_;
    QString name_;
    std::thread::id thread_;
    int count_ = 0;
    QString first_;

    static inline std::atomic<DrawingMessages*> active_{nullptr};
    static inline std::atomic<QtMessageHandler> previous_{nullptr};
};

} // namespace

QSize wmfLogicalSize(const QByteArray& data, const QString& name) {
    std::lock_guard lock(conversionMutex());
    WmfSession session(data, name);
    return session.logicalSize();
}

SvgPicture wmfToSvg(const QByteArray& data, const QString& name) {
    std::lock_guard lock(conversionMutex());
    WmfSession session(data, name);
    return {session.playToSvg(), session.logicalSize()};
}

QSize emfLogicalSize(const QByteArray& data, const QString& name) {
    return emfFrame(data, name);
}

SvgPicture emfToSvg(const QByteArray& data, const QString& name) {
    const QSize logical = emfFrame(data, name);
    checkEmfRecords(data, name);
    std::lock_guard lock(conversionMutex());
    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    char nameSpace[] = ""; // a prefix makes the converter write unbalanced tags
    options.nameSpace = nameSpace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = logical.width();
    options.imgHeight = logical.height();
    char* out = nullptr;
    std::size_t outLength = 0;
    QByteArray copy = data; // the converter takes a non-const buffer
    const int ok = emf2svg(copy.data(), std::size_t(copy.size()), &out, &outLength, &options);
    QByteArray svg;
    if (out != nullptr) {
        svg = QByteArray(out, qsizetype(outLength));
        std::free(out);
    }
    if (!ok || svg.isEmpty())
        invalid(name, ErrorText::MetafileNotDrawable,
                QStringLiteral("the emf records could not be converted"));
    return {svg, logical};
}

QImage rasterise(const QByteArray& svg, QSize pixels, const QString& name) {
    const DrawingMessages messages(name);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        invalid(name, ErrorText::MetafileNotDrawable,
                QStringLiteral("the converted drawing could not be read"));
    QImage image = picture::newImage(pixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    renderer.render(&painter, QRectF(0, 0, pixels.width(), pixels.height()));
    painter.end();
    return image;
}

} // namespace tav::metafile
