#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

#include <jpeglib.h>

#include "library/decode_job.h"
#include "library/picture_decoder.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using Rgba = std::array<int, 4>;
constexpr Rgba kYellow{255, 204, 0, 255}, kBlue{51, 102, 153, 255}, kGrey{102, 102, 102, 255},
    kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kClear{0, 0, 0, 0};

// A picture made by ImageMagick's convert, once per test run.
const Bytes& Made(const std::string& name, std::vector<std::string> args) {
    static test::TempDir dir;
    static std::map<std::string, Bytes> cache;
    if (auto it = cache.find(name); it != cache.end()) return it->second;
    std::string prefix;  // "PNG8:" and the like name the output format
    if (args.back().back() == ':') {
        prefix = args.back();
        args.pop_back();
    }
    args.insert(args.begin(), "convert");
    args.push_back(prefix + (dir / name).string());
    const auto run = test::RunCommand(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return cache[name] = test::ReadFileBytes(dir / name);
}

// 10 x 6: the left half (x 0-4) drawn in `fill` over `background`.
const Bytes& Halves(const std::string& name, const std::string& background, const std::string& fill,
                    std::vector<std::string> options) {
    std::vector<std::string> args{"-size", "10x6", "xc:" + background, "-fill", fill, "-draw", "rectangle 0,0 4,5"};
    args.insert(args.end(), options.begin(), options.end());
    return Made(name, args);
}

void ExpectPixel(const RgbaImage& image, uint32_t x, uint32_t y, Rgba want, int tolerance) {
    ASSERT_TRUE(x < image.width && y < image.height);
    const uint8_t* p = &image.pixels[(size_t{y} * image.width + x) * 4];
    for (int c = (want[3] == 0 ? 3 : 0); c < 4; ++c)  // a clear pixel's colour is anything
        EXPECT_NEAR(p[c], want[c], tolerance) << "channel " << c << " at " << x << "," << y;
}

// Libjpeg itself, for what ImageMagick cannot write: CMYK without Adobe's inversion, scan scripts.
Bytes EncodeJpeg(int width, int height, J_COLOR_SPACE space, const Bytes& samples, bool adobe,
                 const std::vector<jpeg_scan_info>& scans = {}) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = space == JCS_CMYK ? 4 : 1;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    c.write_Adobe_marker = adobe;
    c.scan_info = scans.empty() ? nullptr : scans.data();
    c.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < height; ++y) {
        JSAMPROW row = const_cast<uint8_t*>(&samples[size_t(y) * width * c.input_components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return bytes;
}

// An 8 x 8 grey progressive JPEG of exactly `count` scans (64 to 694): one DC scan, a first
// scan for each AC coefficient, and the rest as successive-approximation refinements.
Bytes JpegWithScans(int count) {
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    const int refinements = count - 64;
    for (int k = 1; k <= 63; ++k) {
        const int bits = refinements / 63 + (k <= refinements % 63 ? 1 : 0);
        scans.push_back({1, {0}, k, k, 0, bits});
        for (int al = bits; al > 0; --al) scans.push_back({1, {0}, k, k, al, al - 1});
    }
    Bytes grey(64);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i * 4);
    return EncodeJpeg(8, 8, JCS_GRAYSCALE, grey, false, scans);
}

// Offset of the first SOF0-2 marker: +1 its kind, +5 height, +7 width, +9 components.
size_t SofAt(const Bytes& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3])) {
        if (jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) return i;
    }
    return 0;
}

