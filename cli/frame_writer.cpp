#include "cli/frame_writer.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "cli/failure.h"
#include "cli/file_rows.h"
#include "cli/full_write.h"
#include "cli/format_conventions.h"
#include "cli/library_messages.h"
#include "cli/memory_budget.h"
#include "cli/output_file.h"
#include "cli/sample_conversions.h"
#include "cli/webp_file.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

// Standard output gets the whole file at once, each write checked, after the
// writer has finished it in memory (TIFF's writer goes back to fill in offsets).
void copy_to_stdout(const std::vector<unsigned char>& bytes)
{
    int error = 0;
    write_fully(STDOUT_FILENO, bytes.data(), bytes.size(), error);
    if (error != 0)
        fail(ExitCode::output, "cannot write to standard output: " + system_reason(error));
}

// The errors a full, read-only or failing disk gives a write: the ones whose
// own words say more than an image library's.
bool storage_error(int error_number)
{
    return error_number == ENOSPC || error_number == EDQUOT || error_number == EFBIG ||
           error_number == EROFS || error_number == EIO;
}

// A writer can report success for a file its own reader cannot open; the
// file's header must give back the size and channels that were written. It is
// read by the format's own reader: the temporary file's name has no extension,
// and a reader found by trying each in turn can be another one (ffmpeg's reads
// a PNG as RGB).
// With `pixels`, every row must also decode, read a band at a time.
std::string read_back_problem(const std::string& name, const std::string& format,
                              OIIO::Filesystem::IOProxy* proxy, const OIIO::ImageSpec& spec,
                              bool pixels)
{
    LibraryMessages quiet;
    auto in = OIIO::ImageInput::create(format);
    OIIO::ImageSpec got;
    if (!in || (proxy != nullptr && !in->set_ioproxy(proxy)) || !in->open(name, got)) {
        const std::string library_error = in ? in->geterror() : OIIO::geterror();
        return "the written file does not read back: " +
               reason_of(library_error, quiet.text(), "no reason given");
    }
    // WebP's encoder leaves out an alpha channel that is opaque everywhere.
    const bool alpha_left_out = format == "webp" && spec.nchannels == 4 && got.nchannels == 3;
    if (got.width != spec.width || got.height != spec.height ||
        (got.nchannels != spec.nchannels && !alpha_left_out)) {
        return "the written file reads back as " + std::to_string(got.width) + "x" +
               std::to_string(got.height) + " with " + std::to_string(got.nchannels) +
               " channels, not as written";
    }
    const int rows = std::clamp(write_band_rows(got.width, 32), 1, std::max(1, got.height));
    std::vector<float> band(pixels ? static_cast<std::size_t>(rows) * got.width * got.nchannels
                                   : 0);
    for (int y = 0; pixels && y < got.height; y += rows) {
        const int end = std::min(got.height, y + rows);
        if (!in->read_scanlines(0, 0, got.y + y, got.y + end, 0, 0, got.nchannels,
                                OIIO::TypeDesc::FLOAT, band.data())) {
            const std::string library_error = in->geterror();
            return "its pixels do not read: " +
                   reason_of(library_error, quiet.text(), "no reason given");
        }
    }
    in->close();
    quiet.text();
    return {};
}

template <class Fail>
void check_reads_back(const std::string& name, const std::string& format,
                      OIIO::Filesystem::IOProxy* proxy, const OIIO::ImageSpec& spec, Fail failed)
{
    const std::string problem = read_back_problem(name, format, proxy, spec, false);
    if (!problem.empty()) failed(problem);
}

