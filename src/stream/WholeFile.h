#pragma once

// Whole files as the program reads and writes them. Both raise EStreamError with the reason.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The bytes of a regular file of at most maxSize bytes. Anything else named (a folder, a FIFO,
// a device) is refused at once: opening it never waits for a writer.
std::vector<std::uint8_t> ReadWholeFile(const std::string &fileName, std::int64_t maxSize);

// Makes the file hold exactly data, without harming anything else. The bytes go to a new file
// beside the target, synced, which then takes the target's place; symbolic links are followed to
// the file they name, and the target's permissions and owner are kept. A file with other hard
// links, or in a folder where no file can be created, is overwritten in place instead. A file
// that may not be written (no write permission for anyone, or not for us) is refused, and the
// target stays as it was on every failure but a failing in-place write.
void ReplaceWholeFile(const std::string &fileName, std::span<const std::uint8_t> data);
