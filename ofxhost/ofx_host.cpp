#include "ofxhost/ofx_host.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ofxhost/host_state.h"
#include "simhost/shared_library.h"

namespace ofxhost {
namespace {

using state::shared;

#if defined(_WIN32)
constexpr char kArchitecture[] = "Win64";
#else
constexpr char kArchitecture[] = "Linux-x86-64";
#endif

OfxPropertySetHandle handle(PropertySet& p) { return PropertySet::handle(&p); }

void copy_props(const PropertySet& from, PropertySet& to, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const Property* p = from.find(name);
        if (p == nullptr) continue;
        switch (p->type) {
        case PropType::integer:
            to.set(name, p->ints);
            break;
        case PropType::real:
            to.set(name, p->doubles);
            break;
        case PropType::string:
            to.set(name, p->strings);
            break;
        default:
            to.set(name, p->pointers);
            break;
        }
    }
}

// Checks what Describe must leave on the descriptor.
void check_descriptor(const Effect& d)
{
    for (const char* name : {kOfxPropLabel, kOfxImageEffectPropSupportedContexts,
                             kOfxImageEffectPropSupportedPixelDepths}) {
        const Property* p = d.props.find(name);
        if (p == nullptr || p->size() == 0) {
            report_violation(std::string("effect descriptor: ") + name + " not set");
        }
    }
}

// Checks what DescribeInContext must leave: an output clip, components on
// every clip, and unique script names.
void check_context_descriptor(const Effect& d)
{
    if (d.find_clip(kOfxImageEffectOutputClipName) == nullptr) {
        report_violation(d.context + ": no Output clip");
    }
    for (const auto& clip : d.clips) {
        const Property* p = clip->props.find(kOfxImageEffectPropSupportedComponents);
        if (p == nullptr || p->size() == 0) {
            report_violation(d.context + ": clip " + clip->name + " names no components");
        }
    }
    std::set<std::string> names;
    for (const auto& param : d.params.params) {
        const std::string script = param->props.get_string(kOfxParamPropScriptName);
        if (!script.empty() && !names.insert(script).second) {
            report_violation(d.context + ": script name " + script + " used twice");
        }
    }
}

}  // namespace

OfxRectD canonical_of(const OfxRectI& p, const OfxPointD& scale, double aspect)
{
    return {p.x1 * aspect / scale.x, p.y1 / scale.y, p.x2 * aspect / scale.x, p.y2 / scale.y};
}

OfxRectI pixels_of(const OfxRectD& r, const OfxPointD& scale, double aspect)
{
    return {static_cast<int>(std::floor(r.x1 * scale.x / aspect)),
            static_cast<int>(std::floor(r.y1 * scale.y)),
            static_cast<int>(std::ceil(r.x2 * scale.x / aspect)),
            static_cast<int>(std::ceil(r.y2 * scale.y))};
}

std::size_t rgba_pixel_bytes(const std::string& depth)
{
    if (depth == kOfxBitDepthByte) return 4;
    if (depth == kOfxBitDepthShort) return 8;
    if (depth == kOfxBitDepthFloat) return 16;
    return 0;
}

Frame Frame::blank(const std::string& depth, const OfxRectI& bounds, std::size_t padding)
{
    Frame f;
    f.depth = depth;
    f.bounds = bounds;
    f.pixel_bytes = rgba_pixel_bytes(depth);
    f.row_bytes = static_cast<std::ptrdiff_t>(
        static_cast<std::size_t>(std::max(0, bounds.x2 - bounds.x1)) * f.pixel_bytes + padding);
    f.data.assign(static_cast<std::size_t>(f.row_bytes) *
                      static_cast<std::size_t>(std::max(0, bounds.y2 - bounds.y1)),
                  0);
    return f;
}

Param* ParamSet::find(const std::string& name) const
{
    for (const auto& p : params) {
        if (p->props.get_string(kOfxPropName) == name) return p.get();
    }
    return nullptr;
}

Clip* Effect::find_clip(const std::string& name) const
{
    for (const auto& c : clips) {
        if (c->name == name) return c.get();
    }
    return nullptr;
}

