#include "ofx/instance.h"

#include <new>
#include <string_view>

#include "ofx/host_suites.h"

namespace velkor::ofx {
namespace {

OfxPropertySetHandle effect_properties(OfxImageEffectHandle effect)
{
    OfxPropertySetHandle props = nullptr;
    check(suites().effect->getPropertySet(effect, &props));
    return props;
}

OfxPointD point_property(OfxPropertySetHandle props, const char* name)
{
    OfxPointD p{0, 0};
    check(suites().property->propGetDoubleN(props, name, 2, &p.x));
    return p;
}

// The memory an instance lives in, freed unless handed over.
struct InstanceMemory {
    void* data = nullptr;
    ~InstanceMemory()
    {
        if (data != nullptr) suites().memory->memoryFree(data);
    }
};

}  // namespace

Instance& instance_of(OfxImageEffectHandle effect)
{
    void* data = nullptr;
    check(suites().property->propGetPointer(effect_properties(effect), kOfxPropInstanceData, 0,
                                            &data));
    if (data == nullptr) throw StatusError{kOfxStatErrBadHandle};
    return *static_cast<Instance*>(data);
}

bool source_connected(const Instance& instance)
{
    if (instance.source == nullptr) return false;
    OfxPropertySetHandle props = nullptr;
    check(suites().effect->clipGetPropertySet(instance.source, &props));
    int connected = 0;
    check(suites().property->propGetInt(props, kOfxImageClipPropConnected, 0, &connected));
    return connected != 0;
}

OfxRectD frame_rect(OfxImageEffectHandle effect, const Instance& instance, OfxTime time)
{
    if (source_connected(instance)) {
        OfxRectD rod{0, 0, 0, 0};
        check(suites().effect->clipGetRegionOfDefinition(instance.source, time, &rod));
        return rod;
    }
    const OfxPropertySetHandle props = effect_properties(effect);
    const OfxPointD offset = point_property(props, kOfxImageEffectPropProjectOffset);
    const OfxPointD size = point_property(props, kOfxImageEffectPropProjectSize);
    return {offset.x, offset.y, offset.x + size.x, offset.y + size.y};
}

OfxStatus create_instance(OfxImageEffectHandle effect)
{
    const OfxPropertySetHandle props = effect_properties(effect);
    char* context = nullptr;
    check(suites().property->propGetString(props, kOfxImageEffectPropContext, 0, &context));
    const bool generator =
        context != nullptr && std::string_view(context) == kOfxImageEffectContextGenerator;

    InstanceMemory memory;
    if (suites().memory->memoryAlloc(effect, sizeof(Instance), &memory.data) != kOfxStatOK ||
        memory.data == nullptr) {
        memory.data = nullptr;
        return kOfxStatErrMemory;
    }
    auto* instance = new (memory.data) Instance;
    check(suites().effect->clipGetHandle(effect, kOfxImageEffectOutputClipName, &instance->output,
                                         nullptr));
    if (!generator) {
        check(suites().effect->clipGetHandle(effect, kOfxImageEffectSimpleSourceClipName,
                                             &instance->source, nullptr));
    }
    OfxParamSetHandle params = nullptr;
    check(suites().effect->getParamSet(effect, &params));
    fetch_controls(params, instance->controls);
    apply_enabling_rules(instance->controls, 0.0);
    check(suites().property->propSetPointer(props, kOfxPropInstanceData, 0, instance));
    memory.data = nullptr;
    return kOfxStatOK;
}

OfxStatus destroy_instance(OfxImageEffectHandle effect)
{
    Instance& instance = instance_of(effect);
    instance.~Instance();
    suites().property->propSetPointer(effect_properties(effect), kOfxPropInstanceData, 0, nullptr);
    return suites().memory->memoryFree(&instance);
}

OfxStatus instance_changed(OfxImageEffectHandle effect, OfxPropertySetHandle in_args)
{
    char* type = nullptr;
    check(suites().property->propGetString(in_args, kOfxPropType, 0, &type));
    if (type == nullptr || std::string_view(type) != kOfxTypeParameter) return kOfxStatReplyDefault;
    double time = 0;
    check(suites().property->propGetDouble(in_args, kOfxPropTime, 0, &time));
    apply_enabling_rules(instance_of(effect).controls, time);
    return kOfxStatOK;
}

OfxStatus clip_preferences(OfxImageEffectHandle effect, OfxPropertySetHandle out_args)
{
    instance_of(effect);
    // The ramp's colours are written as they are, never multiplied by the
    // alpha beside them: the output is straight.
    check(suites().property->propSetString(out_args, kOfxImageEffectPropPreMultiplication, 0,
                                           kOfxImageUnPreMultiplied));
    check(suites().property->propSetInt(out_args, kOfxImageEffectFrameVarying, 0, 0));
    return kOfxStatOK;
}

OfxStatus region_of_definition(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                               OfxPropertySetHandle out_args)
{
    const Instance& instance = instance_of(effect);
    // With a source the host's default, the source's region, is the answer.
    if (source_connected(instance)) return kOfxStatReplyDefault;
    double time = 0;
    check(suites().property->propGetDouble(in_args, kOfxPropTime, 0, &time));
    const OfxRectD rod = frame_rect(effect, instance, time);
    check(suites().property->propSetDoubleN(out_args, kOfxImageEffectPropRegionOfDefinition, 4,
                                            &rod.x1));
    return kOfxStatOK;
}

}  // namespace velkor::ofx
