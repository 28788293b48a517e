#include "platform/error.h"
#include "platform/image/picture_formats.h"

#include <libheif/heif.h>

#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace tav::picture {
namespace {

// The library's plugins are registered once and released when the program ends.
struct HeifLibrary {
    HeifLibrary() { heif_init(nullptr); }
    ~HeifLibrary() { heif_deinit(); }
    HeifLibrary(const HeifLibrary&) = delete;
    HeifLibrary& operator=(const HeifLibrary&) = delete;
};

void useLibrary() {
    static HeifLibrary library;
}

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

// libheif reads a file through these callbacks for a probe, which then touches the boxes
// that describe the pictures and skips the coded data.
struct ReaderState {
    const ByteSource* source = nullptr;
    qint64 position = 0;
    std::exception_ptr readFailure;
};

int64_t readerPosition(void* user) {
    return static_cast<ReaderState*>(user)->position;
}

int readerRead(void* data, size_t size, void* user) {
    auto& state = *static_cast<ReaderState*>(user);
    try {
        if (state.source->readAt(state.position, data, qint64(size)) != qint64(size))
            return 1;
        state.position += qint64(size);
        return 0;
    } catch (...) {
        state.readFailure = std::current_exception();
        return 1;
    }
}

int readerSeek(int64_t position, void* user) {
    auto& state = *static_cast<ReaderState*>(user);
    if (position < 0 || position > state.source->size())
        return 1;
    state.position = position;
    return 0;
}

heif_reader_grow_status readerWaitForSize(int64_t target, void* user) {
    return target > static_cast<ReaderState*>(user)->source->size()
               ? heif_reader_grow_status_size_beyond_eof
               : heif_reader_grow_status_size_reached;
}

const heif_reader kReader = {1, readerPosition, readerRead, readerSeek, readerWaitForSize};

QString messageOf(const heif_error& error) {
    return QString::fromUtf8(error.message != nullptr ? error.message : "");
}

// What the user reads for a failure of libheif: a coding the library has no decoder
// for (an AVIF picture without an AV1 decoder) is not damage.
ErrorText causeOf(const heif_error& error, ErrorText otherwise) {
    return error.code == heif_error_Unsupported_filetype ||
                   error.code == heif_error_Unsupported_feature
               ? ErrorText::PictureKindUnsupported
               : otherwise;
}

// Why a picture could not be decoded: the cause for the user, libheif's words for a
// developer.
struct DecodeFailure {
    ErrorText cause = ErrorText::PictureDataDamaged;
    QString detail;
};

Context newContext() {
    useLibrary();
    Context context(heif_context_alloc());
    if (!context)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    return context;
}

Handle primaryHandle(heif_context* context, const QString& name) {
    heif_image_handle* handle = nullptr;
    const heif_error error = heif_context_get_primary_image_handle(context, &handle);
    if (error.code != heif_error_Ok || handle == nullptr)
        invalid(name, causeOf(error, ErrorText::PictureNoImageInside), messageOf(error));
    return Handle(handle);
}

// The size of the picture as it is shown: after the container's turns and mirrors.
QSize shownSize(const heif_image_handle* handle) {
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

// Decodes a picture (the primary one or a thumbnail) to Format_RGB32, transparent parts
// over white. Nothing when libheif returns no picture of the size the file declares.
std::optional<QImage> decode(const heif_image_handle* handle, DecodeFailure* failure) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    if (!options)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    options->convert_hdr_to_8bit = 1; // 10- and 12-bit pictures come as 8-bit samples
    options->strict_decoding = 1;     // damaged coded data is an error, not a grey patch
    heif_image* raw = nullptr;
    const heif_error error = heif_decode_image(
        handle, &raw, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    const Image image(raw);
    if (error.code != heif_error_Ok || !image) {
        *failure = {causeOf(error, ErrorText::PictureDataDamaged), messageOf(error)};
        return std::nullopt;
    }
    int stride = 0;
    const std::uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const QSize decoded(heif_image_get_width(image.get(), heif_channel_interleaved),
                        heif_image_get_height(image.get(), heif_channel_interleaved));
    const QSize declared = shownSize(handle);
    // Debian 12's libheif hands over a picture that the file does not crop itself at its
    // coded size, padding included (a Canon camera's thumbnail comes as 320 x 320 for
    // 320 x 214). The padding lies right and below, so the declared size is the top-left
    // part, as long as no quarter turn has moved it.
    const bool unturned = QSize(heif_image_handle_get_ispe_width(handle),
                                heif_image_handle_get_ispe_height(handle)) == declared;
    if (pixels == nullptr || decoded.width() < declared.width() ||
        decoded.height() < declared.height() || (decoded != declared && !unturned)) {
        failure->detail = QStringLiteral("the decoded picture is %1 x %2 pixels, the file "
                                         "declares %3 x %4")
                              .arg(decoded.width())
                              .arg(decoded.height())
                              .arg(declared.width())
                              .arg(declared.height());
        return std::nullopt;
    }
    const QImage view(pixels, declared.width(), declared.height(), stride,
                      !alpha ? QImage::Format_RGB888
                      : heif_image_handle_is_premultiplied_alpha(handle) != 0
                          ? QImage::Format_RGBA8888_Premultiplied
                          : QImage::Format_RGBA8888);
    // A picture of our own (the conversion copies) before libheif's is released.
    QImage out = flattenOverWhite(view);
    if (out.isNull())
        throw Error(err::OutOfMemory,
                    errorText(ErrorText::NoMemoryForPicture, QString::number(declared.width()),
                              QString::number(declared.height())));
    return out;
}

// The smallest thumbnail that covers `need`, has the picture's shape (within 1 %) and is
// smaller than the picture, decoded; nothing when there is none.
std::optional<QImage> thumbnail(const heif_image_handle* main, QSize need) {
    const int count = heif_image_handle_get_number_of_thumbnails(main);
    if (count <= 0 || count > 64)
        return std::nullopt;
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    heif_image_handle_get_list_of_thumbnail_IDs(main, ids.data(), count);
    const QSize full = shownSize(main);
    const double aspect = double(full.width()) / full.height();
    Handle best;
    for (const heif_item_id id : ids) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_thumbnail(main, id, &raw).code != heif_error_Ok || !raw)
            continue;
        Handle candidate(raw);
        const QSize size = shownSize(candidate.get());
        if (size.width() <= 0 || size.height() <= 0 || size.width() < need.width() ||
            size.height() < need.height() || size.width() >= full.width() ||
            std::abs(double(size.width()) / size.height() - aspect) > 0.01 * aspect)
            continue;
        if (!best || size.width() < shownSize(best.get()).width())
            best = std::move(candidate);
    }
    if (!best)
        return std::nullopt;
    DecodeFailure failure;
    return decode(best.get(), &failure);
}

} // namespace

