#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/resource.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string_view>

#include "library/decode_job.h"
#include "library/picture_decoder.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using Rgba = std::array<int, 4>;
constexpr Rgba kYellow{255, 204, 0, 255}, kBlue{51, 102, 153, 255}, kGrey{102, 102, 102, 255},
    kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kClear{0, 0, 0, 0};

// Made by ImageMagick once per run: `convert` with the blank-separated `args` and the
// output `out`, whose extension or prefix ("PNG8:x") names the format.
const Bytes& Made(const std::string& args, const std::string& out, std::vector<std::string> first = {}) {
    static test::TempDir dir;
    static std::map<std::string, Bytes> cache;
    std::istringstream words(args);
    first.insert(first.begin(), "convert");
    for (std::string word; words >> word;) first.push_back(word);
    std::string key = out;
    for (const auto& word : first) key += "|" + word;
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    const size_t colon = out.find(':') + 1;
    const auto path = dir / (std::to_string(cache.size()) + out.substr(out.find('.')));
    first.push_back(out.substr(0, colon) + path.string());
    const auto run = test::RunCommand(first);
    EXPECT_EQ(run.status, 0) << run.err;
    return cache[key] = test::ReadFileBytes(path);
}
// 10 x 6: the left half (x 0-4) in `fill` over `background`.
const Bytes& Halves(const std::string& background, const std::string& fill, const std::string& args,
                    const std::string& out = "x.png") {
    return Made(args, out, {"-size", "10x6", "xc:" + background, "-fill", fill, "-draw", "rectangle 0,0 4,5"});
}
const Bytes& Gradient(const std::string& args, const std::string& out) {
    return Made("-size 64x32 gradient:red-blue " + args, out);
}

void ExpectPixel(const RgbaImage& image, uint32_t x, uint32_t y, Rgba want, int tolerance) {
    ASSERT_TRUE(x < image.width && y < image.height);
    const uint8_t* p = &image.pixels[(size_t{y} * image.width + x) * 4];
    for (int c = (want[3] == 0 ? 3 : 0); c < 4; ++c)  // a clear pixel may have any colour
        EXPECT_NEAR(p[c], want[c], tolerance) << "channel " << c << " at " << x << "," << y;
}

// Libjpeg itself, for what ImageMagick cannot write: CMYK left as stored, scan scripts.
Bytes EncodeJpeg(int size, J_COLOR_SPACE space, const Bytes& pixel, bool adobe,
                 const std::vector<jpeg_scan_info>& scans = {}) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &out, &length);
    c.image_width = c.image_height = size;
    c.input_components = static_cast<int>(pixel.size());
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    c.write_Adobe_marker = adobe;
    c.scan_info = scans.empty() ? nullptr : scans.data();
    c.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&c, TRUE);
    Bytes row;
    for (int x = 0; x < size; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
    for (JSAMPROW p = row.data(); c.next_scanline < c.image_height;) jpeg_write_scanlines(&c, &p, 1);
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + length);
    std::free(out);
    jpeg_destroy_compress(&c);
    return bytes;
}

// A grey progressive JPEG of exactly `count` scans (64 to 694): one DC scan, a first scan
// per AC coefficient, the rest successive-approximation refinements.
Bytes JpegWithScans(int count) {
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k <= 63; ++k) {
        const int bits = (count - 64) / 63 + (k <= (count - 64) % 63 ? 1 : 0);
        scans.push_back({1, {0}, k, k, 0, bits});
        for (int al = bits; al > 0; --al) scans.push_back({1, {0}, k, k, al, al - 1});
    }
    return EncodeJpeg(8, JCS_GRAYSCALE, {102}, false, scans);
}

Bytes::iterator Find(Bytes& bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
}
// Offset of the first SOF0-2 marker: +1 its kind, +5 height, +7 width, +9 components.
size_t SofAt(const Bytes& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]))
        if (jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) return i;
    return 0;
}