Host::Host()
{
    state::Shared& s = shared();
    std::lock_guard lock(s.mutex);
    s.faults = &faults_;
    s.counts = Accounting{};
    s.allocation_calls = 0;
    s.blocks.clear();
    s.images.clear();
    s.messages.clear();
    clear_violations();
    host_props_.what = "host";
    host_props_.set(kOfxPropName, std::vector<std::string>{"org.velkor.ofxhost"});
    host_props_.set(kOfxPropLabel, std::vector<std::string>{"VelkorRamp test host"});
    host_props_.set(kOfxImageEffectPropSupportsTiles, std::vector<int>{1});
    host_props_.set(kOfxImageEffectPropSupportsMultiResolution, std::vector<int>{1});
    host_props_.set(kOfxImageEffectPropSupportedComponents,
                    std::vector<std::string>{kOfxImageComponentRGBA});
    host_props_.set(kOfxImageEffectPropSupportedContexts,
                    std::vector<std::string>{kOfxImageEffectContextGenerator,
                                             kOfxImageEffectContextFilter,
                                             kOfxImageEffectContextGeneral});
    host_record_.host = handle(host_props_);
    host_record_.fetchSuite = &state::fetch_suite;
    descriptor_.props.what = "effect descriptor";
}

Host::~Host()
{
    if (plugin_ != nullptr && load_status_ == kOfxStatOK) unload();
    std::lock_guard lock(shared().mutex);
    shared().faults = nullptr;
}

Accounting Host::accounting() const
{
    std::lock_guard lock(shared().mutex);
    Accounting a = shared().counts;
    a.live_blocks = static_cast<long>(shared().blocks.size());
    a.live_instances = static_cast<long>(instances_.size());
    return a;
}

std::vector<std::string> Host::messages() const
{
    std::lock_guard lock(shared().mutex);
    return shared().messages;
}

OfxStatus Host::call(const char* action, const void* h, PropertySet* in, PropertySet* out)
{
    if (plugin_ == nullptr || plugin_->mainEntry == nullptr) return kOfxStatFailed;
    return plugin_->mainEntry(action, h, in ? handle(*in) : nullptr, out ? handle(*out) : nullptr);
}

std::string Host::load(const std::string& bundle)
{
    namespace fs = std::filesystem;
    const fs::path binary = fs::path(bundle) / "Contents" / kArchitecture /
                            (fs::path(bundle).stem().stem().string() + ".ofx");
    std::string error;
    library_ = simhost::SharedLibrary::open(binary.string(), error);
    if (library_ == nullptr) return "cannot open the plug-in binary: " + error;
    using Count = int (*)();
    using Get = OfxPlugin* (*)(int);
    const auto count = reinterpret_cast<Count>(library_->symbol("OfxGetNumberOfPlugins"));
    const auto get = reinterpret_cast<Get>(library_->symbol("OfxGetPlugin"));
    if (count == nullptr || get == nullptr) {
        return binary.string() + " does not export OfxGetNumberOfPlugins and OfxGetPlugin";
    }
    if (count() != 1) return "the bundle holds " + std::to_string(count()) + " plug-ins, not 1";
    plugin_ = get(0);
    if (plugin_ == nullptr || plugin_->pluginApi == nullptr ||
        std::string(plugin_->pluginApi) != kOfxImageEffectPluginApi ||
        plugin_->apiVersion != kOfxImageEffectPluginApiVersion || plugin_->setHost == nullptr ||
        plugin_->mainEntry == nullptr || plugin_->pluginIdentifier == nullptr) {
        plugin_ = nullptr;
        return "OfxGetPlugin(0) is not an image effect plug-in of API version 1";
    }
    if (get(1) != nullptr) report_violation("OfxGetPlugin(1) is not null");
    plugin_->setHost(&host_record_);
    load_status_ = call(kOfxActionLoad, nullptr, nullptr, nullptr);
    return "";
}

OfxStatus Host::unload()
{
    while (!instances_.empty()) destroy_instance(instances_.back().get());
    const OfxStatus st =
        load_status_ == kOfxStatOK ? call(kOfxActionUnload, nullptr, nullptr, nullptr) : kOfxStatOK;
    load_status_ = kOfxStatFailed;
    return st;
}

OfxStatus Host::describe()
{
    descriptor_.props.set(kOfxPropType, std::vector<std::string>{"OfxTypeImageEffect"});
    const OfxStatus st = call(kOfxActionDescribe, state::handle_of(&descriptor_), nullptr, nullptr);
    if (st == kOfxStatOK) check_descriptor(descriptor_);
    return st;
}

OfxStatus Host::describe_in_context(const std::string& context, Effect** out)
{
    for (const auto& d : context_descriptors_) {
        if (d->context == context) {
            if (out != nullptr) *out = d.get();
            return kOfxStatOK;
        }
    }
    auto d = std::make_unique<Effect>();
    d->context = context;
    d->props.what = "effect descriptor in " + context;
    d->params.props.what = "parameter set";
    PropertySet in;
    in.set(kOfxImageEffectPropContext, std::vector<std::string>{context});
    const OfxStatus st =
        call(kOfxImageEffectActionDescribeInContext, state::handle_of(d.get()), &in, nullptr);
    if (st != kOfxStatOK) return st;
    check_context_descriptor(*d);
    if (out != nullptr) *out = d.get();
    context_descriptors_.push_back(std::move(d));
    return kOfxStatOK;
}

