#include "cli/listing_output.h"

#include <cstdio>

namespace quorvane::cli {
namespace {

// Rows go out in blocks of about this size.
constexpr size_t kOutputBlock = 1 << 16;

}  // namespace

ListingOutput::ListingOutput(bool json, std::string_view textHeader, std::string_view textSeparator)
    : json_(json), separator_(textSeparator), out_(json ? std::string_view("[") : textHeader) {
    out_.reserve(kOutputBlock + 4096);
}

std::string& ListingOutput::NextRow() {
    if (out_.size() >= kOutputBlock) Write();
    if (json_) {
        out_ += first_ ? "\n" : ",\n";
    } else if (!first_) {
        out_ += separator_;
    }
    first_ = false;
    return out_;
}

void ListingOutput::Finish() {
    if (json_) out_ += first_ ? "]\n" : "\n]\n";
    Write();
}

void ListingOutput::Write() {
    std::fwrite(out_.data(), 1, out_.size(), stdout);
    out_.clear();
}

}  // namespace quorvane::cli
