#pragma once
// One MP3 file of the list: its tags in memory (the record is a CId3Tag), where the
// file lives, what the stream analysis found, and what the next save must do.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tags/id3_tag.h"

namespace quorvane {

class UserPrompts;

// Directory + separator + name; no separator is added when the directory is empty or
// already ends in one (the root "/").
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name);

// A text that many records hold alike (their directory, their loaded directory): one
// copy for all of them. Read like a const std::u16string.
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::u16string text) : text_(std::make_shared<const std::u16string>(std::move(text))) {}

    const std::u16string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::u16string&() const { return str(); }
    operator std::u16string_view() const { return str(); }
    bool empty() const { return str().empty(); }
    size_t size() const { return str().size(); }

    friend bool operator==(const SharedText& a, std::u16string_view b) { return a.str() == b; }

private:
    static const std::u16string& Empty();
    std::shared_ptr<const std::u16string> text_;
};

class Mp3FileRecord : public CId3Tag {
public:
    Mp3FileRecord(std::u16string directory, std::u16string name, std::u16string rootDirectory);
    // The scan's form: the directory texts are shared with the other records found there.
    Mp3FileRecord(SharedText directory, std::u16string name, SharedText rootDirectory);

    // Fills the record from its file. Never throws; every failure is reported through
    // `prompts` once and the record keeps what was read before it.
    void LoadFile(UserPrompts& prompts);

    // Unsaved changes: the tag, a pending rename or a pending removal.
    bool NeedsSaving() const;

    // JoinPath(directory, fileName): where the file is to be.
    std::u16string FullPath() const { return JoinPath(directory, fileName); }
    // JoinPath(directory, diskName): where the file is now.
    std::u16string DiskPath() const { return JoinPath(directory, diskName); }

    std::u16string diskName;       // the name the file has on disk
    std::u16string fileName;       // the name it is to have (differs after an unsaved rename)
    SharedText directory;          // the directory holding the file
    SharedText rootDirectory;      // the loaded directory whose scan found it
    bool removeV1Requested = false;
    bool removeV2Requested = false;
    bool isVbr = false;            // a "Xing" or "Info" header was found
    bool hasV1 = false;            // an ID3v1 tag was found when loading
    uint16_t bitrate = 0;          // kbit/s, 0 when unknown
    uint32_t duration = 0;         // seconds, 0 when unknown
    uint32_t audioStart = 0;       // where the ID3v2 tag ends (0: no tag), as loaded
};

// The main window's "Remove ID3v1" for one record: a found ID3v1 tag is emptied in
// memory and removed by the next save; without one nothing is to be done.
void RequestRemoveV1(Mp3FileRecord& record);
// "Remove ID3v2" for one record: the frames go now, the tag goes with the next save.
void RequestRemoveV2(Mp3FileRecord& record);

}  // namespace quorvane
