// The host's suites, fetched once when the binary is loaded. Property, image
// effect, parameter and memory suites are required; without the multi-thread
// suite the plug-in renders on the calling thread, without the message suite
// it only returns its status.
#pragma once

#include "ofx/ofx_api.h"

namespace velkor::ofx {

struct HostSuites {
    const OfxPropertySuiteV1* property = nullptr;
    const OfxImageEffectSuiteV1* effect = nullptr;
    const OfxParameterSuiteV1* param = nullptr;
    const OfxMemorySuiteV1* memory = nullptr;
    const OfxMultiThreadSuiteV1* thread = nullptr;
    const OfxMessageSuiteV1* message = nullptr;
};

// The suites of the current host; empty before Load and after Unload.
const HostSuites& suites();

// Stores the host record (setHost).
void set_host(OfxHost* host);
// Fetches the suites: kOfxStatErrMissingHostFeature when a required one is
// missing (nothing is kept then), kOfxStatOK otherwise.
OfxStatus load_suites();
void unload_suites();

// Throws StatusError(status) when `status` is not kOfxStatOK.
struct StatusError {
    OfxStatus status;
};
inline void check(OfxStatus status)
{
    if (status != kOfxStatOK) throw StatusError{status};
}

}  // namespace velkor::ofx