TEST(PictureDecoder, PngOfEveryColourTypeAndDepthBecomesRgba8) {
    const std::vector<std::string> grey{"-define", "png:color-type=0"}, ga{"-define", "png:color-type=4"},
        rgb{"-define", "png:color-type=2"}, rgba{"-define", "png:color-type=6"};
    auto with = [](std::vector<std::string> v, const std::string& depth) {
        v.insert(v.end(), {"-define", "png:bit-depth=" + depth});
        return v;
    };
    struct Case { Bytes png; int depth, type; bool trns; Rgba left, right; };
    const Case cases[] = {
        {Halves("g1.png", "white", "black", with(grey, "1")), 1, 0, false, kBlack, kWhite},
        {Halves("g4.png", "white", "gray40", with(grey, "4")), 4, 0, false, kGrey, kWhite},
        {Halves("g8.png", "white", "gray40", with(grey, "8")), 8, 0, false, kGrey, kWhite},
        {Halves("g16.png", "white", "gray40", with(grey, "16")), 16, 0, false, kGrey, kWhite},
        {Halves("gt.png", "none", "white", grey), 8, 0, true, kWhite, kClear},
        {Halves("ga8.png", "none", "gray40", ga), 8, 4, false, kGrey, kClear},
        {Halves("ga16.png", "none", "gray40", with(ga, "16")), 16, 4, false, kGrey, kClear},
        {Halves("rgb8.png", "#336699", "#FFCC00", rgb), 8, 2, false, kYellow, kBlue},
        {Halves("rgb16.png", "#336699", "#FFCC00", with(rgb, "16")), 16, 2, false, kYellow, kBlue},
        {Halves("rgbt.png", "none", "#FFCC00", rgb), 8, 2, true, kYellow, kClear},
        {Halves("p2.png", "#336699", "#FFCC00", {"-define", "png:color-type=3", "-define", "png:bit-depth=1"}),
         2, 3, false, kYellow, kBlue},
        {Halves("p8.png", "#336699", "#FFCC00", {"PNG8:"}), 8, 3, false, kYellow, kBlue},
        {Halves("pt.png", "none", "#FFCC00", {"PNG8:"}), 8, 3, true, kYellow, kClear},
        {Halves("rgba8.png", "none", "#FFCC00", rgba), 8, 6, false, kYellow, kClear},
        {Halves("rgba16.png", "none", "#FFCC00", {"PNG64:"}), 16, 6, false, kYellow, kClear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth) + " type " + std::to_string(c.type));
        ASSERT_GT(c.png.size(), 33u);
        ASSERT_EQ(c.png[24], c.depth);  // IHDR: what ImageMagick really wrote
        ASSERT_EQ(c.png[25], c.type);
        ASSERT_EQ(std::search(c.png.begin(), c.png.end(), "tRNS", "tRNS" + 4) != c.png.end(), c.trns);
        const DecodeResult result = DecodePicture(ImageFormat::Png, c.png);
        ASSERT_TRUE(result) << result.Error();
        ASSERT_EQ(result.Image().width, 10u);
        ASSERT_EQ(result.Image().height, 6u);
        ASSERT_EQ(result.Image().pixels.size(), 10u * 6 * 4);
        ExpectPixel(result.Image(), 0, 0, c.left, 1);
        ExpectPixel(result.Image(), 4, 5, c.left, 1);
        ExpectPixel(result.Image(), 5, 0, c.right, 1);
        ExpectPixel(result.Image(), 9, 5, c.right, 1);
    }
    const Bytes& plain = Made("grad.png", {"-size", "33x17", "gradient:red-blue"});
    const Bytes& adam7 = Made("grad7.png", {"-size", "33x17", "gradient:red-blue", "-interlace", "PNG"});
    ASSERT_EQ(adam7[28], 1);
    EXPECT_EQ(DecodePng(adam7).Image(), DecodePng(plain).Image());
    EXPECT_EQ(DecodePng(adam7).Image().width, 33u);
}

TEST(PictureDecoder, JpegGreyColourProgressiveAndCmyk) {
    const Bytes red4{0, 255, 255, 0}, redInverted{255, 0, 0, 255};  // C M Y K
    auto tile = [](const Bytes& pixel) {
        Bytes out;
        for (int i = 0; i < 64; ++i) out.insert(out.end(), pixel.begin(), pixel.end());
        return out;
    };
    struct Case { Bytes jpeg; int sof, components; Rgba top, bottom; };
    const Case cases[] = {
        {Made("grad.jpg", {"-size", "64x32", "gradient:red-blue"}), 0xC0, 3, kRed, {0, 0, 255, 255}},
        {Made("prog.jpg", {"-size", "64x32", "gradient:red-blue", "-interlace", "JPEG"}), 0xC2, 3, kRed,
         {0, 0, 255, 255}},
        {Made("grey.jpg", {"-size", "64x32", "xc:gray40", "-type", "Grayscale"}), 0xC0, 1, kGrey, kGrey},
        {Made("cmyk.jpg", {"-size", "64x32", "xc:red", "-colorspace", "CMYK"}), 0xC0, 4, kRed, kRed},
        {EncodeJpeg(8, 8, JCS_CMYK, tile(red4), false), 0xC0, 4, kRed, kRed},
        {EncodeJpeg(8, 8, JCS_CMYK, tile(redInverted), true), 0xC0, 4, kRed, kRed},
    };
    for (const Case& c : cases) {
        const size_t sof = SofAt(c.jpeg);
        SCOPED_TRACE("components " + std::to_string(c.components) + " sof " + std::to_string(c.sof));
        ASSERT_NE(sof, 0u);
        ASSERT_EQ(c.jpeg[sof + 1], c.sof);
        ASSERT_EQ(c.jpeg[sof + 9], c.components);
        const DecodeResult result = DecodePicture(ImageFormat::Jpeg, c.jpeg);
        ASSERT_TRUE(result) << result.Error();
        const RgbaImage& image = result.Image();
        ASSERT_EQ(image.pixels.size(), size_t{image.width} * image.height * 4);
        ExpectPixel(image, image.width / 2, 0, c.top, 12);
        ExpectPixel(image, image.width / 2, image.height - 1, c.bottom, 12);
    }
}

