// An output file that is complete or absent, never anything in between.
//
// The frame is written to a hidden temporary file beside its final name and
// renamed into place only after every step has been checked: each write the
// image library made (with the system's reason if one failed, whether or not
// the library noticed), the library's own error state, the flush to disk and
// the close. Any failure removes the temporary file, keeps the file it would
// have replaced, and names the user's path with the system's reason; the
// temporary name appears in a message only when the file could not be removed
// (files_left_behind). A terminating signal while the file exists removes it
// too (interrupt_guard.h).
//
// The temporary name is a dot and letters and digits, no longer than the final
// name (and at most 16 bytes), so it fits wherever the final name fits. The
// first name tried is drawn from the final name alone, and the writer holds a
// lock on the file while it lives: a run killed where no handler runs (SIGKILL,
// a machine lost) leaves its temporary file unlocked under that name, and the
// next run that writes or skips the same frame removes it. Two runs writing the
// same frame at once each get a file of their own (the second a random name).
#pragma once

#include <OpenImageIO/filesystem.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "cli/interrupt_guard.h"

namespace velkorramp {

// Removes the temporary file that a killed run left for `target`: a regular
// file under the target's own temporary name that no live writer holds.
void remove_leftover_temporary(const std::filesystem::path& target);

// The temporary files this run could not remove (the file system turned
// read-only, or the folder's permissions changed, while they were written), in
// the order they were given up, for the failure that ends the run, since
// nothing else will remove them: "; left behind, as they could not be removed:
// \"out/.k3x9q\", ...", or "" when there are none.
std::string left_behind_note();

// Creates the folder of `path` and those above it where missing (--mkdir); an
// output failure with the system's reason if it cannot.
void make_folder_of(const std::filesystem::path& path);

// An output failure unless the folder of `path` exists and can be written to,
// and `path` itself is not a folder; the message gives the system's reason.
void check_output_place(const std::filesystem::path& path);

// The image library's writes, straight to a descriptor, remembering the first
// error the system reported.
class DescriptorWriter final : public OIIO::Filesystem::IOProxy {
public:
    // `name` is what the library may show in its messages: the user's path.
    DescriptorWriter(int fd, const std::string& name);
    const char* proxytype() const override { return "velkorramp-descriptor"; }
    bool seek(int64_t offset) override;
    size_t read(void* buf, size_t size) override;
    size_t write(const void* buf, size_t size) override;
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    size_t size() const override;

    // The errno of the first failed write or read, or 0.
    int error_number() const { return error_.load(); }

private:
    void record(int error_number);

    int fd_;
    std::atomic<int> error_{0};
};

class OutputFile {
public:
    // Creates the temporary file beside `target`; an output failure with the
    // system's reason if it cannot.
    explicit OutputFile(std::filesystem::path target);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    DescriptorWriter& writer() { return writer_; }
    const std::filesystem::path& target() const { return target_; }
    // The hidden file itself, for the few writers that open files by name.
    const std::filesystem::path& temporary() const { return temporary_; }
    // True once a write through writer() failed.
    bool write_failed() const { return writer_.error_number() != 0; }

    // Raises the output failure for a write the library reported as failed:
    // the system's reason when a write failed, else the library's `message`
    // (one line, the temporary name replaced by the user's path).
    [[noreturn]] void fail(const std::string& message);

    // Checks the writes, flushes the data to disk and closes the file, which is
    // then whole but still under its temporary name.
    void complete();
    // Completes the file if it is not yet, and renames it over the target.
    void commit();

private:
    [[noreturn]] void fail_with_reason(const std::string& reason);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    InterruptGuard guard_;
    int lock_ = -1;  // holds the temporary file's lock until it is renamed or removed
    int fd_ = -1;
    DescriptorWriter writer_;
    bool completed_ = false;
    bool done_ = false;
};

}  // namespace velkorramp
