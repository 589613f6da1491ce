#include "simhost/param_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace simhost {

namespace {

// A point's value in layer pixels, (0, 0) for a point the host never set.
KeyValue point_value(const std::map<int, std::pair<double, double>>& points, int index)
{
    KeyValue value;
    if (const auto point = points.find(index); point != points.end()) {
        value.v = {point->second.first, point->second.second, 0.0, 0.0};
    }
    return value;
}

// A point's coordinate in 16.16; a Bezier segment may carry a point past any
// value a user could set, and it then stops at the largest the record holds.
PF_Fixed point_fixed(double pixels)
{
    constexpr double largest = 2147483647.0;
    return static_cast<PF_Fixed>(std::clamp(std::round(pixels * 65536.0), -largest, largest));
}

}  // namespace

PF_Err ParamStore::add(PF_ParamIndex index, const PF_ParamDef* def, PF_Err injected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    AddParamCall call;
    call.index = index;
    if (def != nullptr) {
        call.def = *def;
        if (def->param_type == PF_Param_POPUP && def->u.pd.u.namesptr != nullptr) {
            call.choices = def->u.pd.u.namesptr;
        }
    } else {
        recorder_.violation("add_param with a null record");
    }
    call.result = def == nullptr ? PF_Err_BAD_CALLBACK_PARAM : injected;
    add_calls_.push_back(call);
    return call.result;
}

void ParamStore::adopt_declared(std::size_t first_call, int layer_width, int layer_height)
{
    std::lock_guard<std::mutex> lock(mutex_);
    params_.clear();
    choices_.clear();
    points_.clear();
    keys_.clear();
    PF_ParamDef layer{};
    layer.param_type = PF_Param_LAYER;
    std::strcpy(layer.name, "Input");
    params_.push_back(layer);
    choices_.emplace_back();
    for (std::size_t c = first_call; c < add_calls_.size(); ++c) {
        const AddParamCall& call = add_calls_[c];
        if (call.result != PF_Err_NONE) {
            continue;
        }
        PF_ParamDef def = call.def;
        const int index = static_cast<int>(params_.size());
        choices_.push_back(call.choices);
        if (def.param_type == PF_Param_POINT) {
            const double x = def.u.td.x_dephault / 65536.0 / 100.0 * layer_width;
            const double y = def.u.td.y_dephault / 65536.0 / 100.0 * layer_height;
            points_[index] = {x, y};
        }
        params_.push_back(def);
    }
    for (std::size_t i = 0; i < params_.size(); ++i) {
        if (params_[i].param_type == PF_Param_POPUP && !choices_[i].empty()) {
            params_[i].u.pd.u.namesptr = choices_[i].c_str();
        }
    }
}

std::size_t ParamStore::record_count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return params_.size();
}

std::vector<PF_ParamDef*> ParamStore::array(const PF_EffectWorld* input, const KeyTime& now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PF_ParamDef*> array;
    for (PF_ParamDef& def : params_) {
        array.push_back(&def);
    }
    if (!params_.empty() && input != nullptr) {
        params_[0].u.ld = *input;
    }
    for (const auto& [index, keys] : keys_) {
        PF_ParamDef& def = params_[static_cast<std::size_t>(index)];
        const KeyValue value = simhost::value_at(def.param_type, keys, now);
        if (def.param_type == PF_Param_POINT) {
            points_[index] = {value.v[0], value.v[1]};
        } else {
            set_record_value(def, value);
        }
    }
    return array;
}

void ParamStore::add_key(int index, const Keyframe& key)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Keyframe>& keys = keys_[index];
    const auto at =
        std::lower_bound(keys.begin(), keys.end(), key.time,
                         [](const Keyframe& k, const KeyTime& t) { return earlier(k.time, t); });
    if (at != keys.end() && same_time(at->time, key.time)) {
        *at = key;
    } else {
        keys.insert(at, key);
    }
}

void ParamStore::clear_keys(int index)
{
    std::lock_guard<std::mutex> lock(mutex_);
    keys_.erase(index);
}

std::vector<Keyframe> ParamStore::keys(int index) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = keys_.find(index);
    return it != keys_.end() ? it->second : std::vector<Keyframe>{};
}

