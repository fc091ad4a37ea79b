#pragma once
// A listing on standard output: a header line and a row per item, or one JSON array with
// an object per item. Written in blocks as it grows, never held whole.
#include <string>
#include <string_view>

namespace quorvane::cli {

class ListingOutput {
public:
    // `textHeader` opens the text form; `textSeparator` goes between its rows.
    ListingOutput(bool json, std::string_view textHeader, std::string_view textSeparator = {});
    ListingOutput(const ListingOutput&) = delete;
    ListingOutput& operator=(const ListingOutput&) = delete;

    // The buffer the next row (in JSON, its object) is appended to.
    std::string& NextRow();
    // Closes the listing and writes what is left.
    void Finish();

private:
    void Write();

    const bool json_;
    const std::string separator_;
    std::string out_;
    bool first_ = true;
};

}  // namespace quorvane::cli