OfxStatus Host::create_instance(const std::string& context, const InstanceSetup& setup,
                                Effect** out)
{
    Effect* d = nullptr;
    if (OfxStatus st = describe_in_context(context, &d); st != kOfxStatOK) return st;
    auto fx = std::make_unique<Effect>();
    fx->context = context;
    fx->instance = true;
    fx->props.what = "effect instance";
    fx->props.set(kOfxPropType, std::vector<std::string>{"OfxTypeImageEffectInstance"});
    fx->props.set(kOfxImageEffectPropContext, std::vector<std::string>{context});
    fx->props.set(kOfxImageEffectPropProjectSize, std::vector<double>{setup.width, setup.height});
    fx->props.set(kOfxImageEffectPropProjectOffset, std::vector<double>{0, 0});
    fx->props.set(kOfxImageEffectPropProjectExtent, std::vector<double>{setup.width, setup.height});
    fx->props.set(kOfxImageEffectPropProjectPixelAspectRatio,
                  std::vector<double>{setup.pixel_aspect});
    fx->props.set(kOfxPropInstanceData, std::vector<void*>{nullptr});
    for (const auto& dc : d->clips) {
        auto clip = std::make_unique<Clip>();
        clip->name = dc->name;
        clip->props.what = "clip " + dc->name;
        copy_props(dc->props, clip->props,
                   {kOfxPropType, kOfxPropName, kOfxImageEffectPropSupportedComponents,
                    kOfxImageClipPropOptional, kOfxImageEffectPropSupportsTiles});
        const bool is_output = dc->name == kOfxImageEffectOutputClipName;
        clip->props.set(kOfxImageClipPropConnected,
                        std::vector<int>{is_output || setup.source_connected ? 1 : 0});
        clip->props.set(kOfxImagePropPixelAspectRatio, std::vector<double>{setup.pixel_aspect});
        clip->props.set(kOfxImageEffectPropComponents,
                        std::vector<std::string>{kOfxImageComponentRGBA});
        clip->props.set(kOfxImageEffectPropPreMultiplication,
                        std::vector<std::string>{kOfxImagePreMultiplied});
        fx->clips.push_back(std::move(clip));
    }
    fx->params.props.what = "parameter set";
    for (const auto& dp : d->params.params) {
        auto p = std::make_unique<Param>();
        p->type = dp->type;
        p->props.what = dp->props.what;
        p->props.value_type = dp->props.value_type;
        p->props.value_dimension = dp->props.value_dimension;
        copy_props(dp->props, p->props,
                   {kOfxPropType, kOfxPropName, kOfxParamPropType, kOfxPropLabel,
                    kOfxParamPropScriptName, kOfxParamPropDefault, kOfxParamPropEnabled,
                    kOfxParamPropChoiceOption, kOfxParamPropMin, kOfxParamPropMax,
                    kOfxParamPropDoubleType, kOfxParamPropDefaultCoordinateSystem});
        p->props.set(kOfxPropType, std::vector<std::string>{"OfxTypeParameterInstance"});
        const Property* def = p->props.find(kOfxParamPropDefault);
        p->value.assign(p->props.value_dimension, 0.0);
        for (std::size_t i = 0; def != nullptr && i < p->value.size() && i < def->size(); ++i) {
            p->value[i] = def->type == PropType::integer ? def->ints[i] : def->doubles[i];
        }
        if (p->props.get_string(kOfxParamPropDefaultCoordinateSystem) ==
                kOfxParamCoordinatesNormalised &&
            p->value.size() == 2) {
            p->value[0] *= setup.width;
            p->value[1] *= setup.height;
        }
        fx->params.params.push_back(std::move(p));
    }
    Effect* raw = fx.get();
    instances_.push_back(std::move(fx));
    const OfxStatus st = call(kOfxActionCreateInstance, state::handle_of(raw), nullptr, nullptr);
    if (st != kOfxStatOK) {
        instances_.pop_back();
        return st;
    }
    if (out != nullptr) *out = raw;
    return kOfxStatOK;
}

