#pragma once
// Decoding embedded JPEG and PNG pictures from memory into RGBA pixels for previews
// and thumbnails, and the geometry of the preview box. The bytes come from tags and
// are untrusted: every failure is an error text, never a crash, an exit or a print.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tags/picture_format.h"

namespace quorvane {

struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // RGBA8888, row-major, stride width * 4

    bool operator==(const RgbaImage&) const = default;
};

// Caps against decompression bombs: a few hundred bytes can claim a picture of
// gigabytes. The defaults allow 8192 x 8192 (256 MiB of pixels) or 16384 x 4096.
struct DecodeLimits {
    uint32_t maxSide = 16384;
    uint64_t maxPixels = uint64_t{64} * 1024 * 1024;
};

// Either a decoded image or the reason there is none.
class DecodeResult {
public:
    static DecodeResult Success(RgbaImage image);
    static DecodeResult Failure(std::string error);

    bool Ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const RgbaImage& Image() const { return image_; }  // empty unless Ok()
    RgbaImage TakeImage() { return std::move(image_); }
    const std::string& Error() const { return error_; }  // empty when Ok()

private:
    bool ok_ = false;
    RgbaImage image_;
    std::string error_;
};

// Empty when a picture of this size may be decoded, else the reason it may not:
// no pixels, or more than the limits allow.
std::string CheckPictureSize(uint64_t width, uint64_t height, const DecodeLimits& limits = {});

// Grayscale, colour, CMYK (Adobe's inverted CMYK too), baseline or progressive.
// Truncated data is an error; other corrupt-data warnings are tolerated.
DecodeResult DecodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});
// Every colour type and bit depth, palette and tRNS transparency, interlaced or not.
// Truncated data (a missing IEND included) is an error.
DecodeResult DecodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});
// PictureFormat::None is an error: there is no decoder for it.
DecodeResult DecodePicture(PictureFormat format, std::span<const uint8_t> bytes,
                           const DecodeLimits& limits = {});

// How many JPEG and PNG decodes this process has started: lets tests and benchmarks
// check that listing or loading pictures decodes none of them.
uint64_t PictureDecodeCount();

// Where a picture is drawn inside a preview box: never enlarged, aspect kept,
// fractions cut off, centred (free space halved, rounded down, left and top).
struct PreviewRect {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const PreviewRect&) const = default;
};
// A side that the cut would make 0 is drawn 1 pixel wide, so a thin picture still
// shows. An empty picture or box gives an empty rectangle at the box's centre.
PreviewRect FitInto(uint32_t srcWidth, uint32_t srcHeight, uint32_t boxWidth, uint32_t boxHeight);

}  // namespace quorvane
