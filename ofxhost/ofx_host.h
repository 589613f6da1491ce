// A small OpenFX host for the tests: it loads a plug-in bundle, runs the
// standard's actions in the standard's order (Load, Describe, DescribeInContext
// per context, CreateInstance, clip preferences, regions, begin/render/end over
// tiles, threads and render scales, DestroyInstance, Unload), checks what the
// plug-in writes against the standard (property_set.h), counts the memory it
// takes and gives back, and injects failures: a suite missing, an allocation
// refused, a render aborted, a source image that cannot be fetched.
//
//   ofxhost::Host host;
//   if (auto st = host.load(bundle); !st.empty()) fail(st);
//   host.describe();
//   ofxhost::Effect* fx = nullptr;
//   host.create_instance(kOfxImageEffectContextFilter, {1920, 1080}, &fx);
//   host.set_param(fx, "shape", {2});
//   ofxhost::Frame out;
//   ofxhost::RenderRequest r{.depth = kOfxBitDepthFloat, .source = &source};
//   OfxStatus st = host.render(fx, r, out);
//   host.destroy_instance(fx);
//   host.unload();  // then host.accounting().balanced()
//
// One host object at a time per process: the suites are plain C functions.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ofx/ofx_api.h"
#include "ofxhost/property_set.h"

namespace simhost {
class SharedLibrary;
}

namespace ofxhost {

// Pixels of one image, rows bottom-up as the standard lays them out: row 0 is
// y = bounds.y1. RGBA, `depth` one of the kOfxBitDepth strings.
struct Frame {
    std::string depth;
    OfxRectI bounds{0, 0, 0, 0};
    std::size_t pixel_bytes = 0;
    std::ptrdiff_t row_bytes = 0;
    std::vector<unsigned char> data;

    static Frame blank(const std::string& depth, const OfxRectI& bounds, std::size_t padding = 0);
    int width() const { return bounds.x2 - bounds.x1; }
    int height() const { return bounds.y2 - bounds.y1; }
    unsigned char* pixel(int x, int y)
    {
        return data.data() + (y - bounds.y1) * row_bytes +
               static_cast<std::ptrdiff_t>(x - bounds.x1) *
                   static_cast<std::ptrdiff_t>(pixel_bytes);
    }
    const unsigned char* pixel(int x, int y) const { return const_cast<Frame*>(this)->pixel(x, y); }
};

// A pixel rectangle of a render in canonical coordinates, and back (floor of
// the low edges, ceiling of the high ones).
OfxRectD canonical_of(const OfxRectI& pixels, const OfxPointD& scale, double aspect);
OfxRectI pixels_of(const OfxRectD& canonical, const OfxPointD& scale, double aspect);

// Bytes of one RGBA pixel of a depth; 0 for an unknown depth.
std::size_t rgba_pixel_bytes(const std::string& depth);

struct Clip {
    std::string name;
    PropertySet props;
    const Frame* frame = nullptr;  // a source's pixels at the scale of the render
};

struct Param {
    std::string type;
    PropertySet props;
    std::vector<double> value;
};

struct ParamSet {
    PropertySet props;
    std::vector<std::unique_ptr<Param>> params;
    Param* find(const std::string& name) const;
};

struct Effect {
    PropertySet props;
    ParamSet params;
    std::vector<std::unique_ptr<Clip>> clips;
    std::string context;
    bool instance = false;
    Clip* find_clip(const std::string& name) const;
};

struct InstanceSetup {
    double width = 64;  // project size, canonical
    double height = 64;
    double pixel_aspect = 1;
    bool source_connected = false;  // when the context has a source
};

struct RenderRequest {
    double time = 0;
    OfxPointD scale{1, 1};
    std::string depth = kOfxBitDepthFloat;
    int tile_width = 0;  // 0: one window, the whole frame
    int tile_height = 0;
    unsigned threads = 4;           // what the multi-thread suite reports as CPUs
    const Frame* source = nullptr;  // at the render's scale; null: not connected
    std::string source_premultiplication = kOfxImageUnPreMultiplied;
    std::size_t row_padding = 0;  // bytes after each row of the host's images
};

struct Faults {
    std::set<std::string> missing_suites;
    long fail_allocation = -1;  // the n-th memory suite allocation (0-based) fails
    bool abort_render = false;
    bool fail_multithread = false;
    bool fail_source_fetch = false;
};

struct Accounting {
    long allocations = 0;  // memory suite allocations that succeeded
    long frees = 0;
    long live_blocks = 0;
    long images_fetched = 0;
    long images_released = 0;
    long live_instances = 0;
    bool balanced() const
    {
        return live_blocks == 0 && images_fetched == images_released && live_instances == 0;
    }
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    Faults& faults() { return faults_; }
    Accounting accounting() const;
    std::vector<std::string> messages() const;

    // Opens <bundle>/Contents/<this platform>/<name>.ofx, checks its plug-in
    // record, calls setHost and Load. An empty string on success, else why not.
    std::string load(const std::string& bundle);
    OfxStatus load_status() const { return load_status_; }
    const OfxPlugin* plugin() const { return plugin_; }
    OfxStatus unload();

    OfxStatus describe();
    const Effect& descriptor() const { return descriptor_; }
    // The context's descriptor, made by the first call in that context.
    OfxStatus describe_in_context(const std::string& context, Effect** descriptor = nullptr);

    OfxStatus create_instance(const std::string& context, const InstanceSetup& setup,
                              Effect** instance);
    OfxStatus destroy_instance(Effect* instance);
    // A parameter's value, then the instance-changed bracket for it.
    OfxStatus set_param(Effect* instance, const std::string& name, std::vector<double> value);
    OfxStatus clip_preferences(Effect* instance, PropertySet& out);
    OfxStatus region_of_definition(Effect* instance, const RenderRequest& r, OfxRectD& rod);
    OfxStatus regions_of_interest(Effect* instance, const RenderRequest& r, const OfxRectD& region,
                                  OfxRectD& source_roi);
    // The whole frame: begin sequence, one render per tile, end sequence. `out`
    // is reused when it already has the frame's depth and bounds.
    OfxStatus render(Effect* instance, const RenderRequest& r, Frame& out);

    OfxStatus call(const char* action, const void* handle, PropertySet* in, PropertySet* out);

private:
    std::unique_ptr<simhost::SharedLibrary> library_;
    OfxPlugin* plugin_ = nullptr;
    OfxHost host_record_{};
    PropertySet host_props_;
    OfxStatus load_status_ = kOfxStatFailed;
    Effect descriptor_;
    std::vector<std::unique_ptr<Effect>> context_descriptors_;
    std::vector<std::unique_ptr<Effect>> instances_;
    Faults faults_;
};

}  // namespace ofxhost