OfxStatus Host::destroy_instance(Effect* fx)
{
    const auto it = std::find_if(instances_.begin(), instances_.end(),
                                 [fx](const auto& p) { return p.get() == fx; });
    if (it == instances_.end()) return kOfxStatErrBadHandle;
    const OfxStatus st = call(kOfxActionDestroyInstance, state::handle_of(fx), nullptr, nullptr);
    instances_.erase(it);
    return st;
}

OfxStatus Host::set_param(Effect* fx, const std::string& name, std::vector<double> value)
{
    Param* p = fx->params.find(name);
    if (p == nullptr) return kOfxStatErrUnknown;
    if (value.size() != p->value.size()) return kOfxStatErrValue;
    p->value = std::move(value);
    PropertySet reason;
    reason.set(kOfxPropChangeReason, std::vector<std::string>{"OfxChangeUserEdited"});
    PropertySet in;
    in.set(kOfxPropType, std::vector<std::string>{kOfxTypeParameter});
    in.set(kOfxPropName, std::vector<std::string>{name});
    in.set(kOfxPropChangeReason, std::vector<std::string>{"OfxChangeUserEdited"});
    in.set(kOfxPropTime, std::vector<double>{0});
    in.set(kOfxImageEffectPropRenderScale, std::vector<double>{1, 1});
    OfxStatus st = call(kOfxActionBeginInstanceChanged, state::handle_of(fx), &reason, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) return st;
    st = call(kOfxActionInstanceChanged, state::handle_of(fx), &in, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) return st;
    st = call(kOfxActionEndInstanceChanged, state::handle_of(fx), &reason, nullptr);
    return st == kOfxStatReplyDefault ? kOfxStatOK : st;
}

OfxStatus Host::clip_preferences(Effect* fx, PropertySet& out)
{
    out.what = "clip preferences";
    out.set(kOfxImageEffectPropPreMultiplication, std::vector<std::string>{kOfxImagePreMultiplied});
    out.set(kOfxImageEffectFrameVarying, std::vector<int>{0});
    const OfxStatus st =
        call(kOfxImageEffectActionGetClipPreferences, state::handle_of(fx), nullptr, &out);
    if (st == kOfxStatOK || st == kOfxStatReplyDefault) {
        Clip* output = fx->find_clip(kOfxImageEffectOutputClipName);
        output->props.set(kOfxImageEffectPropPreMultiplication,
                          std::vector<std::string>{
                              out.get_string(kOfxImageEffectPropPreMultiplication)});
    }
    return st;
}

OfxStatus Host::region_of_definition(Effect* fx, const RenderRequest& r, OfxRectD& rod)
{
    const double w = fx->props.get_double(kOfxImageEffectPropProjectSize, 0);
    const double h = fx->props.get_double(kOfxImageEffectPropProjectSize, 1);
    rod = {0, 0, w, h};
    const Clip* source = fx->find_clip(kOfxImageEffectSimpleSourceClipName);
    if (source != nullptr && source->frame != nullptr) {
        rod = canonical_of(source->frame->bounds, r.scale,
                           source->props.get_double(kOfxImagePropPixelAspectRatio, 0, 1));
    }
    PropertySet in;
    in.set(kOfxPropTime, std::vector<double>{r.time});
    in.set(kOfxImageEffectPropRenderScale, std::vector<double>{r.scale.x, r.scale.y});
    PropertySet out;
    out.what = "region of definition";
    out.set(kOfxImageEffectPropRegionOfDefinition,
            std::vector<double>{rod.x1, rod.y1, rod.x2, rod.y2});
    const OfxStatus st =
        call(kOfxImageEffectActionGetRegionOfDefinition, state::handle_of(fx), &in, &out);
    if (st == kOfxStatOK) {
        rod = {out.get_double(kOfxImageEffectPropRegionOfDefinition, 0),
               out.get_double(kOfxImageEffectPropRegionOfDefinition, 1),
               out.get_double(kOfxImageEffectPropRegionOfDefinition, 2),
               out.get_double(kOfxImageEffectPropRegionOfDefinition, 3)};
    }
    return st;
}

OfxStatus Host::regions_of_interest(Effect* fx, const RenderRequest& r, const OfxRectD& region,
                                    OfxRectD& source_roi)
{
    const std::string name =
        std::string("OfxImageClipPropRoI_") + kOfxImageEffectSimpleSourceClipName;
    PropertySet in;
    in.set(kOfxPropTime, std::vector<double>{r.time});
    in.set(kOfxImageEffectPropRenderScale, std::vector<double>{r.scale.x, r.scale.y});
    in.set(kOfxImageEffectPropRegionOfInterest,
           std::vector<double>{region.x1, region.y1, region.x2, region.y2});
    PropertySet out;
    out.what = "regions of interest";
    out.set(name, std::vector<double>{region.x1, region.y1, region.x2, region.y2});
    const OfxStatus st =
        call(kOfxImageEffectActionGetRegionsOfInterest, state::handle_of(fx), &in, &out);
    source_roi = {out.get_double(name, 0), out.get_double(name, 1), out.get_double(name, 2),
                  out.get_double(name, 3)};
    return st;
}

