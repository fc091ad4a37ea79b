// DecodeJpeg or DecodePng over arbitrary bytes (an even first byte chooses JPEG, an odd
// one PNG): a decoded picture must be whole and within the limits, and fit its preview.
#include <cstdlib>

#include "library/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size == 0) return 0;
    // Smaller caps than the program's keep every run quick; the code paths are the same.
    const DecodeLimits limits{2048, 1024 * 1024};
    const PictureFormat format = data[0] % 2 ? PictureFormat::Png : PictureFormat::Jpeg;
    const DecodeResult result = DecodePicture(format, {data + 1, size - 1}, limits);
    if (!result) {
        if (result.Error().empty()) std::abort();
        return 0;
    }
    const RgbaImage& image = result.Image();
    if (!CheckPictureSize(image.width, image.height, limits).empty()) std::abort();
    if (image.pixels.size() != size_t{image.width} * image.height * 4) std::abort();
    const PreviewRect box = FitInto(image.width, image.height, 115, 115);
    if (box.width == 0 || box.height == 0 || box.width > image.width || box.height > image.height ||
        box.left + box.width > 115 || box.top + box.height > 115) {
        std::abort();
    }
    return 0;
}
