#include "WholeFile.h"

#include "Errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
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
    if (::fsync(descriptor) != 0) Fail("Cannot write", fileName, errno);
}

// Overwrites the file itself: keeps its other names, and works where no new file can be made.
void OverwriteInPlace(const std::string &fileName, std::span<const std::uint8_t> data) {
    TDescriptor file(::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) Fail("Cannot write", fileName, errno);
    if (::ftruncate(file.Get(), off_t(data.size())) != 0) Fail("Cannot write", fileName, errno);
    WriteAll(file.Get(), data, fileName);
    if (file.Close() != 0) Fail("Cannot write", fileName, errno);
}

// Creates a new, empty file beside the target under a name nobody else has; false with errno
// set when the folder allows none.
bool CreateBeside(const std::string &target, std::string &name, int &descriptor) {
    static std::mt19937_64 random(
        std::random_device{}() ^
        std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = target.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + '.' + base + '.' + std::to_string(random() % 1000000000);
        // Exclusive creation never follows a link, nor takes an existing file.
        descriptor =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
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

void ReplaceWholeFile(const std::string &fileName, std::span<const std::uint8_t> data) {
    const std::string target = FollowLinks(fileName);
    struct stat status {};
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) Fail("Cannot write", fileName, errno);
    if (exists && !S_ISREG(status.st_mode))
        throw EStreamError("\"" + fileName + "\" is " + KindOf(status.st_mode));
    // Even where the user could write it anyway (as root), a file nobody may write stays as it is.
    if (exists && ((status.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        Fail("Cannot write", fileName, EACCES);
    if (exists && status.st_nlink > 1) return OverwriteInPlace(target, data);

    std::string temporary;
    int descriptor = -1;
    if (!CreateBeside(target, temporary, descriptor)) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM)) return OverwriteInPlace(target, data);
        Fail("Cannot write", fileName, error);
    }
    TDescriptor file(descriptor);
    try {
        if (exists) {
            // Owner first: changing it may clear the set-id bits the mode then puts back. Only
            // root may give a file away; anyone else keeps the new file as their own.
            if (::fchown(file.Get(), status.st_uid, status.st_gid) != 0 && errno != EPERM)
                Fail("Cannot write", fileName, errno);
            if (::fchmod(file.Get(), status.st_mode & 07777) != 0)
                Fail("Cannot write", fileName, errno);
        }
        WriteAll(file.Get(), data, fileName);
        if (file.Close() != 0) Fail("Cannot write", fileName, errno);
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            Fail("Cannot replace", fileName, errno);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The new name is durable only once the folder is synced too.
    TDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) ::fsync(folder.Get());
}
