#include "library/picture_decoder.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <utility>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo is needed: the decoder asks libjpeg for RGBA rows"
#endif

// Both libraries report errors by a longjmp out of their own frames. Each decode is split
// in two: an outer function owns everything with a destructor (the library's state and the
// output) and catches bad_alloc, and an inner Read function holds the setjmp. The inner frame
// and the callbacks have only trivially destructible locals, so a jump skips no destructor.

namespace quorvane {
namespace {

std::atomic<uint64_t> decodesStarted{0};

// A normal progressive JPEG has about ten scans; thousands of tiny ones make a small file
// cost minutes.
constexpr int kMaxJpegScans = 500;

struct JpegErrors {
    jpeg_error_mgr mgr;  // first member: libjpeg's err pointer is also a pointer to this
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

struct JpegSession {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    JpegSession() = default;
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;
    // Safe on a struct that was never created: libjpeg checks its memory manager for null.
    ~JpegSession() { jpeg_destroy_decompress(&cinfo); }
};

JpegErrors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    JpegErrors& errors = ErrorsOf(cinfo);
    if (errors.truncated) {
        // The source ran dry and libjpeg went on with a fake end marker; whatever it
        // complains about next is a consequence of that.
        std::snprintf(errors.message, sizeof errors.message, "data are truncated");
    } else if (errors.message[0] == '\0') {
        (*cinfo->err->format_message)(cinfo, errors.message);
    }
    std::longjmp(errors.jump, 1);
}

// Warnings (level -1) and traces are never printed. Running out of data is only a warning
// to libjpeg, which pads the rest of the picture with grey; here it is an error.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ++cinfo->err->num_warnings;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorsOf(cinfo).truncated = true;
}

void JpegScanLimit(j_common_ptr cinfo) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxJpegScans) {
        JpegErrors& errors = ErrorsOf(cinfo);
        std::snprintf(errors.message, sizeof errors.message, "more than %d scans", kMaxJpegScans);
        (*cinfo->err->error_exit)(cinfo);
    }
}

// libjpeg hands CMYK through as stored. Adobe's writers (Photoshop, and ImageMagick after
// them) store every channel inverted and mark the file with an APP14 "Adobe" segment.
void CmykToRgba(std::vector<uint8_t>& pixels, bool adobeInverted) {
    for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
        unsigned ink[4];
        for (int c = 0; c < 4; ++c) ink[c] = adobeInverted ? pixels[i + c] : 255u - pixels[i + c];
        // Here ink[] holds 255 minus the ink: the light each channel lets through.
        for (int c = 0; c < 3; ++c) pixels[i + c] = static_cast<uint8_t>((ink[c] * ink[3] + 127) / 255);
        pixels[i + 3] = 255;
    }
}

bool ReadJpeg(JpegSession& s, std::span<const uint8_t> bytes, const DecodeLimits& limits,
              RgbaImage& out, std::string& sizeError) {
    s.cinfo.err = jpeg_std_error(&s.errors.mgr);
    s.errors.mgr.error_exit = JpegErrorExit;
    s.errors.mgr.emit_message = JpegEmitMessage;
    if (setjmp(s.errors.jump)) return false;
    jpeg_create_decompress(&s.cinfo);
    s.progress.progress_monitor = JpegScanLimit;
    s.cinfo.progress = &s.progress;
    jpeg_mem_src(&s.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    sizeError = CheckPictureSize(s.cinfo.image_width, s.cinfo.image_height, limits);
    if (!sizeError.empty()) return false;
    switch (s.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        s.cinfo.out_color_space = JCS_EXT_RGBA;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        s.cinfo.out_color_space = JCS_CMYK;
        break;
    default:
        std::snprintf(s.errors.message, sizeof s.errors.message, "unsupported colour space (%d components)",
                      s.cinfo.num_components);
        return false;
    }
    jpeg_start_decompress(&s.cinfo);
    if (s.cinfo.output_components != 4 || s.cinfo.output_width != s.cinfo.image_width ||
        s.cinfo.output_height != s.cinfo.image_height) {
        std::snprintf(s.errors.message, sizeof s.errors.message, "unexpected output layout");
        return false;
    }
    const size_t stride = size_t{s.cinfo.output_width} * 4;
    out.pixels.resize(stride * s.cinfo.output_height);
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + stride * s.cinfo.output_scanline;
        jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
    if (s.errors.truncated) {
        std::snprintf(s.errors.message, sizeof s.errors.message, "data are truncated");
        return false;
    }
    if (s.cinfo.out_color_space == JCS_CMYK) CmykToRgba(out.pixels, s.cinfo.saw_Adobe_marker);
    out.width = s.cinfo.output_width;
    out.height = s.cinfo.output_height;
    return true;
}

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
    char message[256];
};

struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngSource source{};
    PngSession() = default;
    PngSession(const PngSession&) = delete;
    PngSession& operator=(const PngSession&) = delete;
    ~PngSession() {
        if (png) png_destroy_read_struct(&png, &info, nullptr);
    }
};

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngReadBytes(png_structp png, png_bytep out, size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->pos) png_error(png, "data are truncated");
    std::copy_n(source->data + source->pos, length, out);
    source->pos += length;
}

