// What the test host's suites share with the host object: the faults to
// inject, the counts, and the frame being rendered on this thread. Internal to
// ofxhost/.
#pragma once

#include <map>
#include <mutex>

#include "ofxhost/ofx_host.h"

namespace ofxhost::state {

// A fetched image; the output's tiles are copied into the frame on release.
struct Image {
    PropertySet props;
    Frame pixels;  // the image's own memory (output tiles only)
    Frame* target = nullptr;
};

struct Shared {
    std::mutex mutex;
    Faults* faults = nullptr;
    Accounting counts;
    long allocation_calls = 0;
    std::map<void*, std::size_t> blocks;
    std::map<PropertySet*, std::unique_ptr<Image>> images;
    std::vector<std::string> messages;
};

Shared& shared();

// The render in progress on the calling thread.
struct RenderContext {
    const RenderRequest* request = nullptr;
    Frame* output = nullptr;
    OfxRectI window{0, 0, 0, 0};
};
RenderContext& this_thread();

// The suites by name and version, or null (also for a suite the faults hide).
const void* fetch_suite(OfxPropertySetHandle host, const char* name, int version);

inline Effect* effect_of(OfxImageEffectHandle h) { return reinterpret_cast<Effect*>(h); }
inline OfxImageEffectHandle handle_of(Effect* e)
{
    return reinterpret_cast<OfxImageEffectHandle>(e);
}

}  // namespace ofxhost::state
