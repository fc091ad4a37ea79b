#pragma once
// The picture a click on the preview opens in the default image viewer: written as
// "tempimage.<extension>" into a directory only this user can enter, made afresh by
// mkdtemp, so nobody can plant a link where the picture is written. The file is created
// new (never through a link, never into an existing file) each time.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/picture_format.h"

namespace quorvane {

class UserPrompts;

inline constexpr std::u16string_view kImageEmpty = u"Image is empty!";
inline constexpr std::u16string_view kImageWriteError = u"Error when writing image";

class TempImageDirectory {
public:
    // Under $TMPDIR (or /tmp), or under `base`. Nothing is made before the first Write.
    TempImageDirectory();
    explicit TempImageDirectory(std::string base);
    // Removes the pictures written and the directory.
    ~TempImageDirectory();
    TempImageDirectory(const TempImageDirectory&) = delete;
    TempImageDirectory& operator=(const TempImageDirectory&) = delete;

    // Writes the image, replacing the one an earlier click wrote; the path to open, or
    // none after "Image is empty!", "Error when opening file" or "Error when writing image".
    std::optional<std::u16string> Write(std::span<const uint8_t> bytes, PictureFormat format, UserPrompts& prompts);

    // The directory's path; empty until the first Write made it.
    const std::string& Path() const { return path_; }

private:
    bool MakeDirectory(UserPrompts& prompts);

    std::string base_;
    std::string path_;
    int directory_ = -1;  // held open: names are resolved in it, whatever happens to its path
    std::vector<std::string> written_;
};

}  // namespace quorvane
