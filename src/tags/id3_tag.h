#pragma once
// The in-memory tag: an ordered list of ID3v2 frames and the file's ID3v1 record.
// The model has no version; the identifiers are the v2.4 ones, and the version and text
// encoding are chosen only when the tag is rendered.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/frame_id.h"
#include "tags/id3_frame.h"
#include "tags/id3v1.h"

namespace quorvane {

// APIC picture types 0..20 and the names the picture pane lists them under.
inline constexpr uint8_t kPictureTypeCount = 21;
// The name of a picture type; a type of 21 or more counts as 0 ("Other").
std::u16string_view PictureTypeName(uint8_t type);

// Frames past the reader's frame cap, as they stood in the tag: held as bytes, not as
// frames, and written back as they are (converted frame by frame into another version).
struct KeptFrames {
    uint8_t major = 0;
    // v2.4: the tag's unsynchronisation flag applies to every one of them.
    bool unsynchronised = false;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;
};
// The picture type of an APIC frame: its type byte, with 21 and more (or no type byte)
// counted as 0 ("Other").
uint8_t PictureTypeOf(const Id3Frame& frame);

class Id3Tag {
public:
    Id3Tag() = default;
    ~Id3Tag();
    Id3Tag(const Id3Tag&) = delete;
    Id3Tag& operator=(const Id3Tag&) = delete;

    const std::vector<std::unique_ptr<Id3Frame>>& Frames() const { return frames_; }
    Id3v1Record& V1() { return id3v1_; }
    const Id3v1Record& V1() const { return id3v1_; }

    // The first frame with that id after `after` (from the start when null); null when
    // none follows or `after` is not met (a frame of another id never is).
    Id3Frame* FindFrame(FrameId id, const Id3Frame* after = nullptr) const;
    void AddFrame(std::unique_ptr<Id3Frame> frame);
    // Unlinks and destroys the frame when it is in the list.
    void RemoveFrame(const Id3Frame* frame);
    // Removes the first frame with that id; false when there is none.
    bool RemoveFrameById(FrameId id);
    // Every frame, the frames kept as bytes and the unread bytes.
    void RemoveAllFrames();

    // Frames kept as bytes past the frame cap; null when there are none.
    const KeptFrames* KeptFrameTail() const { return kept_ ? kept_->frames.get() : nullptr; }
    // Bytes of the tag the reader could not read (a damaged frame and what follows it,
    // garbage, frames of v2.2 that have no later form): a save writes them back behind
    // the padding. Trailing zero bytes count as padding.
    std::span<const uint8_t> UnreadBytes() const;
    // Set by the reader.
    void SetKeptFrames(std::unique_ptr<KeptFrames> frames);
    void SetUnreadBytes(std::vector<uint8_t> bytes);

    // The tag flag, the ID3v1 record's flag or any changed frame.
    bool IsChanged() const;
    // Marks every frame and the tag unchanged; the ID3v1 flag stays.
    void ClearChanged();
    // Marks the frame list changed (frames added or removed).
    void SetListChanged() { changed_ = true; }

    // The first text of the first frame with that id; false and empty when there is none.
    bool GetText(FrameId id, std::u16string& text) const;
    std::u16string GetText(FrameId id) const;
    // Sets the text of the frame (creating it), with the track and genre rules.
    void SetText(FrameId id, std::u16string_view text);
    // The TCON text with "(n)" references and bare genre numbers resolved.
    std::u16string GetGenre() const;
    // Copies the ID3v1 title, artist, album, year, genre and track into text frames.
    void CopyFromV1();

    // The first COMM frame whose description equals the text exactly.
    Id3Frame* FindComment(std::u16string_view description) const;
    // Appends a COMM frame; a language not exactly three characters long becomes "eng".
    void AddComment(std::string_view language, std::u16string_view description, std::u16string_view text);

    // The first APIC frame of that type (a stored type of 21 or more counts as 0).
    Id3Frame* FindPicture(uint8_t pictureType) const;
    // Replaces, adds or (empty data and description) removes the picture of that type.
    void SetPicture(uint8_t pictureType, std::string_view mimeType, std::u16string_view description,
                    std::span<const uint8_t> data);

private:
    struct Kept {
        std::unique_ptr<KeptFrames> frames;
        std::vector<uint8_t> unread;
    };
    Kept& KeptBytes();

    std::vector<std::unique_ptr<Id3Frame>> frames_;
    // Held only for tags with frames or bytes kept as read, which few files have.
    std::unique_ptr<Kept> kept_;
    Id3v1Record id3v1_;
    bool changed_ = false;
};

}  // namespace quorvane
