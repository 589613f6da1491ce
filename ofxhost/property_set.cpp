#include "ofxhost/property_set.h"

#include <initializer_list>
#include <type_traits>

namespace ofxhost {
namespace {

// What the standard says of a property a plug-in may write.
struct Rule {
    const char* name;
    PropType type;
    int dimension;  // 0: any number of values
    bool boolean = false;
    bool param_value = false;  // type and dimension of the parameter's value
    std::initializer_list<const char*> valid = {};
};

constexpr PropType S = PropType::string;
constexpr PropType I = PropType::integer;
constexpr PropType D = PropType::real;
constexpr PropType P = PropType::pointer;

const Rule kRules[] = {
    {kOfxPropLabel, S, 1},
    {kOfxPropShortLabel, S, 1},
    {kOfxPropLongLabel, S, 1},
    {kOfxPropPluginDescription, S, 1},
    {kOfxPropVersion, I, 0},
    {kOfxPropVersionLabel, S, 1},
    {kOfxPropInstanceData, P, 1},
    {kOfxImageEffectPluginPropGrouping, S, 1},
    {kOfxImageEffectPropSupportedContexts,
     S,
     0,
     false,
     false,
     {kOfxImageEffectContextGenerator, kOfxImageEffectContextFilter,
      "OfxImageEffectContextTransition", "OfxImageEffectContextPaint",
      kOfxImageEffectContextGeneral, "OfxImageEffectContextRetimer"}},
    {kOfxImageEffectPropSupportedPixelDepths,
     S,
     0,
     false,
     false,
     {kOfxBitDepthNone, kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthHalf, kOfxBitDepthFloat}},
    {kOfxImageEffectPropSupportedComponents,
     S,
     0,
     false,
     false,
     {kOfxImageComponentNone, kOfxImageComponentRGBA, "OfxImageComponentRGB",
      "OfxImageComponentAlpha"}},
    {kOfxImageEffectPluginRenderThreadSafety,
     S,
     1,
     false,
     false,
     {"OfxImageEffectRenderUnsafe", "OfxImageEffectRenderInstanceSafe",
      kOfxImageEffectRenderFullySafe}},
    {kOfxImageEffectPluginPropHostFrameThreading, I, 1, true},
    {kOfxImageEffectPluginPropSingleInstance, I, 1, true},
    {kOfxImageEffectPropSupportsTiles, I, 1, true},
    {kOfxImageEffectPropSupportsMultiResolution, I, 1, true},
    {kOfxImageEffectPropTemporalClipAccess, I, 1, true},
    {kOfxImageEffectPropSupportsMultipleClipDepths, I, 1, true},
    {kOfxImageEffectPropSupportsMultipleClipPARs, I, 1, true},
    {kOfxImageClipPropOptional, I, 1, true},
    {kOfxImageEffectPropPreMultiplication,
     S,
     1,
     false,
     false,
     {kOfxImageOpaque, kOfxImagePreMultiplied, kOfxImageUnPreMultiplied}},
    {kOfxImageEffectFrameVarying, I, 1, true},
    {kOfxImageEffectPropRegionOfDefinition, D, 4},
    {kOfxParamPropScriptName, S, 1},
    {kOfxParamPropHint, S, 1},
    {kOfxParamPropAnimates, I, 1, true},
    {kOfxParamPropEnabled, I, 1, true},
    {kOfxParamPropChoiceOption, S, 0},
    {kOfxParamPropDigits, I, 1},
    {kOfxParamPropIncrement, D, 1},
    {kOfxParamPropDefault, D, 1, false, true},
    {kOfxParamPropMin, D, 1, false, true},
    {kOfxParamPropMax, D, 1, false, true},
    {kOfxParamPropDisplayMin, D, 1, false, true},
    {kOfxParamPropDisplayMax, D, 1, false, true},
    {kOfxParamPropDoubleType,
     S,
     1,
     false,
     false,
     {kOfxParamDoubleTypePlain, kOfxParamDoubleTypeAngle, "OfxParamDoubleTypeScale",
      "OfxParamDoubleTypeTime", "OfxParamDoubleTypeAbsoluteTime", "OfxParamDoubleTypeX",
      "OfxParamDoubleTypeXAbsolute", "OfxParamDoubleTypeY", "OfxParamDoubleTypeYAbsolute",
      "OfxParamDoubleTypeXY", kOfxParamDoubleTypeXYAbsolute}},
    {kOfxParamPropDefaultCoordinateSystem,
     S,
     1,
     false,
     false,
     {"OfxParamCoordinatesCanonical", kOfxParamCoordinatesNormalised}},
};

std::mutex g_violation_mutex;
std::vector<std::string> g_violations;

const Rule* rule_of(const std::string& name)
{
    for (const Rule& r : kRules) {
        if (name == r.name) return &r;
    }
    return nullptr;
}

const char* type_name(PropType t)
{
    switch (t) {
    case PropType::integer:
        return "int";
    case PropType::real:
        return "double";
    case PropType::string:
        return "string";
    default:
        return "pointer";
    }
}

template <class T>
constexpr PropType type_of()
{
    if constexpr (std::is_same_v<T, int>) return PropType::integer;
    if constexpr (std::is_same_v<T, double>) return PropType::real;
    if constexpr (std::is_same_v<T, const char*>) return PropType::string;
    return PropType::pointer;
}

template <class T>
auto& values_of(Property& p)
{
    if constexpr (std::is_same_v<T, int>)
        return p.ints;
    else if constexpr (std::is_same_v<T, double>)
        return p.doubles;
    else if constexpr (std::is_same_v<T, const char*>)
        return p.strings;
    else
        return p.pointers;
}

template <class T>
const auto& values_of(const Property& p)
{
    return values_of<T>(const_cast<Property&>(p));
}

// Checks one write of the plug-in against the rules.
template <class T>
void check_write(const PropertySet& set, const std::string& name, int index, const T& value)
{
    const Rule* rule = rule_of(name);
    const std::string where = set.what + ": " + name;
    if (rule == nullptr) {
        report_violation(where + " is not a property a plug-in writes");
        return;
    }
    PropType type = rule->type;
    int dimension = rule->dimension;
    if (rule->param_value) {
        type = set.value_type;
        dimension = static_cast<int>(set.value_dimension);
    }
    if (type_of<T>() != type) {
        report_violation(where + " is a " + type_name(type) + ", written as a " +
                         type_name(type_of<T>()));
    }
    if (index < 0 || (dimension > 0 && index >= dimension)) {
        report_violation(where + " has " + std::to_string(dimension) + " values, written at " +
                         std::to_string(index));
    }
    if constexpr (std::is_same_v<T, int>) {
        if (rule->boolean && value != 0 && value != 1) {
            report_violation(where + " is 0 or 1, written " + std::to_string(value));
        }
    }
    if constexpr (std::is_same_v<T, const char*>) {
        if (rule->valid.size() > 0) {
            bool ok = false;
            for (const char* v : rule->valid)
                ok = ok || (value != nullptr && std::string(v) == value);
            if (!ok)
                report_violation(where + " has no value \"" + (value ? value : "(null)") + "\"");
        }
    }
}

}  // namespace

std::size_t Property::size() const
{
    switch (type) {
    case PropType::integer:
        return ints.size();
    case PropType::real:
        return doubles.size();
    case PropType::string:
        return strings.size();
    default:
        return pointers.size();
    }
}

void PropertySet::set(const std::string& name, std::vector<int> v)
{
    std::lock_guard lock(mutex_);
    props_[name] = Property{PropType::integer, std::move(v), {}, {}, {}};
}
void PropertySet::set(const std::string& name, std::vector<double> v)
{
    std::lock_guard lock(mutex_);
    props_[name] = Property{PropType::real, {}, std::move(v), {}, {}};
}
void PropertySet::set(const std::string& name, std::vector<std::string> v)
{
    std::lock_guard lock(mutex_);
    props_[name] = Property{PropType::string, {}, {}, std::move(v), {}};
}
void PropertySet::set(const std::string& name, std::vector<void*> v)
{
    std::lock_guard lock(mutex_);
    props_[name] = Property{PropType::pointer, {}, {}, {}, std::move(v)};
}

const Property* PropertySet::find(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    const auto it = props_.find(name);
    return it == props_.end() ? nullptr : &it->second;
}

int PropertySet::get_int(const std::string& name, int index, int fallback) const
{
    const Property* p = find(name);
    return p && p->type == PropType::integer && index < static_cast<int>(p->ints.size())
               ? p->ints[static_cast<std::size_t>(index)]
               : fallback;
}

double PropertySet::get_double(const std::string& name, int index, double fallback) const
{
    const Property* p = find(name);
    return p && p->type == PropType::real && index < static_cast<int>(p->doubles.size())
               ? p->doubles[static_cast<std::size_t>(index)]
               : fallback;
}

std::string PropertySet::get_string(const std::string& name, int index) const
{
    const Property* p = find(name);
    return p && p->type == PropType::string && index < static_cast<int>(p->strings.size())
               ? p->strings[static_cast<std::size_t>(index)]
               : std::string();
}

void* PropertySet::get_pointer(const std::string& name, int index) const
{
    const Property* p = find(name);
    return p && p->type == PropType::pointer && index < static_cast<int>(p->pointers.size())
               ? p->pointers[static_cast<std::size_t>(index)]
               : nullptr;
}

template <class T>
OfxStatus PropertySet::plugin_set(const char* name, int index, T value)
{
    if (name == nullptr) return kOfxStatErrUnknown;
    check_write(*this, name, index, value);
    if (index < 0) return kOfxStatErrBadIndex;
    std::lock_guard lock(mutex_);
    Property& p = props_[name];
    if (p.size() == 0) p.type = type_of<T>();
    if (p.type != type_of<T>()) return kOfxStatErrValue;
    auto& values = values_of<T>(p);
    if (values.size() <= static_cast<std::size_t>(index))
        values.resize(static_cast<std::size_t>(index) + 1);
    if constexpr (std::is_same_v<T, const char*>) {
        values[static_cast<std::size_t>(index)] = value != nullptr ? value : "";
    } else {
        values[static_cast<std::size_t>(index)] = value;
    }
    return kOfxStatOK;
}

template <class T>
OfxStatus PropertySet::plugin_get(const char* name, int index, T* value) const
{
    if (name == nullptr || value == nullptr) return kOfxStatErrBadHandle;
    std::lock_guard lock(mutex_);
    const auto it = props_.find(name);
    if (it == props_.end()) return kOfxStatErrUnknown;
    const Property& p = it->second;
    if (p.type != type_of<std::remove_cv_t<T>>() &&
        !(std::is_same_v<T, char*> && p.type == PropType::string)) {
        return kOfxStatErrValue;
    }
    if constexpr (std::is_same_v<T, char*>) {
        const auto& values = p.strings;
        if (index < 0 || static_cast<std::size_t>(index) >= values.size())
            return kOfxStatErrBadIndex;
        *value = const_cast<char*>(values[static_cast<std::size_t>(index)].c_str());
    } else {
        const auto& values = values_of<T>(p);
        if (index < 0 || static_cast<std::size_t>(index) >= values.size())
            return kOfxStatErrBadIndex;
        *value = values[static_cast<std::size_t>(index)];
    }
    return kOfxStatOK;
}

OfxStatus PropertySet::plugin_dimension(const char* name, int* count) const
{
    if (name == nullptr || count == nullptr) return kOfxStatErrBadHandle;
    const Property* p = find(name);
    if (p == nullptr) return kOfxStatErrUnknown;
    *count = static_cast<int>(p->size());
    return kOfxStatOK;
}

template OfxStatus PropertySet::plugin_set<int>(const char*, int, int);
template OfxStatus PropertySet::plugin_set<double>(const char*, int, double);
template OfxStatus PropertySet::plugin_set<const char*>(const char*, int, const char*);
template OfxStatus PropertySet::plugin_set<void*>(const char*, int, void*);
template OfxStatus PropertySet::plugin_get<int>(const char*, int, int*) const;
template OfxStatus PropertySet::plugin_get<double>(const char*, int, double*) const;
template OfxStatus PropertySet::plugin_get<char*>(const char*, int, char**) const;
template OfxStatus PropertySet::plugin_get<void*>(const char*, int, void**) const;

std::vector<std::string> violations()
{
    std::lock_guard lock(g_violation_mutex);
    return g_violations;
}

void clear_violations()
{
    std::lock_guard lock(g_violation_mutex);
    g_violations.clear();
}

void report_violation(const std::string& text)
{
    std::lock_guard lock(g_violation_mutex);
    g_violations.push_back(text);
}

}  // namespace ofxhost
