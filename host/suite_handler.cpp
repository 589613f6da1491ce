#include "host/suite_handler.h"

#include <cstring>

namespace velkor {
namespace {

// Every suite version the handler can serve. The module itself asks only for
// the six named in the header; the rest keep the handler general.
constexpr SuiteId kKnownSuites[] = {
    {"AEGP Marker Suite", 1},
    {"AEGP Marker Suite", 2},
    {"AEGP Layer Suite", 5},
    {"AEGP Layer Suite", 8},
    {"AEGP Layer Suite", 10},
    {"AEGP Layer Suite", 11},
    {"AEGP Layer Suite", 12},
    {"AEGP Layer Suite", 13},
    {"AEGP Stream Suite", 4},
    {"AEGP Stream Suite", 7},
    {"AEGP Stream Suite", 8},
    {"AEGP Stream Suite", 9},
    {"AEGP Dynamic Stream Suite", 2},
    {"AEGP Dynamic Stream Suite", 3},
    {"AEGP Dynamic Stream Suite", 5},
    {"AEGP Keyframe Suite", 1},
    {"AEGP Keyframe Suite", 3},
    {"AEGP Keyframe Suite", 4},
    {"AEGP Comp Suite", 4},
    {"AEGP Comp Suite", 9},
    {"AEGP Comp Suite", 11},
    {"AEGP Comp Suite", 14},
    {"AEGP Canvas Suite", 10},
    {"AEGP Canvas Suite", 11},
    {"AEGP Camera Suite", 2},
    {"AEGP Register Suite", 6},
    {"AEGP Item Suite", 3},
    {"AEGP Item Suite", 7},
    {"AEGP Item Suite", 10},
    {"AEGP Item Suite", 11},
    {"AEGP Item Suite", 13},
    {"AEGP PF Interface Suite", 1},
    {"PF Path Query Suite", 1},
    {"AEGP Memory Suite", 1},
    {"PF Path Data Suite", 1},
    {"PF Param Utils Suite", 2},
    {"PF AE App Suite", 6},
    {"PF AE Adv App Suite", 1},
    {"PF AE Adv App Suite", 2},
    {"AEGP Light Suite", 1},
    {"AEGP Light Suite", 2},
    {"AEGP Effect Suite", 1},
    {"AEGP Effect Suite", 2},
    {"AEGP Effect Suite", 3},
    {"AEGP Layer Mask Suite", 2},
    {"AEGP Layer Mask Suite", 5},
    {"AEGP Mask Outline Suite", 2},
    {"AEGP Mask Outline Suite", 3},
    {"AEGP Command Suite", 1},
    {"AEGP Utility Suite", 3},
    {"AEGP Utility Suite", 7},
    {"AEGP Utility Suite", 10},
    {"AEGP Utility Suite", 11},
    {"AEGP Render Suite", 1},
    {"AEGP Render Suite", 2},
    {"PF ANSI Suite", 1},
    {"PF Handle Suite", 2},
    {"PF Fill Matte Suite", 2},
    {"PF World Transform Suite", 1},
    {"AEGP QueryXform Suite", 4},
    {"AEGP Composite Suite", 4},
    {"PF World Suite", 1},
    {"AEGP IO In Suite", 5},
    {"AEGP IO Out Suite", 7},
    {"AEGP Render Queue Suite", 1},
    {"AEGP Render Queue Item Suite", 3},
    {"AEGP Render Queue Item Suite", 4},
    {"AEGP Output Module Suite", 4},
    {"AEGP File Import Manager Suite", 3},
    {"PF Sampling8 Suite", 1},
    {"PF Sampling16 Suite", 1},
    {"PF Iterate8 Suite", 1},
    {"PF iterate16 Suite", 1},
    {"PF iterateFloat Suite", 1},
    {"AEGP Collection Suite", 1},
    {"AEGP Collection Suite", 2},
    {"AEGP Text Document Suite", 1},
    {"AEGP Sound Data Suite", 1},
    {"AEGP Text Layer Suite", 1},
    {"AEGP Artisan Util Suite", 1},
    {"AEGP World Suite", 2},
    {"AEGP World Suite", 3},
    {"AEGP Render Options Suite", 1},
    {"AEGP Render Options Suite", 2},
    {"AEGP Tracker Suite", 1},
    {"AEGP Tracker Utility Suite", 1},
    {"AE Plugin Helper Suite2", 2},
    {"PF AE Adv Item Suite", 1},
    {"AEGP Proj Suite", 8},
    {"AEGP Footage Suite", 11},
    {"AEGP Persistent Data Suite", 3},
    {"PF Color Settings Suite", 1},
    {"PF Color Settings Suite", 3},
    {"PF ColorParamSuite", 1},
    {"PF SamplingFloat Suite", 1},
    {"PF Effect Custom UI Suite", 1},
    {"PF Effect Custom UI Overlay Theme Suite", 1},
    {"DRAWBOT Draw Suite", 1},
    {"DRAWBOT Supplier Suite", 1},
    {"DRAWBOT Surface Suite", 1},
    {"DRAWBOT Path Suite", 1},
    {"AEGP Iterate Suite", 1},
    {"PF World Suite", 2},
};

static_assert(std::size(kKnownSuites) <= SuiteHandler::kSlotCount);

std::size_t slot_of(const SuiteId& id)
{
    for (std::size_t i = 0; i < std::size(kKnownSuites); ++i) {
        if (kKnownSuites[i].version == id.version &&
            std::strcmp(kKnownSuites[i].name, id.name) == 0) {
            return i;
        }
    }
    missing_suite_error();
}

void show_message(const PF_InData* in_data, PF_OutData* out_data, const char* message)
{
    if (out_data == nullptr) return;
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    // The message is an argument, never the format: a '%' in it must not be read
    // as a conversion.
    if (in_data != nullptr && in_data->utils != nullptr &&
        in_data->utils->ansi.sprintf != nullptr) {
        in_data->utils->ansi.sprintf(out_data->return_msg, "%s", message);
    } else {
        std::strncpy(out_data->return_msg, message, sizeof out_data->return_msg - 1);
        out_data->return_msg[sizeof out_data->return_msg - 1] = '\0';
    }
}

}  // namespace

void missing_suite_error() { throw PF_Err{PF_Err_BAD_CALLBACK_PARAM}; }

SuiteHandler::SuiteHandler(SPBasicSuite* basic) : basic_(basic)
{
    if (basic_ == nullptr) missing_suite_error();
}

SuiteHandler::~SuiteHandler() { release_all_suites(); }

const void* SuiteHandler::suite(const SuiteId& id)
{
    const std::size_t slot = slot_of(id);
    if (slots_[slot] == nullptr) {
        const void* acquired = nullptr;
        const SPErr err = basic_->AcquireSuite(id.name, id.version, &acquired);
        if (err != 0 || acquired == nullptr) missing_suite_error();
        slots_[slot] = acquired;
    }
    return slots_[slot];
}

const PF_HandleSuite1& SuiteHandler::handle_suite()
{
    return *static_cast<const PF_HandleSuite1*>(suite(kHandleSuite));
}

const AEGP_UtilitySuite3& SuiteHandler::utility_suite()
{
    return *static_cast<const AEGP_UtilitySuite3*>(suite(kUtilitySuite));
}

const PF_ParamUtilsSuite1& SuiteHandler::param_utils_suite()
{
    return *static_cast<const PF_ParamUtilsSuite1*>(suite(kParamUtilsSuite));
}

const PF_WorldSuite2& SuiteHandler::world_suite()
{
    return *static_cast<const PF_WorldSuite2*>(suite(kWorldSuite));
}

const AEGP_IterateSuite1& SuiteHandler::iterate_suite()
{
    return *static_cast<const AEGP_IterateSuite1*>(suite(kIterateSuite));
}

const PF_Iterate8Suite1& SuiteHandler::iterate8_suite()
{
    return *static_cast<const PF_Iterate8Suite1*>(suite(kIterate8Suite));
}

void SuiteHandler::release_all_suites() noexcept
{
    for (std::size_t i = 0; i < std::size(kKnownSuites); ++i) {
        if (slots_[i] != nullptr) {
            basic_->ReleaseSuite(kKnownSuites[i].name, kKnownSuites[i].version);
            slots_[i] = nullptr;
        }
    }
}

PF_Err acquire_aefx_suite(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                          int32_t version, const char* message, const void** suite)
{
    if (suite == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *suite = nullptr;
    if (in_data != nullptr && in_data->pica_basicP != nullptr) {
        in_data->pica_basicP->AcquireSuite(name, version, suite);
        if (*suite != nullptr) return PF_Err_NONE;
    }
    show_message(in_data, out_data,
                 message != nullptr ? message : "Not able to acquire AEFX Suite.");
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err release_aefx_suite(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                          int32_t version, const char* message)
{
    if (in_data != nullptr && in_data->pica_basicP != nullptr) {
        in_data->pica_basicP->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    show_message(in_data, out_data,
                 message != nullptr ? message : "Not able to release AEFX Suite.");
    return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace velkor
