// The thirteen controls of the effect, described once. Declaration to the host,
// the parameter count, the settings record and the enabling rules all read this
// table; no other list of indices exists.
#pragma once

#include <array>
#include <cstddef>

#include "host/host_interface.h"

namespace velkor {

// Index of each control in the host's parameter array. Each control's id equals
// its index; slot 0 is the input layer, which the host supplies itself.
enum ParamIndex : A_long {
    kParamInput = 0,
    kParamType = 1,
    kParamControlledBy = 2,
    kParamStartPoint = 3,
    kParamEndPoint = 4,
    kParamCenter = 5,
    kParamLength = 6,
    kParamDirection = 7,
    kParamStartColor = 8,
    kParamEndColor = 9,
    kParamStartAlpha = 10,
    kParamEndAlpha = 11,
    kParamShape = 12,
    kParamPower = 13,
};

inline constexpr A_long kFirstControl = kParamType;
inline constexpr A_long kLastControl = kParamPower;

// Popup values are 1-based choice numbers.
inline constexpr A_long kTypeColor = 1;
inline constexpr A_long kTypeAlpha = 2;
inline constexpr A_long kTypeColorAndAlpha = 3;
inline constexpr A_long kControlledByTwoPoints = 1;
inline constexpr A_long kControlledByCenterAndLength = 2;
inline constexpr A_long kShapeLinear = 1;
inline constexpr A_long kShapeLinear2 = 2;
inline constexpr A_long kShapeRadial = 3;

inline constexpr PF_Fixed kFixedOne = 65536;
inline constexpr PF_Fixed fixed_from_int(A_long v) { return v * kFixedOne; }

// Every control starts collapsed; none is supervised (enabling rules run on the
// host's UI update command instead).
inline constexpr PF_ParamFlags kParamFlags = PF_ParamFlag_COLLAPSE_TWIRLY;

// One control. Only the members of its `param_type` are meaningful.
struct ParamSpec {
    A_long index;
    const char* name;
    PF_ParamType param_type;

    // PF_Param_POPUP: choices separated by '|', default choice number.
    const char* choices = nullptr;
    A_short num_choices = 0;
    A_short popup_default = 0;

    // PF_Param_POINT: default position as 16.16 percent of the layer.
    PF_Fixed x_default = 0;
    PF_Fixed y_default = 0;

    // PF_Param_FLOAT_SLIDER.
    float valid_min = 0.0f;
    float valid_max = 0.0f;
    float slider_min = 0.0f;
    float slider_max = 0.0f;
    float float_default = 0.0f;
    float curve_tolerance = 0.0f;

    // PF_Param_FIX_SLIDER (16.16) and PF_Param_ANGLE (16.16 degrees) defaults and ranges.
    PF_Fixed fixed_valid_min = 0;
    PF_Fixed fixed_valid_max = 0;
    PF_Fixed fixed_slider_min = 0;
    PF_Fixed fixed_slider_max = 0;
    PF_Fixed fixed_default = 0;

    // Sliders of both kinds.
    A_short precision = 0;
    A_short display_flags = 0;