TEST(PictureDecoder, PngOfEveryColourTypeAndDepthBecomesRgba8) {
    struct Case { Bytes png; int depth, type; bool trns; Rgba left, right; };
    auto type = [](int t, int depth) {
        return "-define png:color-type=" + std::to_string(t) +
               (depth ? " -define png:bit-depth=" + std::to_string(depth) : "");
    };
    const Case cases[] = {
        {Halves("white", "black", type(0, 1)), 1, 0, false, kBlack, kWhite},
        {Halves("white", "gray40", type(0, 4)), 4, 0, false, kGrey, kWhite},
        {Halves("white", "gray40", type(0, 8)), 8, 0, false, kGrey, kWhite},
        {Halves("white", "gray40", type(0, 16)), 16, 0, false, kGrey, kWhite},
        {Halves("none", "white", type(0, 0)), 8, 0, true, kWhite, kClear},
        {Halves("none", "gray40", type(4, 0)), 8, 4, false, kGrey, kClear},
        {Halves("none", "gray40", type(4, 16)), 16, 4, false, kGrey, kClear},
        {Halves("#336699", "#FFCC00", type(2, 0)), 8, 2, false, kYellow, kBlue},
        {Halves("#336699", "#FFCC00", type(2, 16)), 16, 2, false, kYellow, kBlue},
        {Halves("none", "#FFCC00", type(2, 0)), 8, 2, true, kYellow, kClear},
        {Halves("#336699", "#FFCC00", type(3, 1)), 2, 3, false, kYellow, kBlue},
        {Halves("#336699", "#FFCC00", "", "PNG8:x.png"), 8, 3, false, kYellow, kBlue},
        {Halves("none", "#FFCC00", "", "PNG8:x.png"), 8, 3, true, kYellow, kClear},
        {Halves("none", "#FFCC00", type(6, 0)), 8, 6, false, kYellow, kClear},
        {Halves("none", "#FFCC00", "", "PNG64:x.png"), 16, 6, false, kYellow, kClear},
    };
    for (Case c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth) + " type " + std::to_string(c.type));
        ASSERT_GT(c.png.size(), 33u);
        ASSERT_EQ(c.png[24], c.depth);  // what ImageMagick really wrote
        ASSERT_EQ(c.png[25], c.type);
        ASSERT_EQ(Find(c.png, "tRNS") != c.png.end(), c.trns);
        const DecodeResult result = DecodePicture(PictureFormat::Png, c.png);
        ASSERT_TRUE(result) << result.Error();
        ASSERT_EQ(result.Image().pixels.size(), 10u * 6 * 4);
        ASSERT_EQ(result.Image().width, 10u);
        for (uint32_t y : {0, 5}) {
            ExpectPixel(result.Image(), 4 * (y % 2), y, c.left, 1);
            ExpectPixel(result.Image(), 5 + 4 * (y % 2), y, c.right, 1);
        }
    }
    const Bytes& adam7 = Gradient("-interlace PNG", "x.png");
    ASSERT_EQ(adam7[28], 1);
    EXPECT_EQ(DecodePng(adam7).Image(), DecodePng(Gradient("", "x.png")).Image());
}

TEST(PictureDecoder, JpegGreyColourProgressiveAndCmyk) {
    struct Case { Bytes jpeg; int sof, components; Rgba top, bottom; };
    const Case cases[] = {
        {Gradient("", "x.jpg"), 0xC0, 3, kRed, {0, 0, 255, 255}},
        {Gradient("-interlace JPEG", "x.jpg"), 0xC2, 3, kRed, {0, 0, 255, 255}},
        {Made("-size 64x32 xc:gray40 -type Grayscale", "x.jpg"), 0xC0, 1, kGrey, kGrey},
        {Made("-size 64x32 xc:red -colorspace CMYK", "x.jpg"), 0xC0, 4, kRed, kRed},  // Adobe YCCK
        {EncodeJpeg(8, JCS_CMYK, {0, 255, 255, 0}, false), 0xC0, 4, kRed, kRed},
        {EncodeJpeg(8, JCS_CMYK, {255, 0, 0, 255}, true), 0xC0, 4, kRed, kRed},  // Adobe inverted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("components " + std::to_string(c.components) + " sof " + std::to_string(c.sof));
        ASSERT_EQ(c.jpeg[SofAt(c.jpeg) + 1], c.sof);
        ASSERT_EQ(c.jpeg[SofAt(c.jpeg) + 9], c.components);
        const DecodeResult result = DecodePicture(PictureFormat::Jpeg, c.jpeg);
        ASSERT_TRUE(result) << result.Error();
        const RgbaImage& image = result.Image();
        ASSERT_EQ(image.pixels.size(), size_t{image.width} * image.height * 4);
        ExpectPixel(image, image.width / 2, 0, c.top, 12);
        ExpectPixel(image, image.width / 2, image.height - 1, c.bottom, 12);
    }
}

