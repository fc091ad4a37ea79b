#pragma once
// Every byte the program reads from or writes to a file passes through BinaryFile, and
// every failure of the system below it becomes one exception type, CFileExceptionEx.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {

class UserPrompts;

// A failed file operation: the system error code (errno, or one of the codes below).
struct CFileExceptionEx {
    uint32_t error = 0;
    // The system's text for the code.
    std::u16string FormatFileError() const;
};

// Another Quorvane (or this one) has the file open in a way that excludes this open.
inline constexpr uint32_t kErrorSharingViolation = 0x8000'0020u;
// A file too large for the operation (the tag writer's 32-bit arithmetic).
inline constexpr uint32_t kErrorFileTooLarge = 0x8000'0021u;

class BinaryFile {
public:
    // Open mode bits; within each group the first bit found wins.
    enum : uint32_t {
        ModeRead = 1,
        ModeWrite = 2,
        ModeReadWrite = 4,
        ShareExclusive = 8,
        ShareRead = 16,
        CreateNew = 32,
        CreateAlways = 64,
        OpenExisting = 128,
        OpenAlways = 256,
    };
    static constexpr uint32_t kLoadMode = ModeRead | ShareRead | OpenExisting;         // 145
    static constexpr uint32_t kSaveMode = ModeReadWrite | ShareRead | OpenExisting;    // 148
    static constexpr uint32_t kExportMode = ModeWrite | ShareRead | CreateAlways;      // 82

    BinaryFile();
    // Unlike a bare handle, the object closes what it still holds when it goes away.
    virtual ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;

    // False with the system error in `error` when the file cannot be opened.
    bool Open(std::u16string_view path, uint32_t mode, uint32_t& error);
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

    // Open with kLoadMode for loading a file: for a regular file, reads are then served
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
    std::unique_ptr<ReadAhead> ahead_;
};

// The one message box for file failures:
//   <prefix> "<path>":
//   <system text>
// with the program's title as caption and the error icon.
void ShowFileError(UserPrompts& prompts, std::u16string_view prefix, std::u16string_view path,
                   const CFileExceptionEx& error);
// The text of that box, for callers that report elsewhere.
std::u16string FileErrorText(std::u16string_view prefix, std::u16string_view path,
                             const CFileExceptionEx& error);

}  // namespace quorvane
