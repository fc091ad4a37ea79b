// ReadV1 over arbitrary bytes; a record read and written again must read back the same.
#include <cstdlib>

#include "fuzz_input_file.h"
#include "tags/id3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quorvane::fuzz::InputFile input(data, size);
    if (!input.IsOpen()) return 0;
    quorvane::Id3v1Record record;
    if (!quorvane::ReadV1(input.File(), record)) return 0;
    (void)quorvane::GenreName(record.Genre());
    const auto first = quorvane::EncodeV1(record);
    quorvane::fuzz::InputFile again(first.data(), first.size());
    quorvane::Id3v1Record back;
    if (!quorvane::ReadV1(again.File(), back)) std::abort();
    if (quorvane::EncodeV1(back) != first) std::abort();
    return 0;
}
