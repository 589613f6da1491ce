// The render action: the window of the output image drawn by the ramp engine,
// one band of rows per host thread.
#pragma once

#include "ofx/ofx_api.h"

namespace velkor::ofx {

OfxStatus render(OfxImageEffectHandle effect, OfxPropertySetHandle in_args);

}  // namespace velkor::ofx
