#include "WholeFile.h"

#include "Errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace {

[[noreturn]] void Fail(const std::string &what, const std::string &fileName, int error) {
    throw EStreamError(what + " \"" + fileName + "\": " + std::strerror(error));
}

// Closes the descriptor on every way out.
class TDescriptor {
public:
    explicit TDescriptor(int descriptor) : FDescriptor(descriptor) {}
    ~TDescriptor() {
        if (FDescriptor >= 0) ::close(FDescriptor);
    }
    TDescriptor(const TDescriptor &) = delete;
    TDescriptor &operator=(const TDescriptor &) = delete;
    int Get() const { return FDescriptor; }
    // Closes now, where the result tells whether buffered data reached the file.
    int Close() { return ::close(std::exchange(FDescriptor, -1)); }

private:
    int FDescriptor;
};

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (the path itself when it is none); a link to a
// file that does not exist yet names the file to create.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) Fail("Cannot follow the link", path, errno);
        target.resize(std::size_t(length));
        path = target.starts_with('/') ? target : FolderOf(path) + '/' + target;
    }
    Fail("Cannot follow the link", path, ELOOP);
}

void WriteAll(int descriptor, std::span<const std::uint8_t> data, const std::string &fileName) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written =
            ::pwrite(descriptor, data.data() + done, data.size() - done, off_t(done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail("Cannot write", fileName, written < 0 ? errno : ENOSPC);
        done += std::size_t(written);
    }
}

// The permissions a new file gets under the process's umask, read without changing it (setting
// it back and forth would race with other threads creating files).
mode_t NewFileMode() {
    mode_t mask = 022;
    TDescriptor status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    char text[4096] = {};
    ssize_t got = 0;
    if (status.Get() >= 0) got = ::read(status.Get(), text, sizeof text - 1);
    if (got > 0) {
        const char *line = std::strstr(text, "\nUmask:");
        if (line) mask = mode_t(std::strtoul(line + 7, nullptr, 8) & 0777);
    }
    return 0666 & ~mask;
}

// Creates a new, empty file only its owner may read, beside the target, under a short name
// nobody else has (a target's name may be as long as a name can be); false with errno set when
// the folder allows none.
bool CreateBeside(const std::string &target, std::string &name, int &descriptor) {
    static std::mt19937_64 random(
        std::random_device{}() ^
        std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        name = folder + ".zentaro-" + suffix;
        // Exclusive creation never follows a link, nor takes an existing file.
        descriptor =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (descriptor >= 0) return true;
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

} // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string &fileName, std::int64_t maxSize) {
    // Non-blocking, so that a FIFO without a writer opens at once and can be refused.
    TDescriptor file(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) Fail("Cannot open file", fileName, errno);
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) Fail("Cannot read file", fileName, errno);
    if (!S_ISREG(status.st_mode))
        throw EStreamError("\"" + fileName + "\" is " + KindOf(status.st_mode));
    if (status.st_size > maxSize) throw EStreamError("File \"" + fileName + "\" is too large");
    std::vector<std::uint8_t> bytes(std::size_t(status.st_size));
    std::size_t done = 0;
    // The file may change while it is read: never past the size it had, nor past the limit.
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail("Cannot read file", fileName, errno);
        if (got == 0) break;
        done += std::size_t(got);
    }
    bytes.resize(done);
    return bytes;
}

