#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include "cli/failure.h"
#include "cli/full_write.h"
#include "cli/message_text.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

fs::path folder_of(const fs::path& path)
{
    return path.parent_path().empty() ? fs::path(".") : path.parent_path();
}

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    if (from.empty()) return text;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// ".k3x9q": a dot and random letters and digits, as long as the final name
// but never longer than 16 bytes.
std::string temporary_name(std::size_t final_length, std::mt19937_64& random)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t length = std::clamp<std::size_t>(final_length, 2, 16);
    std::string name = ".";
    while (name.size() < length) name += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return name;
}

// The first temporary name tried for `target`: drawn from the final name alone
// (FNV-1a of it seeds the letters), so a later run finds what a killed one left.
fs::path own_temporary(const fs::path& target)
{
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : target.filename().string())
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    std::mt19937_64 drawn(hash);
    const std::string name = temporary_name(target.filename().string().size(), drawn);
    return target.parent_path().empty() ? fs::path(name) : target.parent_path() / name;
}

// Creates a new temporary file beside `target`, never opening one that exists:
// the target's own temporary name first, else random ones. The file is locked
// (flock) for as long as `lock` stays open, which says a live writer has it.
int create_beside(const fs::path& target, fs::path& temporary, InterruptGuard& guard, int& lock)
{
    remove_leftover_temporary(target);
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^
                           static_cast<std::uint64_t>(::getpid()));
    const fs::path folder = target.parent_path();
    const std::size_t final_length = target.filename().string().size();
    int error_number = EEXIST;
    for (int attempt = 0; attempt < 100 && error_number == EEXIST; ++attempt) {
        const std::string name = temporary_name(final_length, random);
        temporary = attempt == 0 ? own_temporary(target)
                                 : (folder.empty() ? fs::path(name) : folder / name);
        const int fd = guard.arm(temporary, [&] {
            return ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        });
        if (fd >= 0) {
            // A file system without locks leaves leftovers to be removed by hand.
            ::flock(fd, LOCK_EX | LOCK_NB);
            lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            return fd;
        }
        error_number = errno;
    }
    fail(ExitCode::output,
         "cannot write " + in_quotes(target) + ": " + system_reason(error_number));
}

std::mutex g_left_behind_mutex;
std::vector<fs::path> g_left_behind;

// Removes a temporary file of this run; one that stays is remembered for the
// failure's message.
void remove_temporary(const fs::path& temporary)
{
    if (::unlink(temporary.c_str()) == 0 || errno == ENOENT) return;
    const std::lock_guard<std::mutex> lock(g_left_behind_mutex);
    g_left_behind.push_back(temporary);
}

}  // namespace

std::string left_behind_note()
{
    const std::lock_guard<std::mutex> lock(g_left_behind_mutex);
    if (g_left_behind.empty()) return "";
    std::string note = g_left_behind.size() == 1 ? "; left behind, as it could not be removed: "
                                                 : "; left behind, as they could not be removed: ";
    for (std::size_t i = 0; i < g_left_behind.size(); ++i)
        note += (i > 0 ? ", " : "") + in_quotes(g_left_behind[i]);
    return note;
}

void remove_leftover_temporary(const fs::path& target)
{
    const fs::path leftover = own_temporary(target);
    const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(leftover.c_str());
    ::close(fd);
}

void make_folder_of(const fs::path& path)
{
    std::error_code ec;
    fs::create_directories(folder_of(path), ec);
    if (ec) {
        fail(ExitCode::output, "cannot write " + in_quotes(path) + ": cannot create the folder " +
                                   in_quotes(folder_of(path)) + ": " + system_reason(ec.value()));
    }
}

void check_output_place(const fs::path& path)
{
    const fs::path folder = folder_of(path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        const int error_number = errno;
        if (error_number == ENOENT) {
            fail(ExitCode::output, "cannot write " + in_quotes(path) + ": the folder " +
                                       in_quotes(folder) + " does not exist");
        }
        fail(ExitCode::output,
             "cannot write " + in_quotes(path) + ": " + system_reason(error_number));
    }
    if (!S_ISDIR(info.st_mode)) {
        fail(ExitCode::output,
             "cannot write " + in_quotes(path) + ": " + in_quotes(folder) + " is not a folder");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        fail(ExitCode::output, "cannot write " + in_quotes(path) + ": " + system_reason(errno));
    }
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        fail(ExitCode::output, "cannot write " + in_quotes(path) + ": it is a folder");
    }
}

DescriptorWriter::DescriptorWriter(int fd, const std::string& name) : IOProxy(name, Write), fd_(fd)
{
}

bool DescriptorWriter::seek(int64_t offset)
{
    if (offset < 0) return false;
    m_pos = offset;
    return true;
}

size_t DescriptorWriter::read(void* buf, size_t size)
{
    const size_t n = pread(buf, size, m_pos);
    m_pos += static_cast<int64_t>(n);
    return n;
}

size_t DescriptorWriter::write(const void* buf, size_t size)
{
    const size_t n = pwrite(buf, size, m_pos);
    m_pos += static_cast<int64_t>(n);
    return n;
}

size_t DescriptorWriter::pread(void* buf, size_t size, int64_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(buf) + done, size - done,
                                  offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) record(errno);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t DescriptorWriter::pwrite(const void* buf, size_t size, int64_t offset)
{
    int error = 0;
    const size_t done = write_fully(fd_, buf, size, error, offset);
    if (error != 0) record(error);
    return done;
}

size_t DescriptorWriter::size() const
{
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
}

void DescriptorWriter::record(int error_number)
{
    int none = 0;
    error_.compare_exchange_strong(none, error_number);
}

OutputFile::OutputFile(fs::path target)
    : target_(std::move(target)),
      fd_(create_beside(target_, temporary_, guard_, lock_)),
      writer_(fd_, target_.string())
{
}

OutputFile::~OutputFile()
{
    if (done_) return;
    guard_.disarm([&] {
        if (fd_ >= 0) ::close(fd_);
        remove_temporary(temporary_);
        if (lock_ >= 0) ::close(lock_);
    });
}

void OutputFile::fail(const std::string& message)
{
    if (write_failed()) fail_with_reason(system_reason(writer_.error_number()));
    std::string text = replace_all(first_line(message), temporary_.string(), target_.string());
    text = replace_all(text, temporary_.filename().string(), target_.filename().string());
    fail_with_reason(text.empty() ? "the image library gave no reason" : text);
}

void OutputFile::fail_with_reason(const std::string& reason)
{
    velkorramp::fail(ExitCode::output, "cannot write " + in_quotes(target_) + ": " + reason);
}

void OutputFile::complete()
{
    if (completed_) return;
    if (write_failed()) fail_with_reason(system_reason(writer_.error_number()));
    // Storage that accepts a write may still fail to keep it: the flush and the
    // close are where a full or failing disk shows itself.
    if (::fsync(fd_) != 0 && errno != EINVAL) fail_with_reason(system_reason(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) fail_with_reason(system_reason(errno));
    completed_ = true;
}

void OutputFile::commit()
{
    complete();
    int rename_error = 0;
    guard_.disarm([&] {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            rename_error = errno;
            remove_temporary(temporary_);
        }
        if (lock_ >= 0) ::close(lock_);
    });
    done_ = true;
    if (rename_error != 0) fail_with_reason(system_reason(rename_error));
}

}  // namespace velkorramp