bool ReadPng(PngSession& s, const DecodeLimits& limits, RgbaImage& out, std::vector<png_bytep>& rows,
             std::string& sizeError) {
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.source, PngError, PngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.info) {
        std::snprintf(s.source.message, sizeof s.source.message, "out of memory");
        return false;
    }
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colorType = 0;
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, &s.source, PngReadBytes);
    png_read_info(s.png, s.info);
    png_get_IHDR(s.png, s.info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    sizeError = CheckPictureSize(width, height, limits);
    if (!sizeError.empty()) return false;

    // Everything becomes 8-bit RGBA: palettes and low bit depths expanded, tRNS made an
    // alpha channel, 16 bits scaled (not cut) to 8, grey spread to RGB, opaque alpha added.
    const bool trns = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
    if (trns) png_set_tRNS_to_alpha(s.png);
    if (depth == 16) png_set_scale_16(s.png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(s.png);
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !trns) png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    const size_t stride = size_t{width} * 4;
    if (png_get_rowbytes(s.png, s.info) != stride) {
        std::snprintf(s.source.message, sizeof s.source.message, "unexpected row layout");
        return false;
    }
    out.pixels.resize(stride * height);
    rows.resize(height);
    for (size_t y = 0; y < height; ++y) rows[y] = out.pixels.data() + y * stride;
    png_read_image(s.png, rows.data());
    png_read_end(s.png, nullptr);
    out.width = width;
    out.height = height;
    return true;
}

std::string WithPrefix(const char* format, const char* message) {
    return std::string(format) + ": " + (message[0] ? message : "unknown error");
}

}  // namespace

DecodeResult DecodeResult::Success(RgbaImage image) {
    DecodeResult result;
    result.ok_ = true;
    result.image_ = std::move(image);
    return result;
}

DecodeResult DecodeResult::Failure(std::string error) {
    DecodeResult result;
    result.error_ = error.empty() ? std::string("unknown error") : std::move(error);
    return result;
}

std::string CheckPictureSize(uint64_t width, uint64_t height, const DecodeLimits& limits) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width == 0 || height == 0) return "picture has no pixels (" + size + ")";
    if (width > limits.maxSide || height > limits.maxSide || width * height > limits.maxPixels) {
        return "picture too large (" + size + " pixels; at most " + std::to_string(limits.maxSide) +
               " a side and " + std::to_string(limits.maxPixels) + " in all)";
    }
    return {};
}

DecodeResult DecodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
    decodesStarted.fetch_add(1, std::memory_order_relaxed);
    if (bytes.empty()) return DecodeResult::Failure("JPEG: no data");
    try {
        JpegSession session;
        RgbaImage image;
        std::string sizeError;
        if (ReadJpeg(session, bytes, limits, image, sizeError)) return DecodeResult::Success(std::move(image));
        if (!sizeError.empty()) return DecodeResult::Failure("JPEG: " + sizeError);
        return DecodeResult::Failure(WithPrefix("JPEG", session.errors.message));
    } catch (const std::bad_alloc&) {
        return DecodeResult::Failure("JPEG: out of memory");
    }
}

DecodeResult DecodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
    decodesStarted.fetch_add(1, std::memory_order_relaxed);
    if (bytes.empty()) return DecodeResult::Failure("PNG: no data");
    try {
        PngSession session;
        session.source.data = bytes.data();
        session.source.size = bytes.size();
        RgbaImage image;
        std::vector<png_bytep> rows;
        std::string sizeError;
        if (ReadPng(session, limits, image, rows, sizeError)) return DecodeResult::Success(std::move(image));
        if (!sizeError.empty()) return DecodeResult::Failure("PNG: " + sizeError);
        return DecodeResult::Failure(WithPrefix("PNG", session.source.message));
    } catch (const std::bad_alloc&) {
        return DecodeResult::Failure("PNG: out of memory");
    }
}

DecodeResult DecodePicture(PictureFormat format, std::span<const uint8_t> bytes, const DecodeLimits& limits) {
    switch (format) {
        case PictureFormat::Jpeg: return DecodeJpeg(bytes, limits);
        case PictureFormat::Png: return DecodePng(bytes, limits);
        case PictureFormat::None: break;
    }
    return DecodeResult::Failure("neither JPEG nor PNG");
}

uint64_t PictureDecodeCount() { return decodesStarted.load(std::memory_order_relaxed); }

PreviewRect FitInto(uint32_t srcWidth, uint32_t srcHeight, uint32_t boxWidth, uint32_t boxHeight) {
    PreviewRect rect;
    if (srcWidth == 0 || srcHeight == 0 || boxWidth == 0 || boxHeight == 0) {
        rect.left = boxWidth / 2;
        rect.top = boxHeight / 2;
        return rect;
    }
    const uint64_t availWidth = std::min(srcWidth, boxWidth);
    const uint64_t availHeight = std::min(srcHeight, boxHeight);
    // "available height x (width / height) <= available width", without fractions.
    if (availHeight * srcWidth <= availWidth * srcHeight) {
        rect.width = static_cast<uint32_t>(availHeight * srcWidth / srcHeight);
        rect.height = static_cast<uint32_t>(availHeight);
    } else {
        rect.width = static_cast<uint32_t>(availWidth);
        rect.height = static_cast<uint32_t>(availWidth * srcHeight / srcWidth);
    }
    rect.width = std::max(rect.width, 1u);
    rect.height = std::max(rect.height, 1u);
    rect.left = (boxWidth - rect.width) / 2;
    rect.top = (boxHeight - rect.height) / 2;
    return rect;
}

}  // namespace quorvane
