// The suites the test host offers: property, image effect, parameter, memory,
// multi-thread and message.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "ofxhost/host_state.h"

namespace ofxhost::state {
namespace {

PropertySet* props(OfxPropertySetHandle h) { return PropertySet::from(h); }

// ---------------------------------------------------------------- properties

template <class T>
OfxStatus set_one(OfxPropertySetHandle h, const char* name, int index, T value)
{
    if (h == nullptr) return kOfxStatErrBadHandle;
    return props(h)->plugin_set<T>(name, index, value);
}

template <class T, class V>
OfxStatus set_many(OfxPropertySetHandle h, const char* name, int count, const V* values)
{
    if (h == nullptr || (values == nullptr && count > 0)) return kOfxStatErrBadHandle;
    for (int i = 0; i < count; ++i) {
        if (OfxStatus st = props(h)->plugin_set<T>(name, i, values[i]); st != kOfxStatOK) return st;
    }
    return kOfxStatOK;
}

template <class T>
OfxStatus get_one(OfxPropertySetHandle h, const char* name, int index, T* value)
{
    if (h == nullptr) return kOfxStatErrBadHandle;
    return props(h)->plugin_get<T>(name, index, value);
}

template <class T>
OfxStatus get_many(OfxPropertySetHandle h, const char* name, int count, T* values)
{
    if (h == nullptr || (values == nullptr && count > 0)) return kOfxStatErrBadHandle;
    for (int i = 0; i < count; ++i) {
        if (OfxStatus st = props(h)->plugin_get<T>(name, i, &values[i]); st != kOfxStatOK)
            return st;
    }
    return kOfxStatOK;
}

OfxStatus prop_reset(OfxPropertySetHandle, const char*) { return kOfxStatErrUnsupported; }

OfxStatus prop_dimension(OfxPropertySetHandle h, const char* name, int* count)
{
    if (h == nullptr) return kOfxStatErrBadHandle;
    return props(h)->plugin_dimension(name, count);
}

const OfxPropertySuiteV1 kPropertySuite = {
    &set_one<void*>,
    &set_one<const char*>,
    &set_one<double>,
    &set_one<int>,
    &set_many<void*, void*>,
    &set_many<const char*, const char*>,
    &set_many<double, double>,
    &set_many<int, int>,
    &get_one<void*>,
    &get_one<char*>,
    &get_one<double>,
    &get_one<int>,
    &get_many<void*>,
    &get_many<char*>,
    &get_many<double>,
    &get_many<int>,
    &prop_reset,
    &prop_dimension,
};

// ---------------------------------------------------------------- image effect

OfxStatus get_property_set(OfxImageEffectHandle e, OfxPropertySetHandle* out)
{
    if (e == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = PropertySet::handle(&effect_of(e)->props);
    return kOfxStatOK;
}

OfxStatus get_param_set(OfxImageEffectHandle e, OfxParamSetHandle* out)
{
    if (e == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = reinterpret_cast<OfxParamSetHandle>(&effect_of(e)->params);
    return kOfxStatOK;
}

OfxStatus clip_define(OfxImageEffectHandle e, const char* name, OfxPropertySetHandle* out)
{
    if (e == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    Effect* fx = effect_of(e);
    if (fx->instance || fx->context.empty()) {
        report_violation(std::string("clipDefine(\"") + name + "\") outside DescribeInContext");
        return kOfxStatErrBadHandle;
    }
    if (fx->find_clip(name) != nullptr) return kOfxStatErrExists;
    auto clip = std::make_unique<Clip>();
    clip->name = name;
    clip->props.what = std::string("clip ") + name;
    clip->props.set(kOfxPropType, std::vector<std::string>{kOfxTypeClip});
    clip->props.set(kOfxPropName, std::vector<std::string>{name});
    if (out != nullptr) *out = PropertySet::handle(&clip->props);
    fx->clips.push_back(std::move(clip));
    return kOfxStatOK;
}

OfxStatus clip_get_handle(OfxImageEffectHandle e, const char* name, OfxImageClipHandle* clip,
                          OfxPropertySetHandle* out)
{
    if (e == nullptr || name == nullptr || clip == nullptr) return kOfxStatErrBadHandle;
    Clip* c = effect_of(e)->find_clip(name);
    if (c == nullptr) return kOfxStatErrUnknown;
    *clip = reinterpret_cast<OfxImageClipHandle>(c);
    if (out != nullptr) *out = PropertySet::handle(&c->props);
    return kOfxStatOK;
}

OfxStatus clip_get_property_set(OfxImageClipHandle clip, OfxPropertySetHandle* out)
{
    if (clip == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = PropertySet::handle(&reinterpret_cast<Clip*>(clip)->props);
    return kOfxStatOK;
}

void describe_image(PropertySet& p, const Frame& f, const std::string& premultiplication,
                    const RenderRequest& r, double pixel_aspect)
{
    p.what = "image";
    p.set(kOfxPropType, std::vector<std::string>{"OfxTypeImage"});
    p.set(kOfxImageEffectPropPixelDepth, std::vector<std::string>{f.depth});
    p.set(kOfxImageEffectPropComponents, std::vector<std::string>{kOfxImageComponentRGBA});
    p.set(kOfxImageEffectPropPreMultiplication, std::vector<std::string>{premultiplication});
    p.set(kOfxImageEffectPropRenderScale, std::vector<double>{r.scale.x, r.scale.y});
    p.set(kOfxImagePropPixelAspectRatio, std::vector<double>{pixel_aspect});
    p.set(kOfxImagePropData, std::vector<void*>{const_cast<unsigned char*>(f.data.data())});
    p.set(kOfxImagePropBounds,
          std::vector<int>{f.bounds.x1, f.bounds.y1, f.bounds.x2, f.bounds.y2});
    p.set(kOfxImagePropRowBytes, std::vector<int>{static_cast<int>(f.row_bytes)});
}

OfxStatus clip_get_image(OfxImageClipHandle handle, OfxTime, const OfxRectD*,
                         OfxPropertySetHandle* out)
{
    if (handle == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    Clip* clip = reinterpret_cast<Clip*>(handle);
    RenderContext& ctx = this_thread();
    if (ctx.request == nullptr) {
        report_violation("clipGetImage outside a render");
        return kOfxStatFailed;
    }
    const RenderRequest& r = *ctx.request;
    const double aspect = clip->props.get_double(kOfxImagePropPixelAspectRatio, 0, 1.0);
    auto image = std::make_unique<Image>();
    if (clip->name == kOfxImageEffectOutputClipName) {
        // A whole untiled frame is rendered in place; tiles and padded rows get
        // images of their own, copied into the frame on release.
        const OfxRectI& b = ctx.output->bounds;
        const bool whole = r.tile_width == 0 && r.tile_height == 0 && r.row_padding == 0 &&
                           ctx.window.x1 == b.x1 && ctx.window.y1 == b.y1 &&
                           ctx.window.x2 == b.x2 && ctx.window.y2 == b.y2;
        if (!whole) {
            image->pixels = Frame::blank(ctx.output->depth, ctx.window, r.row_padding);
            image->target = ctx.output;
        }
        describe_image(image->props, whole ? *ctx.output : image->pixels,
                       clip->props.get_string(kOfxImageEffectPropPreMultiplication), r, aspect);
    } else {
        Shared& s = shared();
        if (clip->frame == nullptr || (s.faults != nullptr && s.faults->fail_source_fetch)) {
            return kOfxStatFailed;
        }
        describe_image(image->props, *clip->frame, r.source_premultiplication, r, aspect);
    }
    PropertySet* key = &image->props;
    std::lock_guard lock(shared().mutex);
    shared().images.emplace(key, std::move(image));
    ++shared().counts.images_fetched;
    *out = PropertySet::handle(key);
    return kOfxStatOK;
}

OfxStatus clip_release_image(OfxPropertySetHandle h)
{
    std::unique_ptr<Image> image;
    {
        std::lock_guard lock(shared().mutex);
        const auto it = shared().images.find(props(h));
        if (it == shared().images.end()) {
            report_violation("clipReleaseImage of an image the host did not give out");
            return kOfxStatErrBadHandle;
        }
        image = std::move(it->second);
        shared().images.erase(it);
        ++shared().counts.images_released;
    }
    if (image->target != nullptr) {
        const Frame& tile = image->pixels;
        const std::size_t row = static_cast<std::size_t>(tile.width()) * tile.pixel_bytes;
        for (int y = tile.bounds.y1; y < tile.bounds.y2; ++y) {
            std::memcpy(image->target->pixel(tile.bounds.x1, y), tile.pixel(tile.bounds.x1, y),
                        row);
        }
    }
    return kOfxStatOK;
}

OfxStatus clip_get_rod(OfxImageClipHandle handle, OfxTime, OfxRectD* bounds)
{
    if (handle == nullptr || bounds == nullptr) return kOfxStatErrBadHandle;
    const Clip* clip = reinterpret_cast<Clip*>(handle);
    if (clip->frame == nullptr) {
        *bounds = {0, 0, 0, 0};
        return kOfxStatOK;
    }
    const RenderContext& ctx = this_thread();
    *bounds = canonical_of(clip->frame->bounds,
                           ctx.request != nullptr ? ctx.request->scale : OfxPointD{1, 1},
                           clip->props.get_double(kOfxImagePropPixelAspectRatio, 0, 1.0));
    return kOfxStatOK;
}

int abort_render(OfxImageEffectHandle)
{
    const Shared& s = shared();
    return s.faults != nullptr && s.faults->abort_render ? 1 : 0;
}

OfxStatus image_memory_alloc(OfxImageEffectHandle, size_t, OfxImageMemoryHandle*)
{
    return kOfxStatErrUnsupported;
}
OfxStatus image_memory_handle(OfxImageMemoryHandle) { return kOfxStatErrUnsupported; }
OfxStatus image_memory_lock(OfxImageMemoryHandle, void**) { return kOfxStatErrUnsupported; }

const OfxImageEffectSuiteV1 kEffectSuite = {
    &get_property_set,      &get_param_set,      &clip_define,         &clip_get_handle,
    &clip_get_property_set, &clip_get_image,     &clip_release_image,  &clip_get_rod,
    &abort_render,          &image_memory_alloc, &image_memory_handle, &image_memory_lock,
    &image_memory_handle,
};

// ---------------------------------------------------------------- parameters

ParamSet* param_set(OfxParamSetHandle h) { return reinterpret_cast<ParamSet*>(h); }
Param* param(OfxParamHandle h) { return reinterpret_cast<Param*>(h); }

// Value type and dimension of each parameter type the host knows.
bool value_shape(std::string_view type, PropType& value_type, std::size_t& dimension)
{
    if (type == kOfxParamTypeChoice || type == "OfxParamTypeInteger" ||
        type == "OfxParamTypeBoolean") {
        value_type = PropType::integer;
        dimension = 1;
    } else if (type == kOfxParamTypeDouble) {
        value_type = PropType::real;
        dimension = 1;
    } else if (type == kOfxParamTypeDouble2D) {
        value_type = PropType::real;
        dimension = 2;
    } else if (type == kOfxParamTypeRGB) {
        value_type = PropType::real;
        dimension = 3;
    } else {
        return false;
    }
    return true;
}

OfxStatus param_define(OfxParamSetHandle set, const char* type, const char* name,
                       OfxPropertySetHandle* out)
{
    if (set == nullptr || type == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    ParamSet* ps = param_set(set);
    if (ps->find(name) != nullptr) return kOfxStatErrExists;
    auto p = std::make_unique<Param>();
    if (!value_shape(type, p->props.value_type, p->props.value_dimension)) {
        return kOfxStatErrUnknown;
    }
    p->type = type;
    p->props.what = std::string("param ") + name;
    p->props.set(kOfxPropType, std::vector<std::string>{kOfxTypeParameter});
    p->props.set(kOfxPropName, std::vector<std::string>{name});
    p->props.set(kOfxParamPropType, std::vector<std::string>{type});
    if (out != nullptr) *out = PropertySet::handle(&p->props);
    ps->params.push_back(std::move(p));
    return kOfxStatOK;
}

OfxStatus param_get_handle(OfxParamSetHandle set, const char* name, OfxParamHandle* out,
                           OfxPropertySetHandle* out_props)
{
    if (set == nullptr || name == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    Param* p = param_set(set)->find(name);
    if (p == nullptr) return kOfxStatErrUnknown;
    *out = reinterpret_cast<OfxParamHandle>(p);
    if (out_props != nullptr) *out_props = PropertySet::handle(&p->props);
    return kOfxStatOK;
}

OfxStatus param_set_props(OfxParamSetHandle set, OfxPropertySetHandle* out)
{
    if (set == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = PropertySet::handle(&param_set(set)->props);
    return kOfxStatOK;
}

OfxStatus param_props(OfxParamHandle h, OfxPropertySetHandle* out)
{
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = PropertySet::handle(&param(h)->props);
    return kOfxStatOK;
}

OfxStatus read_value(OfxParamHandle h, va_list args)
{
    if (h == nullptr) return kOfxStatErrBadHandle;
    const Param& p = *param(h);
    if (p.props.value_type == PropType::integer) {
        int* v = va_arg(args, int*);
        if (v == nullptr) return kOfxStatErrBadHandle;
        *v = static_cast<int>(p.value.at(0));
        return kOfxStatOK;
    }
    for (std::size_t i = 0; i < p.props.value_dimension; ++i) {
        double* v = va_arg(args, double*);
        if (v == nullptr) return kOfxStatErrBadHandle;
        *v = p.value.at(i);
    }
    return kOfxStatOK;
}

OfxStatus param_get_value(OfxParamHandle h, ...)
{
    va_list args;
    va_start(args, h);
    const OfxStatus st = read_value(h, args);
    va_end(args);
    return st;
}

OfxStatus param_get_value_at_time(OfxParamHandle h, OfxTime time, ...)
{
    va_list args;
    va_start(args, time);
    const OfxStatus st = read_value(h, args);
    va_end(args);
    return st;
}

OfxStatus param_unsupported_at(OfxParamHandle, OfxTime, ...) { return kOfxStatErrUnsupported; }
OfxStatus param_integral(OfxParamHandle, OfxTime, OfxTime, ...) { return kOfxStatErrUnsupported; }
OfxStatus param_unsupported(OfxParamHandle, ...) { return kOfxStatErrUnsupported; }
OfxStatus param_num_keys(OfxParamHandle, unsigned int* n)
{
    if (n != nullptr) *n = 0;
    return kOfxStatOK;
}
OfxStatus param_key_time(OfxParamHandle, unsigned int, OfxTime*) { return kOfxStatErrBadIndex; }
OfxStatus param_key_index(OfxParamHandle, OfxTime, int, int* index)
{
    if (index != nullptr) *index = -1;
    return kOfxStatFailed;
}
OfxStatus param_delete_key(OfxParamHandle, OfxTime) { return kOfxStatErrBadIndex; }
OfxStatus param_delete_all(OfxParamHandle) { return kOfxStatOK; }
OfxStatus param_copy(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD*)
{
    return kOfxStatErrUnsupported;
}
OfxStatus param_edit_begin(OfxParamSetHandle, const char*) { return kOfxStatOK; }
OfxStatus param_edit_end(OfxParamSetHandle) { return kOfxStatOK; }

const OfxParameterSuiteV1 kParameterSuite = {
    &param_define,      &param_get_handle,        &param_set_props,      &param_props,
    &param_get_value,   &param_get_value_at_time, &param_unsupported_at, &param_integral,
    &param_unsupported, &param_unsupported_at,    &param_num_keys,       &param_key_time,
    &param_key_index,   &param_delete_key,        &param_delete_all,     &param_copy,
    &param_edit_begin,  &param_edit_end,
};

// ---------------------------------------------------------------- memory

OfxStatus memory_alloc(void*, size_t bytes, void** out)
{
    if (out == nullptr) return kOfxStatErrBadHandle;
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    const long call = s.allocation_calls++;
    if (s.faults != nullptr && s.faults->fail_allocation == call) {
        *out = nullptr;
        return kOfxStatErrMemory;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) return kOfxStatErrMemory;
    s.blocks.emplace(block, bytes);
    ++s.counts.allocations;
    *out = block;
    return kOfxStatOK;
}

OfxStatus memory_free(void* block)
{
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    const auto it = s.blocks.find(block);
    if (it == s.blocks.end()) {
        report_violation("memoryFree of memory the host did not allocate");
        return kOfxStatErrBadHandle;
    }
    s.blocks.erase(it);
    std::free(block);
    ++s.counts.frees;
    return kOfxStatOK;
}

const OfxMemorySuiteV1 kMemorySuite = {&memory_alloc, &memory_free};

// ---------------------------------------------------------------- threads

thread_local unsigned t_thread_index = 0;
thread_local bool t_spawned = false;

OfxStatus multi_thread(OfxThreadFunctionV1 func, unsigned int count, void* arg)
{
    if (func == nullptr) return kOfxStatErrBadHandle;
    const Shared& s = shared();
    if (s.faults != nullptr && s.faults->fail_multithread) return kOfxStatFailed;
    if (t_spawned) {
        report_violation("multiThread called from a spawned thread");
        return kOfxStatFailed;
    }
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        threads.emplace_back([=] {
            t_thread_index = i;
            t_spawned = true;
            func(i, count, arg);
        });
    }
    for (std::thread& t : threads) t.join();
    return kOfxStatOK;
}

OfxStatus num_cpus(unsigned int* n)
{
    if (n == nullptr) return kOfxStatErrBadHandle;
    const RenderContext& ctx = this_thread();
    *n = ctx.request != nullptr ? ctx.request->threads : 1;
    return kOfxStatOK;
}

OfxStatus thread_index(unsigned int* index)
{
    if (index == nullptr) return kOfxStatErrBadHandle;
    *index = t_thread_index;
    return kOfxStatOK;
}

int is_spawned() { return t_spawned ? 1 : 0; }
OfxStatus mutex_create(OfxMutexHandle*, int) { return kOfxStatErrUnsupported; }
OfxStatus mutex_op(const OfxMutexHandle) { return kOfxStatErrUnsupported; }

const OfxMultiThreadSuiteV1 kThreadSuite = {&multi_thread, &num_cpus,     &thread_index,
                                            &is_spawned,   &mutex_create, &mutex_op,
                                            &mutex_op,     &mutex_op,     &mutex_op};

// ---------------------------------------------------------------- messages

OfxStatus message(void*, const char* type, const char* id, const char* format, ...)
{
    char text[1024] = {};
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    std::lock_guard lock(shared().mutex);
    shared().messages.push_back(std::string(type ? type : "") + " " + (id ? id : "") + ": " + text);
    return kOfxStatOK;
}

const OfxMessageSuiteV1 kMessageSuite = {&message};

}  // namespace

Shared& shared()
{
    static Shared s;
    return s;
}

RenderContext& this_thread()
{
    thread_local RenderContext ctx;
    return ctx;
}

const void* fetch_suite(OfxPropertySetHandle, const char* name, int version)
{
    if (name == nullptr || version != 1) return nullptr;
    const Shared& s = shared();
    if (s.faults != nullptr && s.faults->missing_suites.count(name) != 0) return nullptr;
    const std::string_view n = name;
    if (n == kOfxPropertySuite) return &kPropertySuite;
    if (n == kOfxImageEffectSuite) return &kEffectSuite;
    if (n == kOfxParameterSuite) return &kParameterSuite;
    if (n == kOfxMemorySuite) return &kMemorySuite;
    if (n == kOfxMultiThreadSuite) return &kThreadSuite;
    if (n == kOfxMessageSuite) return &kMessageSuite;
    return nullptr;
}

}  // namespace ofxhost::state