// Every prefix, every byte inverted, and random bytes behind each signature: an error or
// a whole image, never a crash (the sanitizer builds run this too).
TEST(PictureDecoder, DamagedDataGivesAnErrorOrAnImage) {
    const std::pair<ImageFormat, Bytes> files[] = {
        {ImageFormat::Jpeg, Made("grad.jpg", {"-size", "64x32", "gradient:red-blue"})},
        {ImageFormat::Jpeg, Made("prog.jpg", {"-size", "64x32", "gradient:red-blue", "-interlace", "JPEG"})},
        {ImageFormat::Png, Made("grad7.png", {"-size", "33x17", "gradient:red-blue", "-interlace", "PNG"})},
        {ImageFormat::Png, Halves("pt.png", "none", "#FFCC00", {"PNG8:"})},
    };
    auto check = [](ImageFormat format, const Bytes& bytes) {
        const DecodeResult result = DecodePicture(format, bytes);
        if (!result) {
            EXPECT_FALSE(result.Error().empty());
            return false;
        }
        EXPECT_TRUE(result.Error().empty());
        EXPECT_TRUE(CheckPictureSize(result.Image().width, result.Image().height).empty());
        EXPECT_EQ(result.Image().pixels.size(), size_t{result.Image().width} * result.Image().height * 4);
        return true;
    };
    std::mt19937 random(7);
    for (const auto& [format, bytes] : files) {
        ASSERT_TRUE(check(format, bytes));
        for (size_t n = 0; n < bytes.size(); ++n) {
            EXPECT_FALSE(check(format, Bytes(bytes.begin(), bytes.begin() + n))) << "prefix of " << n;
        }
        for (size_t i = 0; i < bytes.size(); ++i) {
            Bytes flipped = bytes;
            flipped[i] ^= 0xFF;
            check(format, flipped);
        }
        for (int i = 0; i < 100; ++i) {
            Bytes noise(bytes.begin(), bytes.begin() + 2 + random() % 40);
            while (noise.size() < bytes.size()) noise.push_back(static_cast<uint8_t>(random()));
            check(format, noise);
        }
    }
    EXPECT_FALSE(check(ImageFormat::Png, {}));
    EXPECT_FALSE(check(ImageFormat::Jpeg, {0xFF}));
}