KeyValue ParamStore::value_at(int index, const KeyTime& at) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return value_locked(index, at);
}

KeyValue ParamStore::value_locked(int index, const KeyTime& at) const
{
    const PF_ParamDef& def = params_.at(static_cast<std::size_t>(index));
    const auto keyed = keys_.find(index);
    if (keyed != keys_.end() && !keyed->second.empty()) {
        const KeyValue value = simhost::value_at(def.param_type, keyed->second, at);
        if (def.param_type == PF_Param_POINT) return value;
        // As the record holds it: a curve carried past a slider's range stops there.
        PF_ParamDef record = def;
        set_record_value(record, value);
        return record_value(record);
    }
    if (def.param_type == PF_Param_POINT) {
        return point_value(points_, index);
    }
    return record_value(def);
}

PF_Err ParamStore::checkout(const CheckoutParamCall& logged, PF_ParamDef* param,
                            const CheckoutContext& context)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CheckoutParamCall call = logged;
    const PF_ParamIndex index = call.index;
    const std::vector<PF_ParamDef>& records =
        context.values != nullptr ? context.values->records : params_;
    const auto& points = context.values != nullptr ? context.values->points : points_;
    const auto& keys = context.values != nullptr ? context.values->keys : keys_;
    if (call.result == PF_Err_NONE) {
        if (param == nullptr) {
            recorder_.violation("checkout_param with a null record");
            call.result = PF_Err_BAD_CALLBACK_PARAM;
        } else if (index < 0 || index >= static_cast<PF_ParamIndex>(records.size())) {
            call.result = PF_Err_INVALID_INDEX;
        } else {
            *param = records[static_cast<std::size_t>(index)];
            if (index == 0 && context.input != nullptr) {
                param->u.ld = *context.input;
            }
            const auto keyed = keys.find(index);
            const bool has_keys = keyed != keys.end() && !keyed->second.empty();
            const KeyTime at{call.what_time, call.time_scale};
            if (param->param_type == PF_Param_POINT) {
                const KeyValue value = has_keys
                                           ? simhost::value_at(PF_Param_POINT, keyed->second, at)
                                           : point_value(points, index);
                param->u.td.x_value = point_fixed(value.v[0] * context.downsample_x);
                param->u.td.y_value = point_fixed(value.v[1] * context.downsample_y);
            } else if (has_keys) {
                set_record_value(*param, simhost::value_at(param->param_type, keyed->second, at));
            }
            out_.emplace_back(param, index);
            ++checked_out_;
        }
    }
    checkout_calls_.push_back(call);
    return call.result;
}

ParamValues ParamStore::values() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ParamValues{params_, points_, keys_};
}

PF_Err ParamStore::checkin(PF_ParamDef* param, PF_Err injected)
{
    // An injected failure is still a check-in: the host takes the record back and
    // only reports the error.
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(out_.begin(), out_.end(),
                           [param](const auto& out) { return out.first == param; });
    if (it == out_.end() && param != nullptr) {
        it = std::find_if(out_.begin(), out_.end(), [param](const auto& out) {
            return out.second == param->uu.id && out.first->param_type == param->param_type;
        });
    }
    if (it == out_.end()) {
        recorder_.violation("checkin_param of a record that is not checked out");
        return injected != PF_Err_NONE ? injected : PF_Err_BAD_CALLBACK_PARAM;
    }
    out_.erase(it);
    ++checked_in_;
    return injected;
}

PF_Err ParamStore::update_ui(PF_ParamIndex index, const PF_ParamDef* def, PF_Err injected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    UpdateParamUiCall call;
    call.index = index;
    if (def != nullptr) {
        call.def = *def;
    } else {
        recorder_.violation("PF_UpdateParamUI with a null record");
    }
    call.result = injected;
    update_ui_calls_.push_back(call);
    return injected;
}

void ParamStore::clear_logs()
{
    std::lock_guard<std::mutex> lock(mutex_);
    add_calls_.clear();
    checkout_calls_.clear();
    update_ui_calls_.clear();
}

void ParamStore::account(Accounting& a) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    a.params_checked_out = checked_out_;
    a.params_checked_in = checked_in_;
    for (const auto& [def, index] : out_) {
        a.params_outstanding.push_back(index);
    }
}

}  // namespace simhost
