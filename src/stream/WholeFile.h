#pragma once

// Whole files as the program reads and writes them. Both raise EStreamError with the reason.

#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The bytes of a regular file of at most maxSize bytes. Anything else named (a folder, a FIFO,
// a device) is refused at once: opening it never waits for a writer.
std::vector<std::uint8_t> ReadWholeFile(const std::string &fileName, std::int64_t maxSize);

// A file about to hold exactly `data`, in two steps so that several files can change together:
// the constructor does everything that may fail, Commit puts the bytes in place.
//
// Symbolic links are followed to the file they name. Normally the bytes go to a new file beside
// the target, created readable by its owner only and synced; Commit gives it the target's owner
// and permissions (set-id bits included) and then the target's name. A file with other hard
// links, or in a folder where no file can be created, is overwritten in place instead: the
// constructor opens it (never through a link, and only if it is still the file looked at) and
// reserves the new size, and Commit overwrites it. A file that may not be written (no write
// permission for anyone, or not for us) is refused.
class TFileReplacement {
public:
    // Raises EStreamError, naming fileName and the system's reason, on any failure; the target
    // is then as it was and nothing is left beside it. `data` must stay valid until Commit.
    TFileReplacement(const std::string &fileName, std::span<const std::uint8_t> data);
    // Without Commit, the new file goes: the target stays as it was.
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement &) = delete;
    TFileReplacement &operator=(const TFileReplacement &) = delete;

    // Puts the bytes in place; once only. Raises EStreamError when the system refuses; the target
    // is then as it was, but for an in-place write that fails after its space was reserved.
    void Commit();

private:
    void Reserve();
    // Closes the file and removes the new one, if any.
    void Drop();

    std::string FFileName, FTarget, FTemporary;
    std::span<const std::uint8_t> FData;
    struct stat FStatus {};
    bool FExists = false, FInPlace = false;
    int FDescriptor = -1;
};

// Makes the file hold exactly data at once, as TFileReplacement does.
void ReplaceWholeFile(const std::string &fileName, std::span<const std::uint8_t> data);
