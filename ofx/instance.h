// One effect instance: its clips and parameter handles, held in memory from the
// host's memory suite for as long as the instance lives.
#pragma once

#include "ofx/controls.h"
#include "ofx/ofx_api.h"
#include "ofx/ramp_frame.h"

namespace velkor::ofx {

struct Instance {
    OfxImageClipHandle output = nullptr;
    OfxImageClipHandle source = nullptr;  // none in the generator context
    ControlHandles controls{};
};

// The instance behind an effect handle; throws kOfxStatErrBadHandle when it has none.
Instance& instance_of(OfxImageEffectHandle effect);

// Whether the instance's source is present and connected.
bool source_connected(const Instance& instance);

// The canonical rectangle whose top edge the ramp's points are measured from:
// the connected source's region of definition, or the project window.
OfxRectD frame_rect(OfxImageEffectHandle effect, const Instance& instance, OfxTime time);

OfxStatus create_instance(OfxImageEffectHandle effect);
OfxStatus destroy_instance(OfxImageEffectHandle effect);
OfxStatus instance_changed(OfxImageEffectHandle effect, OfxPropertySetHandle in_args);
OfxStatus clip_preferences(OfxImageEffectHandle effect, OfxPropertySetHandle out_args);
OfxStatus region_of_definition(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                               OfxPropertySetHandle out_args);

}  // namespace velkor::ofx
