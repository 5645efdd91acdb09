#pragma once

#include <stdexcept>

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
