#include "cli/render_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "cli/commands.h"
#include "cli/control_values.h"
#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/frame_chunks.h"
#include "cli/frame_report.h"
#include "cli/frame_writer.h"
#include "cli/image_file.h"
#include "cli/progress.h"
#include "cli/render_pipeline.h"
#include "cli/render_plan.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A missing frame of an input sequence is found before any is rendered.
void check_inputs_exist(const RenderRequest& request)
{
    if (!reads_input_per_frame(request)) return;
    for (const int frame : request.frames) {
        const fs::path path = request.input->name(frame);
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            fail(ExitCode::input, "cannot read input \"" + path.string() + "\" for frame " +
                                      std::to_string(frame) + ": " +
                                      system_reason(ec ? ec.value() : ENOENT));
        }
    }
}

// An output that is one of the input's files (by any name or link, any member
// of an input sequence) is refused before anything renders, unless
// --overwrite-input says to replace it.
void check_output_is_not_input(const RenderRequest& request)
{
    if (!request.input || request.input->pattern() == "-" || request.write.output == "-" ||
        request.overwrite_input)
        return;
    std::vector<int> members = request.input->existing_frames();
    members.insert(members.end(), request.frames.begin(), request.frames.end());
    std::map<std::pair<dev_t, ino_t>, fs::path> inputs;
    for (const int frame : members) {
        const fs::path path = request.input->name(frame);
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            inputs.emplace(std::pair{info.st_dev, info.st_ino}, path);
    }
    for (const int frame : request.frames) {
        const fs::path path = request.output.name(frame);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) continue;
        const auto same = inputs.find(std::pair{info.st_dev, info.st_ino});
        if (same == inputs.end()) continue;
        usage_error("--output: " + in_quotes(path) + " is the input file " +
                    in_quotes(same->second) + ", which frame " + std::to_string(frame) +
                    " would replace; name another output, or give --overwrite-input to replace it");
    }
}

// Reads an open input file as the frame's input world, where --origin or the
// file puts it; `record` gets the frame's position and what the input carries.
std::unique_ptr<simhost::World> layer_from(InputFile& file, const RenderRequest& request,
                                           const RenderPlan& plan, const ColourSpaces& spaces,
                                           FrameRecord& record)
{
    const ColourSpaces::Conversion conversion =
        spaces.conversion(input_space(file.colour_space(), request, spaces), plan.working_space,
                          "input \"" + file.name() + "\"");
    const int origin_x = request.origin ? static_cast<int>(request.origin->x) : file.origin_x();
    const int origin_y = request.origin ? static_cast<int>(request.origin->y) : file.origin_y();
    const LayerImage image = file.read(conversion, request.write.layer.has_value());
    record.carried = image.carried;
    record.loses_16bit_codes = image.loses_16bit_codes;
    auto world = std::make_unique<simhost::World>(
        layer_world(image, plan.depth, request.downsample, origin_x, origin_y));
    record.windows.origin_x = world->world_spec().origin_x;
    record.windows.origin_y = world->world_spec().origin_y;
    return world;
}

// The input world of a solid layer.
std::unique_ptr<simhost::World> solid_layer(const RenderRequest& request, const RenderPlan& plan)
{
    simhost::WorldSpec spec;
    spec.width = plan.windows.display_width;
    spec.height = plan.windows.display_height;
    spec.format = plan.depth.format();
    spec.origin_x = plan.windows.origin_x;
    spec.origin_y = plan.windows.origin_y;
    auto world = std::make_unique<simhost::World>(spec);
    const ColorValue& fill = request.fill;
    world->fill(simhost::ColorF{fill.alpha, fill.red, fill.green, fill.blue});
    return world;
}