bool isHeif(const QByteArray& head) {
    // An ISO base media file: a "ftyp" box first, whose brands name a HEIF picture.
    if (head.size() < 16 || head.mid(4, 4) != "ftyp")
        return false;
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                          "mif1", "mif2", "msf1", "avif", "avis"};
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    const qsizetype boxSize =
        std::min<qsizetype>(head.size(), qsizetype(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
    for (qsizetype at = 8; at + 4 <= boxSize; at += 4) {
        if (at == 12)
            continue; // the minor version, not a brand
        for (const char* brand : kBrands)
            if (std::memcmp(p + at, brand, 4) == 0)
                return true;
    }
    return false;
}

// Reads the container's boxes through `state`, which the context goes on reading from
// while it lives. A failure of the source itself (a file that cannot be read) is thrown as
// it is; libheif's own verdict is returned.
heif_error readStructure(const Context& context, ReaderState& state) {
    const heif_error error =
        heif_context_read_from_reader(context.get(), &kReader, &state, nullptr);
    if (state.readFailure)
        std::rethrow_exception(state.readFailure);
    return error;
}

PictureInfo probeHeif(const ByteSource& source, const QString& name) {
    const Context context = newContext();
    ReaderState state{&source, 0, {}}; // read from again while the context lives
    const heif_error error = readStructure(context, state);
    if (error.code != heif_error_Ok)
        invalid(name, causeOf(error, ErrorText::PictureHeaderDamaged), messageOf(error));
    const Handle handle = primaryHandle(context.get(), name);
    const QSize size = shownSize(handle.get());
    checkPixelCount(size.width(), size.height(), source.size(), name);
    return rasterInfo(PictureFormat::Heif, size);
}

QByteArray heifExifBlock(const ByteSource& source, const QString& name) {
    const Context context = newContext();
    ReaderState state{&source, 0, {}};
    const heif_error error = readStructure(context, state);
    if (error.code != heif_error_Ok)
        return QByteArray();
    const Handle handle = primaryHandle(context.get(), name);
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &id, 1) != 1)
        return QByteArray();
    const size_t size = heif_image_handle_get_metadata_size(handle.get(), id);
    if (size < 4 || size > (1 << 20))
        return QByteArray();
    QByteArray block(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_metadata(handle.get(), id, block.data()).code != heif_error_Ok)
        return QByteArray();
    if (state.readFailure)
        std::rethrow_exception(state.readFailure);
    // The block starts with the offset of the TIFF structure behind these four bytes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    const qint64 skip = 4 + (qint64(bytes[0]) << 24 | qint64(bytes[1]) << 16 |
                             qint64(bytes[2]) << 8 | qint64(bytes[3]));
    return skip < block.size() ? block.mid(skip) : QByteArray();
}

LoadedPicture loadHeif(const QByteArray& data, const QString& name, const LoadOptions& options) {
    const Context context = newContext();
    const heif_error error = heif_context_read_from_memory_without_copy(
        context.get(), data.constData(), size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok)
        invalid(name, causeOf(error, ErrorText::PictureHeaderDamaged), messageOf(error));
    const Handle handle = primaryHandle(context.get(), name);
    const QSize size = shownSize(handle.get());
    checkPixelCount(size.width(), size.height(), data.size(), name);

    const QSize need = options.minimumSize;
    if (options.allowEmbeddedThumbnail && (need.width() > 0 || need.height() > 0)) {
        if (std::optional<QImage> small = thumbnail(handle.get(), need))
            return rasterPicture(PictureFormat::Heif, std::move(*small), size);
    }
    DecodeFailure failure;
    std::optional<QImage> image = decode(handle.get(), &failure);
    if (!image)
        invalid(name, failure.cause, failure.detail);
    return rasterPicture(PictureFormat::Heif, std::move(*image), size);
}

} // namespace tav::picture
