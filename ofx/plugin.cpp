// The OpenFX plug-in: its two exported functions and the action dispatch. Every
// action is answered inside one catch ladder, so nothing escapes to the host
// but a status code.
#include <cstring>
#include <new>
#include <string_view>

#include "host/effect_identity.h"
#include "ofx/controls.h"
#include "ofx/host_suites.h"
#include "ofx/instance.h"
#include "ofx/render_action.h"

namespace velkor::ofx {
namespace {

constexpr char kPluginIdentifier[] = "com.velkor.VelkorRamp";

OfxPropertySetHandle effect_properties(OfxImageEffectHandle effect)
{
    OfxPropertySetHandle props = nullptr;
    check(suites().effect->getPropertySet(effect, &props));
    return props;
}

OfxStatus describe(OfxImageEffectHandle descriptor)
{
    const OfxPropertySuiteV1& p = *suites().property;
    OfxPropertySetHandle d = effect_properties(descriptor);
    check(p.propSetString(d, kOfxPropLabel, 0, kEffectName));
    check(p.propSetString(d, kOfxPropShortLabel, 0, kEffectName));
    check(p.propSetString(d, kOfxPropLongLabel, 0, kEffectName));
    check(p.propSetString(d, kOfxImageEffectPluginPropGrouping, 0, kEffectCategory));
    check(p.propSetString(d, kOfxPropPluginDescription, 0, kMakerNotice));
    check(p.propSetInt(d, kOfxPropVersion, 0, kVersionMajor));
    check(p.propSetInt(d, kOfxPropVersion, 1, kVersionMinor));
    check(p.propSetString(d, kOfxPropVersionLabel, 0, kProjectVersionText));
    const char* const contexts[] = {kOfxImageEffectContextGenerator, kOfxImageEffectContextFilter,
                                    kOfxImageEffectContextGeneral};
    check(p.propSetStringN(d, kOfxImageEffectPropSupportedContexts, 3, contexts));
    const char* const depths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};
    check(p.propSetStringN(d, kOfxImageEffectPropSupportedPixelDepths, 3, depths));
    check(p.propSetString(d, kOfxImageEffectPluginRenderThreadSafety, 0,
                          kOfxImageEffectRenderFullySafe));
    // The plug-in spreads a frame over the host's threads itself.
    check(p.propSetInt(d, kOfxImageEffectPluginPropHostFrameThreading, 0, 0));
    check(p.propSetInt(d, kOfxImageEffectPluginPropSingleInstance, 0, 0));
    check(p.propSetInt(d, kOfxImageEffectPropSupportsTiles, 0, 1));
    check(p.propSetInt(d, kOfxImageEffectPropSupportsMultiResolution, 0, 1));
    check(p.propSetInt(d, kOfxImageEffectPropTemporalClipAccess, 0, 0));
    check(p.propSetInt(d, kOfxImageEffectPropSupportsMultipleClipDepths, 0, 0));
    check(p.propSetInt(d, kOfxImageEffectPropSupportsMultipleClipPARs, 0, 0));
    return kOfxStatOK;
}

void define_clip(OfxImageEffectHandle descriptor, const char* name, bool optional)
{
    const OfxPropertySuiteV1& p = *suites().property;
    OfxPropertySetHandle clip = nullptr;
    check(suites().effect->clipDefine(descriptor, name, &clip));
    check(p.propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA));
    check(p.propSetInt(clip, kOfxImageEffectPropSupportsTiles, 0, 1));
    check(p.propSetInt(clip, kOfxImageEffectPropTemporalClipAccess, 0, 0));
    check(p.propSetInt(clip, kOfxImageClipPropOptional, 0, optional ? 1 : 0));
}

OfxStatus describe_in_context(OfxImageEffectHandle descriptor, OfxPropertySetHandle in_args)
{
    char* context = nullptr;
    check(suites().property->propGetString(in_args, kOfxImageEffectPropContext, 0, &context));
    const std::string_view c = context != nullptr ? context : "";
    const bool generator = c == kOfxImageEffectContextGenerator;
    if (!generator && c != kOfxImageEffectContextFilter && c != kOfxImageEffectContextGeneral) {
        return kOfxStatErrUnsupported;
    }
    define_clip(descriptor, kOfxImageEffectOutputClipName, false);
    if (!generator) {
        define_clip(descriptor, kOfxImageEffectSimpleSourceClipName,
                    c == kOfxImageEffectContextGeneral);
    }
    OfxParamSetHandle params = nullptr;
    check(suites().effect->getParamSet(descriptor, &params));
    define_controls(params);
    return kOfxStatOK;
}

OfxStatus dispatch(std::string_view action, OfxImageEffectHandle effect, OfxPropertySetHandle in,
                   OfxPropertySetHandle out)
{
    if (action == kOfxActionLoad) return load_suites();
    if (action == kOfxActionUnload) {
        unload_suites();
        return kOfxStatOK;
    }
    if (suites().property == nullptr) return kOfxStatErrMissingHostFeature;
    const bool needs_handle =
        action != kOfxActionPurgeCaches && action != kOfxActionSyncPrivateData;
    if (effect == nullptr && needs_handle) return kOfxStatErrBadHandle;
    if (action == kOfxActionDescribe) return describe(effect);
    if (action == kOfxImageEffectActionDescribeInContext) return describe_in_context(effect, in);
    if (action == kOfxActionCreateInstance) return create_instance(effect);
    if (action == kOfxActionDestroyInstance) return destroy_instance(effect);
    if (action == kOfxActionInstanceChanged) return instance_changed(effect, in);
    if (action == kOfxImageEffectActionGetClipPreferences) return clip_preferences(effect, out);
    if (action == kOfxImageEffectActionGetRegionOfDefinition) {
        return region_of_definition(effect, in, out);
    }
    if (action == kOfxImageEffectActionRender) return render(effect, in);
    if (action == kOfxImageEffectActionBeginSequenceRender ||
        action == kOfxImageEffectActionEndSequenceRender) {
        return kOfxStatOK;
    }
    // Regions of interest are the requested window, the plug-in is never an
    // identity, and it keeps nothing to purge or sync: the host's defaults.
    return kOfxStatReplyDefault;
}

OfxStatus main_entry(const char* action, const void* handle, OfxPropertySetHandle in,
                     OfxPropertySetHandle out)
{
    if (action == nullptr) return kOfxStatErrUnknown;
    try {
        auto* effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
        return dispatch(action, effect, in, out);
    } catch (const StatusError& e) {
        return e.status;
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (...) {
        return kOfxStatFailed;
    }
}

void store_host(OfxHost* host) { set_host(host); }

OfxPlugin g_plugin = {kOfxImageEffectPluginApi,
                      kOfxImageEffectPluginApiVersion,
                      kPluginIdentifier,
                      static_cast<unsigned>(kVersionMajor),
                      static_cast<unsigned>(kVersionMinor),
                      &store_host,
                      &main_entry};

}  // namespace
}  // namespace velkor::ofx

extern "C" {

OfxExport int OfxGetNumberOfPlugins(void) { return 1; }

OfxExport OfxPlugin* OfxGetPlugin(int nth) { return nth == 0 ? &velkor::ofx::g_plugin : nullptr; }

}  // extern "C"
