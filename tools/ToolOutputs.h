#pragma once

// Where ztrtool writes. A regular file (or a name not taken yet) is replaced whole, and only once
// every output of the command is ready; standard output ("-"), an inherited descriptor
// (/dev/stdout, /dev/fd/N), a terminal, a pipe or another character device is written in order
// and never replaced, so that `>> log` keeps what the log held.

#include <sys/types.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

class TToolOutputs {
public:
    // Adds the output `path`, which `option` names (for messages; empty for a plain argument).
    // Raises ToolError when it cannot be written or names the same file as an earlier one (by
    // device and inode, or by the same path once links and dots are resolved).
    void Add(std::string option, std::string path);
    // Whether one of them is the standard output.
    bool WritesStandardOutput() const;
    // Writes contents[i] to the i-th output added: every file's bytes beside it first, then the
    // streams, then the files take their places. Raises ToolError or EStreamError with the
    // system's reason; no file was replaced then (a stream may hold part of its bytes).
    void Write(std::span<const std::string_view> contents) const;

private:
    struct TOutput {
        std::string Option, Path;
        int Descriptor = -1; // an inherited descriptor to write to, or -1
        bool Stream = false, Exists = false;
        dev_t Device = 0;
        ino_t Inode = 0;
        std::string Resolved; // of a file not there yet
    };
    std::vector<TOutput> FOutputs;
};

// A command's one output, written as TToolOutputs writes it.
void WriteOutput(const std::string &path, std::string_view bytes);
