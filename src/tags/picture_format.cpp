#include "tags/picture_format.h"

namespace quorvane {

PictureFormat PictureFormatFromMime(std::string_view mime) {
    std::string lowered;
    lowered.reserve(mime.size());
    for (char c : mime) lowered.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    std::string_view type = lowered;
    if (type.starts_with("image/")) type.remove_prefix(6);
    if (type == "jpg" || type == "jpeg") return PictureFormat::Jpeg;
    if (type == "png") return PictureFormat::Png;
    return PictureFormat::None;
}

std::string_view PictureExtension(PictureFormat format) {
    switch (format) {
        case PictureFormat::Jpeg: return "jpg";
        case PictureFormat::Png: return "png";
        case PictureFormat::None: break;
    }
    return {};
}

std::string PictureMimeType(PictureFormat format) {
    const std::string_view extension = PictureExtension(format);
    return extension.empty() ? std::string() : "image/" + std::string(extension);
}

}  // namespace quorvane