    // PF_Param_COLOR default, alpha, red, green, blue.
    PF_Pixel color_default{0, 0, 0, 0};
};

inline constexpr auto kParamTable = std::to_array<ParamSpec>({
    {.index = kParamType,
     .name = "Type",
     .param_type = PF_Param_POPUP,
     .choices = "Color|Alpha|Color & Alpha",
     .num_choices = 3,
     .popup_default = 1},
    {.index = kParamControlledBy,
     .name = "Controlled By",
     .param_type = PF_Param_POPUP,
     .choices = "Two Points|Center & Length",
     .num_choices = 2,
     .popup_default = 1},
    {.index = kParamStartPoint,
     .name = "Start of Ramp",
     .param_type = PF_Param_POINT,
     .x_default = fixed_from_int(0),
     .y_default = fixed_from_int(50)},
    {.index = kParamEndPoint,
     .name = "End of Ramp",
     .param_type = PF_Param_POINT,
     .x_default = fixed_from_int(100),
     .y_default = fixed_from_int(50)},
    {.index = kParamCenter,
     .name = "Center",
     .param_type = PF_Param_POINT,
     .x_default = fixed_from_int(50),
     .y_default = fixed_from_int(50)},
    {.index = kParamLength,
     .name = "Length",
     .param_type = PF_Param_FLOAT_SLIDER,
     .valid_min = 0.0f,
     .valid_max = 50000.0f,
     .slider_min = 0.0f,
     .slider_max = 300.0f,
     .float_default = 300.0f,
     .curve_tolerance = 0.05f,
     .precision = 1},
    {.index = kParamDirection,
     .name = "Direction",
     .param_type = PF_Param_ANGLE,
     .fixed_default = fixed_from_int(90)},
    {.index = kParamStartColor,
     .name = "Start Color",
     .param_type = PF_Param_COLOR,
     .color_default = {255, 255, 255, 255}},
    {.index = kParamEndColor,
     .name = "End Color",
     .param_type = PF_Param_COLOR,
     .color_default = {255, 0, 0, 0}},
    {.index = kParamStartAlpha,
     .name = "Start Alpha",
     .param_type = PF_Param_FIX_SLIDER,
     .fixed_valid_min = 0,
     .fixed_valid_max = fixed_from_int(100),
     .fixed_slider_min = 0,
     .fixed_slider_max = fixed_from_int(100),
     .fixed_default = fixed_from_int(100),
     .precision = 1,
     .display_flags = PF_ValueDisplayFlag_PERCENT},
    {.index = kParamEndAlpha,
     .name = "End Alpha",
     .param_type = PF_Param_FIX_SLIDER,
     .fixed_valid_min = 0,
     .fixed_valid_max = fixed_from_int(100),
     .fixed_slider_min = 0,
     .fixed_slider_max = fixed_from_int(100),
     .fixed_default = 0,
     .precision = 1,
     .display_flags = PF_ValueDisplayFlag_PERCENT},
    {.index = kParamShape,
     .name = "Shape",
     .param_type = PF_Param_POPUP,
     .choices = "Linear|Linear 2|Radial",
     .num_choices = 3,
     .popup_default = 1},
    {.index = kParamPower,
     .name = "Power",
     .param_type = PF_Param_FLOAT_SLIDER,
     .valid_min = 0.01f,
     .valid_max = 100.0f,
     .slider_min = 0.1f,
     .slider_max = 10.0f,
     .float_default = 1.0f,
     .curve_tolerance = 0.05f,
     .precision = 2},
});

// Parameters reported to the host: the input layer and one per control.
inline constexpr A_long kParamCount = static_cast<A_long>(kParamTable.size()) + 1;

constexpr bool table_is_in_index_order()
{
    for (std::size_t i = 0; i < kParamTable.size(); ++i) {
        if (kParamTable[i].index != static_cast<A_long>(i) + kFirstControl) return false;
    }
    return kParamTable.size() == static_cast<std::size_t>(kLastControl - kFirstControl + 1);
}
static_assert(table_is_in_index_order());

constexpr bool names_fit_the_host_field()
{
    for (const ParamSpec& control : kParamTable) {
        std::size_t n = 0;
        while (control.name[n] != '\0') ++n;
        if (n >= sizeof(PF_ParamDef::name)) return false;
    }
    return true;
}
static_assert(names_fit_the_host_field());

// The control at `index` (kFirstControl..kLastControl), or null for any other index.
const ParamSpec* find_param_spec(A_long index);

// The host's string copy, as its utility callbacks offer it.
typedef A_char* (*CopyNameFunc)(A_char* dest, const A_char* src);

// Fills a cleared record with the declaration of `control`: flags, type, name
// (copied with `copy_name`), the type's union member and, last, the id.
void fill_param_def(const ParamSpec& control, CopyNameFunc copy_name, PF_ParamDef& def);

}  // namespace velkor
