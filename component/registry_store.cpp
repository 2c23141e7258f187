#include "ombrix/component/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "ombrix/component/text.h"

namespace component {
namespace {

namespace fs = std::filesystem;

// How long an update waits for another process's update to finish.
constexpr auto kLockPatience = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

ErrorInfo accessError(std::string_view what, const fs::path& p, int errorNumber) {
    return layerError(kErrFileAccess,
                      std::string(what) + " " + quoted(p) + ": " + std::strerror(errorNumber));
}

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

fs::path homeDirectory() {
    if (const char* home = environment("HOME"))
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, reporting the outcome (a late write error shows up here).
    int close() { return ::close(std::exchange(fd_, -1)); }

  private:
    int fd_;
};

// What readFile returns for a file that is there but is no regular file.
constexpr int kNotRegularFile = -1;

// Reads a whole regular file; returns 0, the errno of the failure, or kNotRegularFile. Opening
// without blocking keeps a FIFO in the store's place from hanging the reader.
int readFile(const fs::path& p, std::string& out) {
    FileDescriptor fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return errno;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return kNotRegularFile;
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

int writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Where updates go: a store that is a symbolic link is updated where the link points, so the
// link stays and its target never goes stale. The target need not exist yet.
fs::path updatedFile(const fs::path& store, std::error_code& ec) {
    constexpr int kMostLinks = 40;  // as the kernel allows when it resolves a path
    fs::path file = store;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        std::error_code missing;
        if (!fs::is_symlink(fs::symlink_status(file, missing)))
            return file;
        const fs::path target = fs::read_symlink(file, ec);
        if (ec)
            return file;
        file = (target.is_absolute() ? target : file.parent_path() / target).lexically_normal();
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return file;
}

// A temporary file of an update has the store's name and six more characters (mkstemp).
bool isUpdateTemporary(const fs::path& candidate, const fs::path& store) {
    const std::string name = candidate.filename().string();
    const std::string prefix = store.filename().string() + ".";
    return name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
           name.substr(prefix.size()) != "lock";
}

// Removes what an update killed half-way left behind. Only called under the store's lock, when
// no other update can be writing one.
void removeStaleTemporaries(const fs::path& store) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(store.parent_path(), ec)) {
        if (isUpdateTemporary(entry.path(), store) && entry.is_regular_file(ec))
            fs::remove(entry.path(), ec);
    }
}

// Holds the exclusive update lock of a store, waiting a bounded time for it.
ResultCode lockStore(const fs::path& store, FileDescriptor& lock, ErrorInfo& error) {
    const fs::path lockPath = store.string() + ".lock";
    lock = FileDescriptor(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) {
        error = accessError("Cannot open the lock file", lockPath, errno);
        return kFail;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = accessError("Cannot lock", lockPath, errno);
            return kFail;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = layerError(kErrFileAccess, "The registry file " + quoted(store) +
                                                   " stays locked by another process");
            return kFail;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return kOk;
}

}  // namespace

fs::path RegistryStore::defaultPath() {
    if (const char* named = environment("COMPONENT_REGISTRY"))
        return named;
    fs::path data;
    // Relative values of XDG_DATA_HOME are invalid and ignored.
    if (const char* xdg = environment("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else {
        data = homeDirectory() / ".local" / "share";
    }
    return data / "component" / "registry";
}

ResultCode RegistryStore::read(std::vector<Registration>& out, ErrorInfo& error) const {
    std::string text;
    if (const int failure = readFile(path_, text)) {
        if (failure == ENOENT) {
            out.clear();
            return kOk;
        }
        error = failure == kNotRegularFile
                    ? layerError(kErrFileAccess,
                                 "The registry file " + quoted(path_) + " is not a regular file")
                    : accessError("Cannot read the registry file", path_, failure);
        return kFail;
    }
    return parseRegistry(text, path_.string(), out, error);
}

ResultCode RegistryStore::find(std::string_view progId, Registration& out, ErrorInfo& error) const {
    std::vector<Registration> registrations;
    if (const ResultCode rc = read(registrations, error); !succeeded(rc))
        return rc;
    for (Registration& r : registrations) {
        if (equalsIgnoringCase(r.progId, progId)) {
            out = std::move(r);
            return kOk;
        }
    }
    return kClassNotAvailable;
}

ResultCode RegistryStore::add(const std::vector<Registration>& registrations,
                              ErrorInfo& error) const {
    for (const Registration& r : registrations) {
        if (auto problem = registrationProblem(r)) {
            error = layerError(kErrInvalidArgument, "Cannot register: " + *problem);
            return kInvalidArgument;
        }
    }
    return update(
        [&registrations](std::vector<Registration>& current) {
            std::erase_if(current, [&registrations](const Registration& old) {
                return std::any_of(
                    registrations.begin(), registrations.end(), [&old](const Registration& r) {
                        return r.clsid == old.clsid || equalsIgnoringCase(r.progId, old.progId);
                    });
            });
            current.insert(current.end(), registrations.begin(), registrations.end());
            return true;
        },
        error);
}

ResultCode RegistryStore::remove(const std::vector<Guid>& clsids, ErrorInfo& error) const {
    return update(
        [&clsids](std::vector<Registration>& current) {
            return std::erase_if(current, [&clsids](const Registration& r) {
                       return std::find(clsids.begin(), clsids.end(), r.clsid) != clsids.end();
                   }) > 0;
        },
        error);
}

ResultCode RegistryStore::update(const Change& change, ErrorInfo& error) const {
    std::error_code ec;
    const fs::path file = updatedFile(path_, ec);
    if (!ec)
        fs::create_directories(file.parent_path(), ec);
    if (ec) {
        error = accessError("Cannot create the directory of", path_, ec.value());
        return kFail;
    }
    FileDescriptor lock(-1);
    if (const ResultCode rc = lockStore(file, lock, error); !succeeded(rc))
        return rc;
    removeStaleTemporaries(file);
    std::vector<Registration> registrations;
    if (const ResultCode rc = read(registrations, error); !succeeded(rc))
        return rc;
    if (!change(registrations))
        return kOk;
    return write(file, registrations, error);
}

ResultCode RegistryStore::write(const fs::path& file,
                                const std::vector<Registration>& registrations,
                                ErrorInfo& error) const {
    std::string temporary = file.string() + ".XXXXXX";
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0) {
        error = accessError("Cannot create a temporary file beside", file, errno);
        return kFail;
    }
    int failure = writeAll(fd.get(), formatRegistry(registrations));
    if (!failure && ::fsync(fd.get()) != 0)
        failure = errno;
    if (fd.close() != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temporary.c_str(), file.c_str()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temporary.c_str());
        error = accessError("Cannot write the registry file", file, failure);
        return kFail;
    }
    return kOk;
}

}  // namespace component
