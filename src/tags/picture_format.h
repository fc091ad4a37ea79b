#pragma once
// The two picture formats the program decodes and writes (JPEG and PNG), and how a
// picture's MIME type names them. Everything that tells formats apart uses this one enum:
// the tag model, the decoders, the picture operations and the exports.
#include <string>
#include <string_view>

namespace quorvane {

enum class PictureFormat { None, Jpeg, Png };

// The format a stored MIME type names: lower-cased, a leading "image/" removed, "jpeg"
// counted as "jpg"; then "jpg" is JPEG, "png" is PNG and anything else None (no preview).
PictureFormat PictureFormatFromMime(std::string_view mime);

// "jpg" or "png"; empty for None.
std::string_view PictureExtension(PictureFormat format);

// The MIME type new pictures are written with: "image/" and the extension, so
// "image/jpg" or "image/png"; empty for None.
std::string PictureMimeType(PictureFormat format);

}  // namespace quorvane
