#include "MemoryStream.h"

#include "Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

TMemoryStream::TMemoryStream(const void *data, std::int64_t size) {
    Write(data, size);
    FPosition = 0;
}

void TMemoryStream::Seek(std::int64_t position) { FPosition = std::clamp<std::int64_t>(position, 0, FSize); }

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
    const std::int64_t n = std::clamp<std::int64_t>(FSize - FPosition, 0, std::max<std::int64_t>(count, 0));
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
    std::ifstream file(fileName, std::ios::binary);
    if (!file) throw EStreamError("Cannot open file \"" + fileName + "\": " + std::strerror(errno));
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0) throw EStreamError("Cannot read file \"" + fileName + "\"");
    if (size > maxSize) throw EStreamError("File \"" + fileName + "\" is too large");
    FSize = 0;
    FPosition = 0;
    Reserve(size);
    if (size > 0 && !file.read(reinterpret_cast<char *>(FData.get()), size))
        throw EStreamError("Cannot read file \"" + fileName + "\"");
    FSize = size;
}

void TMemoryStream::SaveToFile(const std::string &fileName) const {
    const std::string temporary = fileName + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (file && FSize > 0) file.write(reinterpret_cast<const char *>(FData.get()), FSize);
        file.flush();
        if (!file) {
            file.close();
            std::remove(temporary.c_str());
            throw EStreamError("Cannot write file \"" + fileName + "\"");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, fileName, error);
    if (error) {
        std::remove(temporary.c_str());
        throw EStreamError("Cannot replace file \"" + fileName + "\": " + error.message());
    }
}