// Renders the plan's frames into their files, one after the other on this
// thread, while the writers write them. Notes on stderr each control that the
// module disables under the first frame's settings, and each choice the writer
// makes for the file, once.
class SequenceRender {
public:
    SequenceRender(const RenderRequest& request, const RenderPlan& plan, const ColourSpaces& spaces,
                   std::ostream& out, std::ostream& err, std::ostream& notes)
        : request_(request),
          plan_(plan),
          spaces_(spaces),
          notes_(notes),
          report_(request.write.output == "-" ? err : out)
    {
    }

    // The first frame's input world, already read, with `first`'s record of it
    // and `traits` what the file brings to the writing. Returns how many frames
    // were left as they were (--skip-existing).
    int run(const ParsedOptions& options, std::unique_ptr<simhost::World> input,
            const FrameRecord& first, std::optional<InputTraits> traits);

private:
    void start_effect(const ParsedOptions& options);
    // The plan's frames whose files are not yet whole, judged by how the first
    // frame would be written.
    void skip_existing();
    // Renders the frame at `index` and hands it over; false once the run stops.
    bool render_one(int index, FrameWriters& writers);
    void render_into(const FrameFile& frame, simhost::World& output, FrameRecord& record);
    void write_one(const simhost::World& world, const FrameFile& file,
                   const std::function<void()>& before_commit);
    void written(const FrameFile& file, Progress& progress);

    const RenderRequest& request_;
    const RenderPlan& plan_;
    const ColourSpaces& spaces_;
    std::ostream& notes_;  // stderr, or nothing under -q
    std::ostream& report_;
    std::optional<EffectRun> run_;
    Provenance provenance_;
    std::unique_ptr<simhost::World> input_;
    FrameRecord first_;
    std::vector<int> frames_;  // the frames this run renders
    int input_frame_ = 0;      // the frame whose input input_ holds
    // How every frame is written, decided (and noted on stderr) once, before the
    // writers take stderr for the image library's messages.
    std::optional<WriteSettings> settings_;
    std::optional<InputTraits> traits_;
    // Records of the frames between their render and their file's name.
    std::mutex records_mutex_;
    std::map<int, FrameRecord> records_;
};

int SequenceRender::run(const ParsedOptions& options, std::unique_ptr<simhost::World> input,
                        const FrameRecord& first, std::optional<InputTraits> traits)
{
    input_ = std::move(input);
    input_frame_ = plan_.frames.front();
    frames_ = plan_.frames;
    first_ = first;
    first_.windows.origin_x = input_->world_spec().origin_x;
    first_.windows.origin_y = input_->world_spec().origin_y;
    traits_ = std::move(traits);
    start_effect(options);
    if (request_.skip_existing) skip_existing();
    notes_.flush();
    const int count = static_cast<int>(frames_.size());
    const int skipped = static_cast<int>(plan_.frames.size()) - count;
    if (count == 0) {
        run_->finish();
        return skipped;
    }
    Progress progress(count, progress_mode(request_.quiet, request_.verbose,
                                           ::isatty(STDERR_FILENO) != 0, count));
    FrameWriters writers(
        request_.writers, count,
        [this](const simhost::World& world, const FrameFile& file,
               const std::function<void()>& before_commit) {
            write_one(world, file, before_commit);
        },
        [this, &progress](const FrameFile& file) { written(file, progress); });
    for (int i = 0; i < count && render_one(i, writers); ++i) {
    }
    try {
        writers.finish();
    } catch (...) {
        progress.finish();
        throw;
    }
    progress.finish();
    run_->finish();
    return skipped;
}

void SequenceRender::skip_existing()
{
    simhost::Session& session = run_->session();
    Provenance first = provenance_;
    first.controls = control_values(session, session.frame_time(plan_.frames.front()));
    settings_ = write_settings_for(request_.write, *input_, first_.windows, plan_.working_space,
                                   spaces_, first, traits_, notes_);
    std::erase_if(frames_, [&](int frame) {
        return holds_whole_frame(request_.output.name(frame), *settings_,
                                 input_->world_spec().width, input_->world_spec().height);
    });
}

