#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

// A seekable, growable byte stream held in memory. Network files are read into one whole and
// written from one whole, so this is also the file stream of the program.
class TMemoryStream {
public:
    TMemoryStream() = default;
    TMemoryStream(const void *data, std::int64_t size);
    TMemoryStream(TMemoryStream &&) = default;
    TMemoryStream &operator=(TMemoryStream &&) = default;
    TMemoryStream(const TMemoryStream &) = delete;
    TMemoryStream &operator=(const TMemoryStream &) = delete;

    std::int64_t Position() const { return FPosition; }
    // Positions outside 0..Size() are clamped, so a stream is never read outside its bytes.
    void Seek(std::int64_t position);
    std::int64_t Size() const { return FSize; }
    // Cuts or extends the stream; extended bytes are zero. The position stays within the size.
    void SetSize(std::int64_t size);
    const std::uint8_t *Memory() const { return FData.get(); }

    // Copies up to count bytes from the position on and returns how many there were.
    std::int64_t Read(void *buffer, std::int64_t count);
    // Writes count bytes at the position, growing the stream as needed.
    void Write(const void *buffer, std::int64_t count);

    // Whole-file transfers (WholeFile.h); failures raise EStreamError. Only regular files are
    // read, and those larger than maxSize are refused before anything is read.
    void LoadFromFile(const std::string &fileName,
                      std::int64_t maxSize = std::numeric_limits<std::int64_t>::max());
    void SaveToFile(const std::string &fileName) const;

private:
    void Reserve(std::int64_t capacity);

    std::unique_ptr<std::uint8_t[]> FData;
    std::int64_t FCapacity = 0;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};