OfxStatus Host::render(Effect* fx, const RenderRequest& r, Frame& frame)
{
    Clip* output = fx->find_clip(kOfxImageEffectOutputClipName);
    const double aspect = output->props.get_double(kOfxImagePropPixelAspectRatio, 0, 1);
    for (const auto& clip : fx->clips) {
        clip->props.set(kOfxImageEffectPropPixelDepth, std::vector<std::string>{r.depth});
        if (clip.get() != output) clip->frame = r.source;
        if (clip.get() != output) {
            clip->props.set(kOfxImageClipPropConnected, std::vector<int>{r.source != nullptr});
        }
    }
    PropertySet prefs;
    OfxStatus st = clip_preferences(fx, prefs);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) return st;
    OfxRectD rod{};
    st = region_of_definition(fx, r, rod);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) return st;
    const OfxRectI bounds = pixels_of(rod, r.scale, aspect);
    const OfxRectI& had = frame.bounds;
    if (frame.depth != r.depth || had.x1 != bounds.x1 || had.y1 != bounds.y1 ||
        had.x2 != bounds.x2 || had.y2 != bounds.y2 || frame.row_bytes <= 0) {
        frame = Frame::blank(r.depth, bounds);
    }

    PropertySet sequence;
    sequence.set("OfxImageEffectPropFrameRange", std::vector<double>{r.time, r.time});
    sequence.set("OfxImageEffectPropFrameStep", std::vector<double>{1});
    sequence.set("OfxPropIsInteractive", std::vector<int>{0});
    sequence.set(kOfxImageEffectPropRenderScale, std::vector<double>{r.scale.x, r.scale.y});
    st = call(kOfxImageEffectActionBeginSequenceRender, state::handle_of(fx), &sequence, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) return st;

    const int tw = r.tile_width > 0 ? r.tile_width : bounds.x2 - bounds.x1;
    const int th = r.tile_height > 0 ? r.tile_height : bounds.y2 - bounds.y1;
    state::RenderContext& ctx = state::this_thread();
    ctx.request = &r;
    ctx.output = &frame;
    OfxStatus result = kOfxStatOK;
    for (int y = bounds.y1; y < bounds.y2 && result == kOfxStatOK; y += th) {
        for (int x = bounds.x1; x < bounds.x2 && result == kOfxStatOK; x += tw) {
            ctx.window = {x, y, std::min(x + tw, bounds.x2), std::min(y + th, bounds.y2)};
            const OfxRectD canonical = canonical_of(ctx.window, r.scale, aspect);
            OfxRectD roi{};
            if (fx->find_clip(kOfxImageEffectSimpleSourceClipName) != nullptr) {
                const OfxStatus roi_st = regions_of_interest(fx, r, canonical, roi);
                if (roi_st != kOfxStatOK && roi_st != kOfxStatReplyDefault) result = roi_st;
            }
            PropertySet in;
            in.set(kOfxPropTime, std::vector<double>{r.time});
            in.set("OfxImageEffectPropFieldToRender", std::vector<std::string>{"OfxFieldNone"});
            in.set(kOfxImageEffectPropRenderWindow,
                   std::vector<int>{ctx.window.x1, ctx.window.y1, ctx.window.x2, ctx.window.y2});
            in.set(kOfxImageEffectPropRenderScale, std::vector<double>{r.scale.x, r.scale.y});
            in.set("OfxImageEffectPropSequentialRenderStatus", std::vector<int>{0});
            in.set("OfxImageEffectPropInteractiveRenderStatus", std::vector<int>{0});
            in.set("OfxImageEffectPropRenderQualityDraft", std::vector<int>{0});
            if (result == kOfxStatOK) {
                result = call(kOfxImageEffectActionRender, state::handle_of(fx), &in, nullptr);
                if (result == kOfxStatReplyDefault) {
                    report_violation("Render answered kOfxStatReplyDefault");
                }
            }
        }
    }
    ctx = state::RenderContext{};
    st = call(kOfxImageEffectActionEndSequenceRender, state::handle_of(fx), &sequence, nullptr);
    if (result == kOfxStatOK && st != kOfxStatOK && st != kOfxStatReplyDefault) result = st;
    return result;
}

}  // namespace ofxhost
