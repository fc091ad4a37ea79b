// ReadV2 over arbitrary bytes, then the frames it kept rendered and read again: reading
// must never fail, a load through the read-ahead buffer must read what plain reads give,
// a rendered tag must read back to a tag that renders the same, and the bytes the reader
// could not read must come back as they were written behind the padding.
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz_input_file.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_reader.h"
#include "tags/id3v2_render.h"
#include "tags/id3v2_write_plan.h"

namespace {

using quorvane::Id3Tag;

// The rendered frames as the writer lays them out (the unread bytes behind the padding),
// read back.
void ReadRendered(const std::vector<uint8_t>& frames, std::span<const uint8_t> unread, bool v24,
                  const quorvane::TagReadOptions& options, Id3Tag& tag) {
    const std::vector<uint8_t> bytes =
        quorvane::BuildV2TagBytes(frames, v24, 8 + quorvane::kZerosBeforeUnread, unread);
    quorvane::fuzz::InputFile input(bytes.data(), bytes.size());
    if (!input.IsOpen()) std::abort();
    quorvane::ReadV2(tag, input.File(), options);
    if (!std::equal(unread.begin(), unread.end(), tag.UnreadBytes().begin(), tag.UnreadBytes().end())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the version and encoding of the re-rendering, whether empty
    // frames are kept and the code page. Encoding 2 is left out: its byte order is
    // guessed on reading, so odd texts may flip.
    static const quorvane::CodePage cp1251("CP1251");
    const bool v24 = data[0] & 1;
    const uint8_t encodings[] = {0, 1, 3, 1};
    quorvane::RenderContext context{encodings[(data[0] >> 1) & 3], v24};
    if (!v24 && context.encoding == 3) context.encoding = 1;
    quorvane::TagReadOptions options;
    options.saveEmpty = !(data[0] & 0x08);
    if (data[0] & 0x10) options.codePage = context.codePage = &cp1251;

    quorvane::fuzz::InputFile input(data + 1, size - 1);
    if (!input.IsOpen()) return 0;
    Id3Tag tag;
    quorvane::ReadV2(tag, input.File(), options);
    (void)tag.GetGenre();
    (void)tag.FindPicture(0);
    (void)tag.FindComment(u"");

    // A load reads through the read-ahead buffer: the same frames.
    quorvane::BinaryFile ahead;
    if (!input.OpenForLoading(ahead)) std::abort();
    Id3Tag aheadTag, plainAgain;
    if (quorvane::ReadV2(aheadTag, ahead, options) != quorvane::ReadV2(plainAgain, input.File(), options)) std::abort();
    if (quorvane::RenderFrameBytes(aheadTag, context) != quorvane::RenderFrameBytes(tag, context)) std::abort();

    Id3Tag once, twice;
    ReadRendered(quorvane::RenderFrameBytes(tag, context), tag.UnreadBytes(), v24, options, once);
    const std::vector<uint8_t> first = quorvane::RenderFrameBytes(once, context);
    ReadRendered(first, once.UnreadBytes(), v24, options, twice);
    if (quorvane::RenderFrameBytes(twice, context) != first) std::abort();
    return 0;
}
