#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Faults of the byte streams themselves (a file that cannot be read or written).
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A compressed block that breaks the block format's limits.
class ECompressError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A component stream that cannot be read: malformed bytes, or a record that breaks a reading
// rule (unknown class, duplicate name, unknown property or handler, wrong kind of value).
// Offset is the stream position where the fault was found, or -1 when it has none.
class EReadError : public std::runtime_error {
public:
    explicit EReadError(const std::string &message, std::int64_t offset = -1)
        : std::runtime_error(message), Offset(offset) {}
    std::int64_t Offset;
};
