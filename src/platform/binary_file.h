#pragma once
// Every byte the program reads from or writes to a file passes through BinaryFile, and
// every failure of the system below it becomes one exception type, FileException.
#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {

class UserPrompts;

// A failed file operation: the system error code (errno, or one of the codes below).
struct FileException {
    uint32_t error = 0;
    // The system's text for the code.
    std::u16string FormatFileError() const;
};

// Another Quorvane (or this one) has the file open in a way that excludes this open.
inline constexpr uint32_t kErrorSharingViolation = 0x8000'0020u;
// A file too large for the operation (the tag writer's 32-bit arithmetic).
inline constexpr uint32_t kErrorFileTooLarge = 0x8000'0021u;

// Which file a name led to when it was opened: two names of one file (links) give the
// same identity.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;  // 0: not known
    bool IsKnown() const { return inode != 0; }
    auto operator<=>(const FileIdentity&) const = default;
};

// What a file is opened for. Each mode fixes the access, what other openers may do
// meanwhile (held by a lock: a second writer is refused) and whether the file must exist.
enum class OpenMode {
    Read,       // reading; others may read, not write; the file must exist (loading)
    Update,     // reading and writing; others may read; the file must exist (saving)
    Replace,    // writing; others may read; created, or emptied once the lock is held (exports)
    CreateNew,  // reading and writing; others may read; the file must not exist yet
};

class BinaryFile {
public:
    BinaryFile();
    // Unlike a bare handle, the object closes what it still holds when it goes away.
    virtual ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;

    // False with the system error in `error` when the file cannot be opened.
    bool Open(std::u16string_view path, OpenMode mode, uint32_t& error);
    // Never throws; the file is closed afterwards whatever happens.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    uint64_t GetSize() const;
    uint64_t GetPosition() const;
    void Seek(uint64_t position);
    // Bytes actually read; fewer than asked only at the end of the file.
    uint32_t Read(void* buffer, uint32_t count);
    uint32_t Write(const void* buffer, uint32_t count);
    uint32_t WriteString(std::string_view bytes);
    // Ends the file at `length`; the position is left there.
    void SetLength(uint64_t length);
    // Forces written bytes to the disk.
    void Flush();

    // The descriptor, for callers that need the file's metadata.
    int Descriptor() const { return fd_; }
    // The file opened, as its metadata said at the open.
    const FileIdentity& Identity() const { return identity_; }

    // Open with OpenMode::Read for loading a file: for a regular file, reads are then served
    // from a small read-ahead buffer, seeks and positions are kept in memory, and GetSize
    // answers with the size taken at the open, under the read lock that keeps other
    // writers out. Callers get the bytes plain reads would give; a listing costs one
    // read for the head of a file and one for its end.
    bool OpenForLoading(std::u16string_view path, uint32_t& error);

private:
    struct ReadAhead;
    uint32_t ReadAheadRead(unsigned char* out, uint32_t count);
    // Back to plain access, with the descriptor's offset where the reads left it.
    void DropReadAhead();

    int fd_ = -1;
    bool readOnlyRegular_ = false;  // opened for reading only, a regular file
    uint64_t openSize_ = 0;         // its size when opened
    FileIdentity identity_;
    std::unique_ptr<ReadAhead> ahead_;
};

// The one message box for file failures:
//   <prefix> "<path>":
//   <system text>
// with the program's title as caption and the error icon.
void ShowFileError(UserPrompts& prompts, std::u16string_view prefix, std::u16string_view path,
                   const FileException& error);
// The text of that box, for callers that report elsewhere.
std::u16string FileErrorText(std::u16string_view prefix, std::u16string_view path,
                             const FileException& error);

}  // namespace quorvane
