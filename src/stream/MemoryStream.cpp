#include "MemoryStream.h"

#include "WholeFile.h"

#include <algorithm>
#include <cstring>

TMemoryStream::TMemoryStream(const void *data, std::int64_t size) {
    Write(data, size);
    FPosition = 0;
}

void TMemoryStream::Seek(std::int64_t position) {
    FPosition = std::clamp<std::int64_t>(position, 0, FSize);
}

void TMemoryStream::Reserve(std::int64_t capacity) {
    if (capacity <= FCapacity) return;
    const std::int64_t grown = std::max<std::int64_t>(capacity, FCapacity + FCapacity / 2 + 4096);
    auto data = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(grown));
    if (FSize > 0) std::memcpy(data.get(), FData.get(), static_cast<std::size_t>(FSize));
    FData = std::move(data);
    FCapacity = grown;
}

void TMemoryStream::SetSize(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    Reserve(size);
    if (size > FSize) std::memset(FData.get() + FSize, 0, static_cast<std::size_t>(size - FSize));
    FSize = size;
    FPosition = std::min(FPosition, FSize);
}

std::int64_t TMemoryStream::Read(void *buffer, std::int64_t count) {
    const std::int64_t n =
        std::clamp<std::int64_t>(FSize - FPosition, 0, std::max<std::int64_t>(count, 0));
    if (n > 0) std::memcpy(buffer, FData.get() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

void TMemoryStream::Write(const void *buffer, std::int64_t count) {
    if (count <= 0) return;
    const std::int64_t end = FPosition + count;
    Reserve(end);
    std::memcpy(FData.get() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    FSize = std::max(FSize, end);
}

void TMemoryStream::LoadFromFile(const std::string &fileName, std::int64_t maxSize) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName, maxSize);
    FSize = 0;
    FPosition = 0;
    Write(bytes.data(), std::int64_t(bytes.size()));
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string &fileName) const {
    ReplaceWholeFile(fileName, {FData.get(), std::size_t(FSize)});
}