// A WebP file with alpha, encoded by libwebp (webp_file.h): the quality of
// "webp:Q" (100 without one, as OpenImageIO's writer), or "lossless".
std::vector<std::uint8_t> webp_file_bytes(const simhost::World& frame,
                                          const WriteSettings& settings, const Region& region,
                                          const std::function<void(const std::string&)>& failed)
{
    const bool lossless = settings.compression && settings.compression->name == "lossless";
    const float quality =
        settings.compression ? static_cast<float>(settings.compression->level.value_or(100)) : 100;
    WebpEncoding encoded = encode_webp_rgba(straight_u8_image(frame, settings, region),
                                            region.width, region.height, quality, lossless);
    if (!encoded.error.empty()) failed(encoded.error);
    return std::move(encoded.bytes);
}

[[noreturn]] void stdout_failure(const std::string& reason)
{
    fail(ExitCode::output, "cannot write to standard output: " + reason);
}

// A whole file made in memory, checked by its format's reader, then written to
// standard output.
void hand_to_stdout(std::vector<unsigned char>& bytes, const std::string& format,
                    const OIIO::ImageSpec& spec, const std::function<void()>& before_commit)
{
    OIIO::Filesystem::IOMemReader reader(bytes.data(), bytes.size());
    check_reads_back("-", format, &reader, spec, stdout_failure);
    if (before_commit) before_commit();
    copy_to_stdout(bytes);
}

}  // namespace

bool WriteSettings::keeps_origin() const
{
    if (!format.stores_origin) return false;
    const bool negative =
        windows.origin_x + windows.display_x < 0 || windows.origin_y + windows.display_y < 0;
    return !negative || format.stores_negative_origin;
}

namespace {

// The file made whole in memory, checked, then copied to standard output.
void write_to_stdout(const simhost::World& frame, const WriteSettings& settings,
                     const Region& region, const OIIO::ImageSpec& spec,
                     std::unique_ptr<OIIO::ImageOutput>& out, bool by_name, LibraryMessages& quiet,
                     const std::function<void()>& before_commit)
{
    const auto failed = stdout_failure;
    const auto library_failed = [&](const char* otherwise) {
        const std::string library_error = out ? out->geterror() : OIIO::geterror();
        failed(reason_of(library_error, quiet.text(), otherwise));
    };
    // The whole file is made in memory first (TIFF's writer goes back to fill
    // in offsets); by name, in an anonymous in-memory file.
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    const int anonymous = by_name ? ::memfd_create("velkorramp-output", MFD_CLOEXEC) : -1;
    if (by_name && anonymous < 0) failed(system_reason(errno));
    const std::string name =
        by_name ? "/proc/self/fd/" + std::to_string(anonymous) : std::string("-");
    if (!out || (!by_name && !out->set_ioproxy(&memory)) || !out->open(name, spec)) {
        library_failed("the writer would not start");
    }
    const bool written = write_all(*out, frame, settings, region, spec);
    if (!written || !out->close() || out->has_error())
        library_failed("the writer failed without a reason");
    out.reset();
    if (by_name) {
        struct stat info {};
        const bool sized = ::fstat(anonymous, &info) == 0;
        bytes.resize(sized ? static_cast<std::size_t>(info.st_size) : 0);
        const bool read = sized && ::pread(anonymous, bytes.data(), bytes.size(), 0) ==
                                       static_cast<ssize_t>(bytes.size());
        const int error_number = errno;
        ::close(anonymous);
        if (!read) failed(system_reason(error_number));
    }
    quiet.text();
    hand_to_stdout(bytes, settings.format.oiio_format, spec, before_commit);
}

// A WebP file with alpha, encoded by libwebp (webp_file.h), to standard output
// or beside its name.
void write_webp(const fs::path& path, const simhost::World& frame, const WriteSettings& settings,
                const Region& region, const OIIO::ImageSpec& spec,
                const std::function<void()>& before_commit)
{
    if (path == "-") {
        std::vector<std::uint8_t> bytes = webp_file_bytes(frame, settings, region, stdout_failure);
        hand_to_stdout(bytes, settings.format.oiio_format, spec, before_commit);
        return;
    }
    OutputFile file(path);
    const auto failed = [&](const std::string& reason) { file.fail(reason); };
    const std::vector<std::uint8_t> bytes = webp_file_bytes(frame, settings, region, failed);
    if (file.writer().write(bytes.data(), bytes.size()) != bytes.size()) file.fail("");
    check_reads_back(file.temporary().string(), settings.format.oiio_format, nullptr, spec, failed);
    file.complete();
    if (before_commit) before_commit();
    file.commit();
}

// The file made beside its name, checked, then renamed into place.
void write_to_file(const fs::path& path, const simhost::World& frame, const WriteSettings& settings,
                   const Region& region, const OIIO::ImageSpec& spec,
                   std::unique_ptr<OIIO::ImageOutput>& out, bool by_name, LibraryMessages& quiet,
                   const std::function<void()>& before_commit)
{
    OutputFile file(path);
    if (!out) {
        const std::string library_error = OIIO::geterror();
        file.fail(reason_of(library_error, quiet.text(), "no writer for this format"));
    }
    // Where the writer takes one, it sees only the descriptor, so every byte it
    // writes is checked there, and its messages name the user's path. Written
    // by name, the flush and close of the descriptor still check what reached
    // the disk.
    const bool opened = by_name
                            ? out->open(file.temporary().string(), spec)
                            : out->set_ioproxy(&file.writer()) && out->open(path.string(), spec);
    if (!opened) {
        const std::string library_error = out->geterror();
        file.fail(reason_of(library_error, quiet.text(), "the writer would not start"));
    }
    errno = 0;
    const bool written = write_all(*out, frame, settings, region, spec);
    const int write_errno = errno;
    const bool closed = out->close();
    const int storage_errno = storage_error(write_errno) ? write_errno : errno;
    if (!written || !closed || out->has_error() || file.write_failed()) {
        const std::string library_error = out->geterror();
        // Written by name, the library's own descriptor met the error; its
        // message ("TIFFWriteScanline failed") says less than the system's.
        if (by_name && storage_error(storage_errno)) file.fail(system_reason(storage_errno));
        file.fail(reason_of(library_error, quiet.text(), "the writer failed without a reason"));
    }
    out.reset();
    quiet.text();
    check_reads_back(file.temporary().string(), settings.format.oiio_format, nullptr, spec,
                     [&](const std::string& reason) { file.fail(reason); });
    file.complete();
    if (before_commit) before_commit();
    file.commit();
}

}  // namespace

