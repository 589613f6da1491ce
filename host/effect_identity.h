// Who the effect is: the one source for its names, version word and global flag
// words. Global setup reports them at run time and the registration resource is
// generated from them at build time, so the two can never disagree. The version
// numbers come from the project's one version (project(VERSION) in CMake).
#pragma once

#include "host/host_interface.h"
#include "host/project_version.h"

namespace velkor {

inline constexpr char kEffectName[] = "VelkorRamp";
inline constexpr char kEffectCategory[] = "Velkor";
inline constexpr char kEffectMatchName[] = "VelkorRamp";
inline constexpr char kEntryPointName[] = "EntryPointFunc";
inline constexpr char kMakerNotice[] = "A colour and alpha ramp by the VelkorRamp team.";

// The name global setup registers with the host's utility suite.
inline constexpr char kRegistrationName[] = "Error!";

inline constexpr int kVersionMajor = kProjectVersionMajor;
inline constexpr int kVersionMinor = kProjectVersionMinor;
inline constexpr int kVersionBug = kProjectVersionPatch;
inline constexpr int kVersionStage = kProjectVersionStage;
inline constexpr int kVersionBuild = kProjectVersionBuild;

// The host's packed version word: build in bits 0-8, stage 9-10, bug 11-14,
// subversion 15-18, version 19-21 and its high bits 26-29.
constexpr A_u_long pack_version(A_u_long major, A_u_long minor, A_u_long bug, A_u_long stage,
                                A_u_long build)
{
    return ((major >> 3 & 0xFu) << 26) | ((major & 0x7u) << 19) | ((minor & 0xFu) << 15) |
           ((bug & 0xFu) << 11) | ((stage & 0x3u) << 9) | (build & 0x1FFu);
}

inline constexpr A_u_long kVersionWord =
    pack_version(kVersionMajor, kVersionMinor, kVersionBug, kVersionStage, kVersionBuild);
// CMake packed the same numbers on its own; the two must meet.
static_assert(kVersionWord == kProjectVersionWord,
              "the version word packed here differs from the one CMake packed");

// Rendering several frames at once is a build option (VELKOR_MULTI_FRAME). Hosts
// that do it honour the threaded-rendering flag only from effects whose
// registration declares effect spec version 13.25 or later, so the flag and
// that declared version (13.28) change together. Off, both are a single-frame
// effect's.
#if defined(VELKOR_MULTI_FRAME) && VELKOR_MULTI_FRAME
inline constexpr bool kMultiFrameRendering = true;
#else
inline constexpr bool kMultiFrameRendering = false;
#endif

inline constexpr A_long kGlobalOutFlags =
    PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
inline constexpr A_long kGlobalOutFlags2 =
    PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
    (kMultiFrameRendering ? PF_OutFlag2_SUPPORTS_THREADED_RENDERING : PF_OutFlag2_NONE);
static_assert(kGlobalOutFlags == 0x06000000);
static_assert(kGlobalOutFlags2 == (kMultiFrameRendering ? 0x08001400 : 0x00001400));

// The registration resource's own numbers.
inline constexpr A_short kPiplVersionMajor = 2;
inline constexpr A_short kPiplVersionMinor = 0;
inline constexpr A_short kEffectSpecVersionMajor = 13;
inline constexpr A_short kEffectSpecVersionMinor = kMultiFrameRendering ? 28 : 0;
inline constexpr A_short kEffectInfoFlags = 0;
inline constexpr A_long kReservedInfo = 8;

}  // namespace velkor
