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

// Text of a component stream that cannot be parsed. Line and Column are 1-based; columns count
// characters. The message starts with both.
class ETextFormError : public std::runtime_error {
public:
    ETextFormError(const std::string &message, int line, int column)
        : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                             ": " + message),
          Line(line), Column(column) {}
    int Line;
    int Column;
};