TFileReplacement::TFileReplacement(const std::string &fileName, std::span<const std::uint8_t> data)
    : FFileName(fileName), FTarget(FollowLinks(fileName)), FData(data) {
    FExists = ::stat(FTarget.c_str(), &FStatus) == 0;
    if (!FExists && errno != ENOENT) Fail("Cannot write", fileName, errno);
    if (FExists && !S_ISREG(FStatus.st_mode))
        throw EStreamError("\"" + fileName + "\" is " + KindOf(FStatus.st_mode));
    // Even where the user could write it anyway (as root), a file nobody may write stays as it is.
    if (FExists && ((FStatus.st_mode & 0222) == 0 || ::access(FTarget.c_str(), W_OK) != 0))
        Fail("Cannot write", fileName, EACCES);
    FInPlace = FExists && FStatus.st_nlink > 1;
    if (!FInPlace && !CreateBeside(FTarget, FTemporary, FDescriptor)) {
        FTemporary.clear();
        const int error = errno;
        if (!FExists || (error != EACCES && error != EPERM)) Fail("Cannot write", fileName, error);
        FInPlace = true;
    }
    try {
        if (FInPlace) {
            Reserve();
        } else {
            WriteAll(FDescriptor, FData, fileName);
            if (::fsync(FDescriptor) != 0) Fail("Cannot write", fileName, errno);
        }
    } catch (...) {
        Drop();
        throw;
    }
}

TFileReplacement::~TFileReplacement() {
    Drop();
}

void TFileReplacement::Drop() {
    if (FDescriptor >= 0) ::close(std::exchange(FDescriptor, -1));
    if (!FTemporary.empty()) ::unlink(std::exchange(FTemporary, {}).c_str());
}

// Opens the file to overwrite and makes sure the disk holds its new size: overwriting it can then
// no longer stop half way for want of space.
void TFileReplacement::Reserve() {
    FDescriptor = ::open(FTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (FDescriptor < 0) Fail("Cannot write", FFileName, errno);
    struct stat opened {};
    if (::fstat(FDescriptor, &opened) != 0) Fail("Cannot write", FFileName, errno);
    if (opened.st_dev != FStatus.st_dev || opened.st_ino != FStatus.st_ino)
        throw EStreamError("\"" + FFileName + "\" was replaced while it was being saved");
    if (FData.empty()) return;
    const int error = ::posix_fallocate(FDescriptor, 0, off_t(FData.size()));
    if (error == 0) return;
    // Whatever the attempt added goes again.
    if (::fstat(FDescriptor, &opened) == 0 && opened.st_size != FStatus.st_size)
        (void)::ftruncate(FDescriptor, FStatus.st_size);
    Fail("Cannot write", FFileName, error);
}

void TFileReplacement::Commit() {
    if (FDescriptor < 0) throw EStreamError("\"" + FFileName + "\" was saved already");
    if (FInPlace) {
        // The new bytes over the old, then the rest cut off: the reserved space holds them all.
        WriteAll(FDescriptor, FData, FFileName);
        if (::ftruncate(FDescriptor, off_t(FData.size())) != 0 || ::fsync(FDescriptor) != 0 ||
            ::close(std::exchange(FDescriptor, -1)) != 0)
            Fail("Cannot write", FFileName, errno);
        return;
    }
    // Only the finished file takes the target's owner and permissions. Owner first: changing it
    // clears the set-id bits the mode then puts back. Only root may give a file away; anyone
    // else keeps the file as their own, in the target's group where they belong to it.
    if (FExists) {
        if (::fchown(FDescriptor, FStatus.st_uid, FStatus.st_gid) != 0) {
            if (errno != EPERM) Fail("Cannot write", FFileName, errno);
            (void)::fchown(FDescriptor, uid_t(-1), FStatus.st_gid);
        }
    }
    if (::fchmod(FDescriptor, FExists ? FStatus.st_mode & 07777 : NewFileMode()) != 0 ||
        ::close(std::exchange(FDescriptor, -1)) != 0) {
        const int error = errno;
        Drop();
        Fail("Cannot write", FFileName, error);
    }
    if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) {
        const int error = errno;
        Drop();
        Fail("Cannot replace", FFileName, error);
    }
    FTemporary.clear();
    // The new name is durable only once the folder is synced too.
    TDescriptor folder(::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) ::fsync(folder.Get());
}

void ReplaceWholeFile(const std::string &fileName, std::span<const std::uint8_t> data) {
    TFileReplacement(fileName, data).Commit();
}
