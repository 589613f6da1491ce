// The host's side of the parameters: the declarations the module made with
// add_param, the records the host keeps for them (slot 0 the input layer), point
// values in layer pixels, keyframes (keyframes.h), checkouts and check-ins at a
// time, and the PF_UpdateParamUI calls. Every call is logged with its result for
// the tests.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/command_log.h"
#include "simhost/keyframes.h"

namespace simhost {

struct AddParamCall {
    PF_ParamIndex index = 0;
    PF_ParamDef def{};
    std::string choices;  // the popup's choice string, copied
    PF_Err result = 0;
};

struct CheckoutParamCall {
    PF_ParamIndex index = 0;
    A_long what_time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;
    PF_Err result = 0;
};

struct UpdateParamUiCall {
    PF_ParamIndex index = 0;
    PF_ParamDef def{};  // a copy of what the module passed
    PF_Err result = 0;
};

// The parameters' values at one moment: the host's records (slot 0 the layer)
// and the points in layer pixels. A frame rendered beside others keeps its own.
struct ParamValues {
    std::vector<PF_ParamDef> records;
    std::map<int, std::pair<double, double>> points;
    std::map<int, std::vector<Keyframe>> keys;  // keyframed controls, by index
};

// What a checkout needs from the frame and the host's settings.
struct CheckoutContext {
    const PF_EffectWorld* input = nullptr;  // the frame's input layer, if a frame is open
    double downsample_x = 1.0;
    double downsample_y = 1.0;
    const ParamValues* values = nullptr;  // the frame's own values; null: the host's records
};

class ParamStore {
public:
    explicit ParamStore(CommandRecorder& recorder) : recorder_(recorder) {}

    // The callbacks' bodies; `injected` is the fault planned for the call. A
    // checkout gives the value at the call's time (what_time / time_scale).
    PF_Err add(PF_ParamIndex index, const PF_ParamDef* def, PF_Err injected);
    PF_Err checkout(const CheckoutParamCall& call, PF_ParamDef* param,
                    const CheckoutContext& context);
    PF_Err checkin(PF_ParamDef* param, PF_Err injected);
    PF_Err update_ui(PF_ParamIndex index, const PF_ParamDef* def, PF_Err injected);

    // Takes the successful declarations from `first_call` on as the records,
    // values at their defaults, points converted from percent of the layer.
    void adopt_declared(std::size_t first_call, int layer_width, int layer_height);
    std::vector<PF_ParamDef>& records() { return params_; }
    std::size_t record_count() const;
    // Pointers into records(); slot 0 shows `input` when there is one, and each
    // keyframed control its value at `now`, as the host passes them to a command.
    std::vector<PF_ParamDef*> array(const PF_EffectWorld* input, const KeyTime& now);
    std::pair<double, double>& point(int index) { return points_[index]; }
    // A copy of the records and points as they are now.
    ParamValues values() const;

    // Keys of the control at `index`: a key at a time it already has replaces
    // that key. A control with keys takes its value from them at every checkout;
    // clear_keys makes the record's value (or the point's) hold again.
    void add_key(int index, const Keyframe& key);
    void clear_keys(int index);
    std::vector<Keyframe> keys(int index) const;
    // What a checkout at `at` gives, in the units the control is keyed in
    // (points in layer pixels, before the downsample).
    KeyValue value_at(int index, const KeyTime& at) const;

    const std::vector<AddParamCall>& add_calls() const { return add_calls_; }
    const std::vector<CheckoutParamCall>& checkout_calls() const { return checkout_calls_; }
    const std::vector<UpdateParamUiCall>& update_ui_calls() const { return update_ui_calls_; }
    void clear_logs();

    void account(Accounting& a) const;

private:
    KeyValue value_locked(int index, const KeyTime& at) const;

    CommandRecorder& recorder_;
    mutable std::mutex mutex_;
    std::vector<AddParamCall> add_calls_;
    std::vector<PF_ParamDef> params_;
    std::vector<std::string> choices_;  // by index, the strings the popups' records point at
    std::map<int, std::pair<double, double>> points_;
    std::map<int, std::vector<Keyframe>> keys_;
    std::vector<CheckoutParamCall> checkout_calls_;
    std::vector<std::pair<const PF_ParamDef*, int>> out_;  // records checked out, with their index
    int checked_out_ = 0;
    int checked_in_ = 0;
    std::vector<UpdateParamUiCall> update_ui_calls_;
};

}  // namespace simhost
