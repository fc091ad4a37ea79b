#pragma once
// One MP3 file of the list: its tags in memory, where the file lives, what the stream
// analysis found, and what the next save must do. A record has a tag; it is not one.
//
// Records are shared: the file list, the list view, a running save and an operation may
// each hold one, so none of them can ever be left with a destroyed record.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/binary_file.h"
#include "platform/paths.h"
#include "tags/id3_tag.h"
#include "tags/tag_options.h"

namespace quorvane {

class UserPrompts;

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

// What the stream analysis found.
struct StreamFigures {
    uint16_t bitrate = 0;   // kbit/s, 0 when unknown
    bool vbr = false;       // the stream's bitrate varies
    uint32_t duration = 0;  // seconds, 0 when unknown
};

// How a file is loaded: the tag reader's options and "AutoConvertToV2".
struct LoadOptions {
    TagReadOptions tag;
    bool autoConvertToV2 = false;
};

class Mp3FileRecord {
public:
    Mp3FileRecord(SharedText directory, std::u16string name, SharedText rootDirectory);
    Mp3FileRecord(const Mp3FileRecord&) = delete;
    Mp3FileRecord& operator=(const Mp3FileRecord&) = delete;

    // Fills the record from its file. Never throws; every failure is reported through
    // `prompts` once and the record keeps what was read before it. False when the file
    // could not be opened (the record then stays empty).
    bool LoadFile(UserPrompts& prompts, const LoadOptions& options);
    // What a load met: whether the file opened, and the text of the failure to report
    // (FileErrorText; empty when there is none).
    struct LoadResult {
        bool opened = false;
        std::u16string error;
    };
    // LoadFile without the report, which the caller makes. It touches nothing but this
    // record, so that several records can be loaded on several threads at once.
    LoadResult Load(const LoadOptions& options);
    // The file the last load opened; not known before.
    const FileIdentity& LoadedFile() const { return loadedFile_; }

    Id3Tag& Tag() { return tag_; }
    const Id3Tag& Tag() const { return tag_; }

    // The name the file has on disk, and the name it is to have (they differ after a
    // rename from tags that is not saved yet).
    const std::u16string& DiskName() const { return diskName_; }
    const std::u16string& FileName() const { return fileName_; }
    // The new name, with the characters a file name cannot hold replaced by blanks;
    // nothing happens when it equals the current FileName().
    void SetFileName(std::u16string_view name);
    // The directory holding the file, and the loaded directory whose scan found it.
    const SharedText& Directory() const { return directory_; }
    const SharedText& RootDirectory() const { return rootDirectory_; }
    // JoinPath(directory, FileName()): where the file is to be.
    std::u16string FullPath() const { return JoinPath(directory_, fileName_); }
    // JoinPath(directory, DiskName()): where the file is now.
    std::u16string DiskPath() const { return JoinPath(directory_, diskName_); }

    const StreamFigures& Stream() const { return stream_; }
    // The file has an ID3v1 tag on disk (as loaded, and as every save left it).
    bool HasV1() const { return hasV1_; }
    bool RemoveV1Requested() const { return removeV1Requested_; }
    bool RemoveV2Requested() const { return removeV2Requested_; }

    // "Remove ID3v1": a tag on disk is emptied in memory and removed by the next save;
    // without one nothing is to be done.
    void RequestRemoveV1();
    // "Remove ID3v2": the frames go now, the tag goes with the next save.
    void RequestRemoveV2();
    // The ID3v1 pane saved: the file keeps an ID3v1 tag after all.
    void CancelRemoveV1() { removeV1Requested_ = false; }

    // Unsaved changes: the tag, a pending rename or a pending removal.
    bool NeedsSaving() const;

private:
    friend void SaveRecord(Mp3FileRecord& record, UserPrompts& prompts, const TagWriteOptions& options);

    Id3Tag tag_;
    std::u16string diskName_;
    std::u16string fileName_;
    SharedText directory_;
    SharedText rootDirectory_;
    StreamFigures stream_;
    FileIdentity loadedFile_;
    bool removeV1Requested_ = false;
    bool removeV2Requested_ = false;
    bool hasV1_ = false;
};

using RecordPtr = std::shared_ptr<Mp3FileRecord>;

}  // namespace quorvane