void SequenceRender::start_effect(const ParsedOptions& options)
{
    run_.emplace(RunSettings{request_.module, plan_.layer_width, plan_.layer_height});
    simhost::Session& session = run_->session();
    session.set_frame_rate(request_.rate.num, request_.rate.den);
    apply_controls(session, options, &notes_);
    session.set_current_frame(plan_.frames.front());
    run_->update_params_ui();
    for (const auto& [name, value] : options.all()) {
        const ControlOption* control = find_control_option(name);
        if (control == nullptr) continue;
        if (run_->disabled(session.find_param(control->control))) {
            notes_ << "velkorramp: note: \"" << control->control
                   << "\" is disabled under these settings, so " << name << " has no effect\n";
        }
    }
    provenance_.module =
        request_.module.filename().string() + " " + module_version_text(run_->module_version());
    provenance_.layer = layer_text(request_, plan_);
    provenance_.working_space = plan_.working_space;
}

bool SequenceRender::render_one(int index, FrameWriters& writers)
{
    const int number = frames_[static_cast<std::size_t>(index)];
    const FrameFile frame{index, number,
                          request_.write.output == "-" ? fs::path("-")
                                                       : request_.output.name(number)};
    // Every frame lies where the first does, unless its own input file moves it.
    FrameRecord record = first_;
    if (index > 0) record.read_seconds = 0;
    try {
        if (plan_.input_per_frame && number != input_frame_) {
            // The last frame's input goes before the next one comes.
            const Clock::time_point read_start = Clock::now();
            input_.reset();
            InputFile next(request_.input->name(number));
            check_same_layer(header_of(next), number, plan_);
            input_ = layer_from(next, request_, plan_, spaces_, record);
            input_frame_ = number;
            record.read_seconds = seconds_since(read_start);
        }
        std::unique_ptr<simhost::World> output = writers.next_world(input_->world_spec());
        if (!output) return false;
        render_into(frame, *output, record);
        {
            const std::lock_guard<std::mutex> lock(records_mutex_);
            records_[index] = std::move(record);
        }
        writers.write(frame, std::move(output));
        return true;
    } catch (const Failure& failure) {
        writers.fail(frame, failure.code(), failure.what());
    } catch (const std::bad_alloc&) {
        writers.fail(frame, ExitCode::memory, "out of memory: " + frame_need_text(plan_.memory));
    }
    return false;
}

void SequenceRender::render_into(const FrameFile& frame, simhost::World& output,
                                 FrameRecord& record)
{
    const Clock::time_point render_start = Clock::now();
    simhost::Session& session = run_->session();
    session.set_current_frame(frame.frame);
    simhost::RenderOptions render;
    render.input_world = input_.get();
    render.output_world = &output;
    render.threads = request_.threads;
    const Downsample& downsample = request_.downsample;
    render.downsample_x =
        PF_RationalScale{downsample.x.num, static_cast<A_u_long>(downsample.x.den)};
    render.downsample_y =
        PF_RationalScale{downsample.y.num, static_cast<A_u_long>(downsample.y.den)};
    const simhost::RenderResult result = run_->render(render);
    record.bands = result.iterations.empty() ? 0 : result.iterations.front().iterations;
    record.width = output.width();
    record.height = output.height();
    record.render_seconds = seconds_since(render_start);
    record.provenance = provenance_;
    record.provenance.controls = control_values(session, session.frame_time(frame.frame));
    if (!settings_) {
        settings_ = write_settings_for(request_.write, output, record.windows, plan_.working_space,
                                       spaces_, record.provenance, traits_, notes_);
        notes_.flush();
    }
}

void SequenceRender::write_one(const simhost::World& world, const FrameFile& file,
                               const std::function<void()>& before_commit)
{
    const Clock::time_point write_start = Clock::now();
    WriteSettings settings = *settings_;
    {
        const std::lock_guard<std::mutex> lock(records_mutex_);
        const FrameRecord& record = records_.at(file.index);
        settings.windows = record.windows;
        settings.provenance = record.provenance;
        settings.carried = record.carried;
    }
    write_frame(world, file.path, settings, before_commit);
    const double seconds = seconds_since(write_start);
    const std::lock_guard<std::mutex> lock(records_mutex_);
    records_.at(file.index).write_seconds = seconds;
}

