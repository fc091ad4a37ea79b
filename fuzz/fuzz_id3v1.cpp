// ReadV1 over arbitrary bytes; a record read and written again must read back the same,
// in the system code page and in another one (chosen by the input's length).
#include <cstdlib>

#include "fuzz_input_file.h"
#include "tags/id3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const quorvane::CodePage cp1251("CP1251");
    const quorvane::CodePage& codePage = (size & 1) ? cp1251 : quorvane::CodePage::System();
    quorvane::fuzz::InputFile input(data, size);
    if (!input.IsOpen()) return 0;
    quorvane::Id3v1Record record;
    if (!quorvane::ReadV1(input.File(), record, codePage)) return 0;
    (void)quorvane::GenreName(record.Genre());
    const auto first = quorvane::EncodeV1(record, codePage);
    quorvane::fuzz::InputFile again(first.data(), first.size());
    quorvane::Id3v1Record back;
    if (!quorvane::ReadV1(again.File(), back, codePage)) std::abort();
    if (quorvane::EncodeV1(back, codePage) != first) std::abort();
    return 0;
}