// Every prefix is an error; every byte inverted gives an error or a whole picture. Extra
// bytes before a JPEG marker and a bad CRC on a PNG text chunk are tolerated warnings.
// No warning or error is ever printed.
TEST(PictureDecoder, DamagedDataGivesAnErrorOrAWholePictureAndNothingIsPrinted) {
    auto check = [](PictureFormat format, const Bytes& bytes) {
        const DecodeResult result = DecodePicture(format, bytes);
        EXPECT_NE(result.Ok(), !result.Error().empty());
        EXPECT_TRUE(CheckPictureSize(result.Image().width, result.Image().height).empty() || !result);
        EXPECT_EQ(result.Image().pixels.size(), size_t{result.Image().width} * result.Image().height * 4);
        return result.Ok();
    };
    Bytes jpeg = Gradient("", "x.jpg"), png = Halves("#336699", "#FFCC00", "");
    jpeg.insert(jpeg.begin() + 2, {0x00, 0x11, 0x22});
    ASSERT_NE(Find(png, "tEXt"), png.end());
    Find(png, "tEXt")[5] ^= 0x20;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(check(PictureFormat::Jpeg, jpeg) && check(PictureFormat::Png, png));
    for (const auto& [format, bytes] : {std::pair{PictureFormat::Jpeg, Gradient("", "x.jpg")},
                                        {PictureFormat::Jpeg, Gradient("-interlace JPEG", "x.jpg")},
                                        {PictureFormat::Png, Gradient("-interlace PNG", "x.png")},
                                        {PictureFormat::Png, Halves("none", "#FFCC00", "", "PNG8:x.png")}}) {
        EXPECT_TRUE(check(format, bytes));
        for (size_t n = 0; n < bytes.size(); ++n)
            EXPECT_FALSE(check(format, Bytes(bytes.begin(), bytes.begin() + n))) << "prefix of " << n;
        for (size_t i = 0; i < bytes.size(); ++i) {
            Bytes flipped = bytes;
            flipped[i] ^= 0xFF;
            check(format, flipped);
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(PictureDecoder, SizeAndScanLimits) {
    struct Case { uint64_t width, height; bool allowed; };
    for (const Case& c : {Case{1, 1, true}, {0, 5, false}, {5, 0, false}, {16384, 4096, true}, {16384, 4097, false},
                          {16385, 1, false}, {1, 16385, false}, {8192, 8192, true}, {8192, 8193, false},
                          {1ull << 32, 1ull << 32, false}})
        EXPECT_EQ(CheckPictureSize(c.width, c.height).empty(), c.allowed) << c.width << " x " << c.height;
    const Bytes& jpeg = Gradient("", "x.jpg");
    EXPECT_TRUE(DecodeJpeg(jpeg, {64, 64 * 32}));
    EXPECT_FALSE(DecodeJpeg(jpeg, {63, 64 * 32}));
    EXPECT_FALSE(DecodeJpeg(jpeg, {64, 64 * 32 - 1}));

    // Headers that claim huge pictures are refused before pixel memory is taken.
    auto withSize = [](Bytes png, uint32_t width, uint32_t height) {
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) png[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        };
        put(16, width);
        put(20, height);
        put(29, static_cast<uint32_t>(crc32(0, &png[12], 17)));  // IHDR's CRC
        return png;
    };
    Bytes bigJpeg = jpeg;
    for (size_t i = 0; i < 4; ++i) bigJpeg[SofAt(jpeg) + 5 + i] = i % 2 ? 0xE8 : 0xFD;  // 65000 x 65000
    const Bytes& png = Halves("#336699", "#FFCC00", "");
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (const auto& [format, bytes, text] : {std::tuple{PictureFormat::Png, withSize(png, 100000, 100000), "too large"},
                                              {PictureFormat::Png, withSize(png, 16384, 16385), "too large"},
                                              {PictureFormat::Png, withSize(png, 0, 6), "PNG: "},
                                              {PictureFormat::Jpeg, bigJpeg, "65000 x 65000"}}) {
        EXPECT_NE(DecodePicture(format, bytes).Error().find(text), std::string::npos) << text;
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "kilobytes taken";

    // A progressive JPEG of more than 500 scans is refused.
    EXPECT_TRUE(DecodeJpeg(JpegWithScans(64)));
    const DecodeResult limit = DecodeJpeg(JpegWithScans(500));
    ASSERT_TRUE(limit) << limit.Error();
    EXPECT_NEAR(limit.Image().pixels[0], 102, 2);
    EXPECT_EQ(DecodeJpeg(JpegWithScans(501)).Error(), "JPEG: more than 500 scans");
}

TEST(PictureDecoder, FitIntoKeepsAspectNeverEnlargesAndCentres) {
    struct Case { uint32_t w, h, boxW, boxH; PreviewRect want; };
    for (const Case& c : {Case{200, 100, 115, 115, {0, 29, 115, 57}}, {100, 200, 115, 115, {29, 0, 57, 115}},
                          {50, 50, 115, 115, {32, 32, 50, 50}}, {116, 115, 115, 115, {0, 0, 115, 114}},
                          {1, 100000, 115, 115, {57, 0, 1, 115}}, {10, 0, 115, 115, {57, 57, 0, 0}},
                          {10, 10, 0, 0, {0, 0, 0, 0}}, {4000000000u, 3, 7, 4000000000u, {0, 1999999999, 7, 1}}}) {
        EXPECT_EQ(FitInto(c.w, c.h, c.boxW, c.boxH), c.want) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH;
    }
}

TEST(DecodeJob, DecodesOnceKeepsTheErrorAndDropsOldResults) {
    const Bytes& png = Halves("#336699", "#FFCC00", "");
    DecodeJob job;
    job.SetData(png, PictureFormat::Png);
    job.Run();
    const auto image = job.Image();
    ASSERT_TRUE(image && job.IsDecoded());
    EXPECT_EQ(*image, DecodePng(png).Image());
    job.Run();
    EXPECT_EQ(job.Image(), image);  // not decoded again
    job.SetData(png, PictureFormat::Jpeg);
    EXPECT_FALSE(job.Image());
    job.Run();
    EXPECT_TRUE(job.IsDecoded() && !job.Image() && job.Error().starts_with("JPEG: ")) << job.Error();
}

}  // namespace
}  // namespace quorvane
