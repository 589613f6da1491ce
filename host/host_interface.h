// The one header through which VelkorRamp and its simulated host see the host's
// effect interface. By default it takes our own declarations; configured with
// VELKOR_HOST_SDK_DIR, the build defines VELKOR_USE_HOST_SDK and the same
// sources compile against the official headers instead. Either way the layout
// checks run.
//
// The official suite headers bring their older suites with them: the headers
// of those older suites stop with #error when included directly, so only the
// parents are named here.
#pragma once

#include <cstdint>

#if defined(VELKOR_USE_HOST_SDK)
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"
#else
#include "host/declarations.h"
#endif

#include "host/layout_checks.h"
