#include "ToolOutputs.h"

#include "ZtrTool.h"
#include "stream/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

[[noreturn]] void Refuse(const std::string &path, const std::string &reason) {
    throw ToolError("Cannot write \"" + path + "\": " + reason);
}

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The descriptor number after one of the prefixes that name our own descriptors, or -1.
int NumberedDescriptor(const std::string &path) {
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string_view prefix :
         {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
          std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
        if (!path.starts_with(prefix)) continue;
        int number = -1;
        const char *first = path.data() + prefix.size(), *last = path.data() + path.size();
        const auto [end, error] = std::from_chars(first, last, number);
        return error == std::errc() && end == last && first != last ? number : -1;
    }
    return -1;
}

// The inherited descriptor a name stands for, followed through symbolic links (/dev/stdout is
// one to /proc/self/fd/1, which in turn names whatever the descriptor is open on); -1 for none.
// Reopening such a name would start a file at its beginning, or replace it.
int DescriptorOf(std::string path, std::string &followed) {
    if (path == "-") return STDOUT_FILENO;
    for (int hops = 0; hops < 40; ++hops) {
        followed = path;
        if (path == "/dev/stdout") return STDOUT_FILENO;
        if (path == "/dev/stderr") return STDERR_FILENO;
        if (const int number = NumberedDescriptor(path); number >= 0) return number;
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return -1;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) return -1;
        target.resize(std::size_t(length));
        path = target.starts_with('/') ? target : FolderOf(path) + '/' + target;
    }
    return -1;
}

void WriteStream(int descriptor, std::string_view bytes, const std::string &path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Refuse(path, std::strerror(written < 0 ? errno : ENOSPC));
        bytes.remove_prefix(std::size_t(written));
    }
}

} // namespace

void TToolOutputs::Add(std::string option, std::string path) {
    TOutput output;
    output.Option = std::move(option);
    output.Path = std::move(path);
    std::string followed;
    output.Descriptor = DescriptorOf(output.Path, followed);
    struct stat status {};
    if (output.Descriptor >= 0) {
        const int flags = ::fcntl(output.Descriptor, F_GETFL);
        if (flags < 0 || ::fstat(output.Descriptor, &status) != 0)
            Refuse(output.Path, std::strerror(EBADF));
        if ((flags & O_ACCMODE) == O_RDONLY) Refuse(output.Path, "open for reading only");
        output.Stream = output.Exists = true;
    } else if (::stat(followed.c_str(), &status) == 0) {
        output.Exists = true;
        output.Stream = S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode);
        if (!output.Stream && !S_ISREG(status.st_mode))
            Refuse(output.Path, "not a file, a terminal, a pipe or a character device");
        if (::access(followed.c_str(), W_OK) != 0) Refuse(output.Path, std::strerror(errno));
    } else {
        // A name not taken yet: the folder must take a new file.
        std::error_code error;
        output.Resolved = std::filesystem::weakly_canonical(followed, error).string();
        if (error) output.Resolved = followed;
        if (::access(FolderOf(followed).c_str(), W_OK) != 0)
            Refuse(output.Path, std::strerror(errno));
    }
    output.Device = status.st_dev;
    output.Inode = status.st_ino;
    for (const TOutput &earlier : FOutputs) {
        const bool same = output.Exists ? earlier.Exists && earlier.Device == output.Device &&
                                              earlier.Inode == output.Inode
                                        : !earlier.Exists && earlier.Resolved == output.Resolved;
        if (same)
            throw ToolError((earlier.Option.empty() ? "\"" + earlier.Path + "\"" : earlier.Option) +
                            " and " +
                            (output.Option.empty() ? "\"" + output.Path + "\"" : output.Option) +
                            " name the same file");
    }
    FOutputs.push_back(std::move(output));
}

bool TToolOutputs::WritesStandardOutput() const {
    for (const TOutput &output : FOutputs)
        if (output.Descriptor == STDOUT_FILENO) return true;
    return false;
}

void TToolOutputs::Write(std::span<const std::string_view> contents) const {
    if (contents.size() != FOutputs.size())
        throw std::invalid_argument("TToolOutputs::Write: one text for each output");
    std::vector<std::unique_ptr<TFileReplacement>> files;
    for (std::size_t i = 0; i < FOutputs.size(); ++i)
        if (!FOutputs[i].Stream)
            files.push_back(std::make_unique<TFileReplacement>(
                FOutputs[i].Path,
                std::span(reinterpret_cast<const std::uint8_t *>(contents[i].data()),
                          contents[i].size())));
    std::fflush(stdout);
    for (std::size_t i = 0; i < FOutputs.size(); ++i) {
        const TOutput &output = FOutputs[i];
        if (!output.Stream) continue;
        if (output.Descriptor >= 0) {
            WriteStream(output.Descriptor, contents[i], output.Path);
            continue;
        }
        const int descriptor = ::open(output.Path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (descriptor < 0) Refuse(output.Path, std::strerror(errno));
        try {
            WriteStream(descriptor, contents[i], output.Path);
        } catch (...) {
            ::close(descriptor);
            throw;
        }
        if (::close(descriptor) != 0) Refuse(output.Path, std::strerror(errno));
    }
    for (const std::unique_ptr<TFileReplacement> &file : files)
        file->Commit();
}

void WriteOutput(const std::string &path, std::string_view bytes) {
    TToolOutputs outputs;
    outputs.Add({}, path);
    outputs.Write(std::span(&bytes, 1));
}