TEST(PictureDecoder, SizeLimits) {
    const DecodeLimits limits;
    struct Case { uint64_t width, height; bool allowed; };
    const Case cases[] = {{1, 1, true},          {0, 5, false},        {5, 0, false},      {16384, 4096, true},
                          {16384, 4097, false}, {16385, 1, false},    {1, 16385, false},  {8192, 8192, true},
                          {8192, 8193, false},  {1ull << 32, 1, false}, {1ull << 32, 1ull << 32, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(CheckPictureSize(c.width, c.height, limits).empty(), c.allowed) << c.width << " x " << c.height;
    }
    const Bytes& jpeg = Made("grad.jpg", {"-size", "64x32", "gradient:red-blue"});
    EXPECT_TRUE(DecodeJpeg(jpeg, {64, 64 * 32}));
    EXPECT_FALSE(DecodeJpeg(jpeg, {63, 64 * 32}));
    EXPECT_FALSE(DecodeJpeg(jpeg, {64, 64 * 32 - 1}));

    // Headers that claim huge pictures are refused before any pixel memory is taken.
    auto withIhdr = [](Bytes png, uint32_t width, uint32_t height) {
        for (int i = 0; i < 4; ++i) png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        for (int i = 0; i < 4; ++i) png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
        const uint32_t crc = static_cast<uint32_t>(crc32(0, &png[12], 17));
        for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        return png;
    };
    Bytes bigJpeg = jpeg;
    for (size_t i = 0; i < 4; ++i) bigJpeg[SofAt(jpeg) + 5 + i] = i % 2 ? 0xE8 : 0xFD;  // 65000 x 65000
    const Bytes& png = Halves("rgb8.png", "#336699", "#FFCC00", {"-define", "png:color-type=2"});
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (const auto& [format, bytes, text] :
         {std::tuple{ImageFormat::Png, withIhdr(png, 100000, 100000), "too large"},
          std::tuple{ImageFormat::Png, withIhdr(png, 16384, 16385), "too large"},
          std::tuple{ImageFormat::Png, withIhdr(png, 0, 6), "PNG: "},
          std::tuple{ImageFormat::Jpeg, bigJpeg, "65000 x 65000"}}) {
        const DecodeResult result = DecodePicture(format, bytes);
        EXPECT_NE(result.Error().find(text), std::string::npos) << result.Error();
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "kilobytes taken";
}

TEST(PictureDecoder, ProgressiveJpegOfMoreThan500ScansIsRefused) {
    EXPECT_TRUE(DecodeJpeg(JpegWithScans(64)));
    const DecodeResult limit = DecodeJpeg(JpegWithScans(500));
    ASSERT_TRUE(limit) << limit.Error();
    EXPECT_NEAR(limit.Image().pixels[4 * 63], 252, 12);
    EXPECT_EQ(DecodeJpeg(JpegWithScans(501)).Error(), "JPEG: more than 500 scans");
}

// Warnings are tolerated and never printed: extraneous bytes before a JPEG marker, a bad
// CRC on a PNG text chunk; nor are errors.
TEST(PictureDecoder, NothingIsPrintedToStandardError) {
    Bytes jpeg = Made("grad.jpg", {"-size", "64x32", "gradient:red-blue"});
    jpeg.insert(jpeg.begin() + 2, {0x00, 0x11, 0x22});
    Bytes png = Halves("rgb8.png", "#336699", "#FFCC00", {"-define", "png:color-type=2"});
    const auto text = std::search(png.begin(), png.end(), "tEXt", "tEXt" + 4);
    ASSERT_NE(text, png.end());
    text[5] ^= 0x20;
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* capture = std::tmpfile();
    dup2(fileno(capture), 2);
    const bool jpegOk = DecodeJpeg(jpeg).Ok(), pngOk = DecodePng(png).Ok();
    DecodeJpeg(Bytes(jpeg.begin(), jpeg.end() - 90));
    DecodePng(Bytes(png.begin(), png.end() - 30));
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    EXPECT_TRUE(jpegOk);
    EXPECT_TRUE(pngOk);
    EXPECT_EQ(std::ftell(capture), 0);
    std::fclose(capture);
}

TEST(PictureDecoder, FitIntoKeepsAspectNeverEnlargesAndCentres) {
    struct Case { uint32_t w, h, boxW, boxH; PreviewRect want; };
    const Case cases[] = {
        {200, 100, 115, 115, {0, 29, 115, 57}},  {100, 200, 115, 115, {29, 0, 57, 115}},
        {50, 50, 115, 115, {32, 32, 50, 50}},    {115, 115, 115, 115, {0, 0, 115, 115}},
        {116, 115, 115, 115, {0, 0, 115, 114}},  {300, 200, 150, 100, {0, 0, 150, 100}},
        {1000, 1, 115, 115, {0, 57, 115, 1}},    {1, 100000, 115, 115, {57, 0, 1, 115}},
        {0, 0, 115, 115, {57, 57, 0, 0}},        {10, 0, 115, 115, {57, 57, 0, 0}},
        {10, 10, 0, 0, {0, 0, 0, 0}},            {4000000000u, 3, 7, 4000000000u, {0, 1999999999, 7, 1}},
    };
    for (const Case& c : cases) {
        const PreviewRect got = FitInto(c.w, c.h, c.boxW, c.boxH);
        EXPECT_EQ(got, c.want) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH << ": " << got.left
                               << "," << got.top << " " << got.width << "x" << got.height;
    }
}

TEST(DecodeJob, DecodesOnceKeepsErrorsAndDropsOldResults) {
    const Bytes& png = Halves("rgb8.png", "#336699", "#FFCC00", {"-define", "png:color-type=2"});
    DecodeJob job;
    job.Run();  // nothing to decode
    EXPECT_FALSE(job.IsDecoded());
    job.SetData(png, ImageFormat::Png);
    job.Run();
    ASSERT_TRUE(job.IsDecoded());
    const auto image = job.Image();
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, DecodePng(png).Image());
    job.Run();
    EXPECT_EQ(job.Image(), image);
    job.SetData(png, ImageFormat::Jpeg);  // wrong format: an error, and the old image is gone
    EXPECT_FALSE(job.Image());
    job.Run();
    EXPECT_TRUE(job.IsDecoded());
    EXPECT_FALSE(job.Image());
    EXPECT_EQ(job.Error().rfind("JPEG: ", 0), 0u) << job.Error();
    job.SetData({}, ImageFormat::Png);
    job.Run();
    EXPECT_FALSE(job.IsDecoded());
    EXPECT_TRUE(job.Error().empty());
}

}  // namespace
}  // namespace quorvane