void SequenceRender::written(const FrameFile& file, Progress& progress)
{
    progress.frame_done();
    FrameRecord record;
    {
        const std::lock_guard<std::mutex> lock(records_mutex_);
        record = std::move(records_.at(file.index));
        records_.erase(file.index);
    }
    if (request_.verbose)
        progress.print(report_, report_text(request_, plan_, file, *settings_, record));
}

// Opens the first input (its header only), makes the plan, weighs it, reads
// the first input's pixels and renders. Returns how many frames were left as
// they were.
int render_frames(const RenderRequest& request, const ParsedOptions& options,
                  const ColourSpaces& spaces, RenderPlan& plan, std::ostream& out,
                  std::ostream& err, std::ostream& notes)
{
    const Clock::time_point read_start = Clock::now();
    std::optional<InputFile> file;
    std::optional<InputHeader> header;
    if (request.input) {
        check_inputs_exist(request);
        file.emplace(request.input->name(request.frames.front()));
        header = header_of(*file);
    }
    plan = plan_render(request, header ? &*header : nullptr, spaces);
    check_frame_fits(plan.memory,
                     request.memory_limit ? *request.memory_limit : machine_memory_budget());
    FrameRecord first;
    first.windows = plan.windows;
    std::unique_ptr<simhost::World> input =
        file ? layer_from(*file, request, plan, spaces, first) : solid_layer(request, plan);
    std::optional<InputTraits> traits;
    if (file) {
        traits.emplace();
        traits->sample_depth = file->sample_depth();
        traits->carried_channels = first.carried->names;
        traits->metadata = first.carried->metadata;
        traits->loses_16bit_codes = first.loses_16bit_codes;
        traits->one_for_one = request.downsample.x.num == request.downsample.x.den &&
                              request.downsample.y.num == request.downsample.y.den;
    }
    file.reset();
    first.read_seconds = seconds_since(read_start);
    return SequenceRender(request, plan, spaces, out, err, notes)
        .run(options, std::move(input), first, std::move(traits));
}

}  // namespace

int render_command(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const ParsedOptions options = parse_options(args, render_options(), "render");
    if (options.has("--help")) {
        out << render_help(module_path(options));
        return 0;
    }
    const RenderRequest request = parse_render_request(options);
    if (request.write.output == "-" && ::isatty(STDOUT_FILENO) != 0) {
        usage_error("-o -: standard output is a terminal, where a " + request.write.format.name +
                    " file is unreadable bytes; redirect it (> frame.png, | oiiotool - ...) or "
                    "name a file");
    }
    check_output_is_not_input(request);
    std::ostream quiet(nullptr);
    std::ostream& notes = request.quiet ? quiet : err;
    if (request.frames_found) {
        notes << "velkorramp: note: --input " << in_quotes(request.input->pattern())
              << " is a sequence; rendering the " << frames_text(request.frames)
              << " that exist (--frames chooses)\n";
    }
    const ColourSpaces spaces;
    if (request.working_space) spaces.resolve("--working-space", *request.working_space);
    if (request.input_space) spaces.resolve("--input-colorspace", *request.input_space);
    if (request.write.colour_space)
        spaces.resolve("--output-colorspace", *request.write.colour_space);
    RenderPlan plan;
    try {
        const int skipped = render_frames(request, options, spaces, plan, out, err, notes);
        return skipped_exit_code(static_cast<int>(request.frames.size()), skipped);
    } catch (const std::bad_alloc&) {
        // The budget is what was free when the frame was weighed; others may have
        // taken it since, or --memory-limit allowed more than there is.
        if (plan.memory.width == 0) throw;
        fail(ExitCode::memory, "out of memory: " + frame_need_text(plan.memory));
    }
}

}  // namespace velkorramp