bool holds_whole_frame(const fs::path& path, const WriteSettings& settings, int frame_width,
                       int frame_height)
{
    remove_leftover_temporary(path);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const OIIO::ImageSpec spec =
        file_spec(written_region(frame_width, frame_height, settings), settings);
    return read_back_problem(path.string(), settings.format.oiio_format, nullptr, spec, true)
        .empty();
}

void write_frame(const simhost::World& frame, const fs::path& path, const WriteSettings& settings,
                 const std::function<void()>& before_commit)
{
    const Region region = written_region(frame.width(), frame.height(), settings);
    const OIIO::ImageSpec spec = file_spec(region, settings);
    if (writer_unpremultiplies_regardless(settings.format) && spec.alpha_channel >= 0) {
        write_webp(path, frame, settings, region, spec, before_commit);
        return;
    }
    LibraryMessages quiet;
    auto out = OIIO::ImageOutput::create(settings.format.oiio_format);
    // OpenImageIO 2.4's TIFF writer, given a proxy, leaves the image directory
    // out of a file that has an Exif directory and still reports success; such
    // a file, and the formats whose writers open files themselves, are written
    // by name.
    const bool exif_tiff =
        settings.format.oiio_format == "tiff" && spec.get_int_attribute("tiff:write_exif") != 0;
    const bool by_name = !out || !out->supports("ioproxy") || exif_tiff;

    if (path == "-") {
        write_to_stdout(frame, settings, region, spec, out, by_name, quiet, before_commit);
    } else {
        write_to_file(path, frame, settings, region, spec, out, by_name, quiet, before_commit);
    }
}

}  // namespace velkorramp
