// The thirteen control declarations and the enabling rules, written out once
// from the effect's published controls and independently of the module's own
// table. The table tests and the module tests both compare against these.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "host/host_interface.h"

namespace golden {

namespace detail {

inline PF_ParamDef base(int index, PF_ParamType type, const char* name)
{
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.uu.id = index;
    def.param_type = type;
    std::strcpy(def.name, name);
    def.flags = 32;  // collapsed twirly
    return def;
}

inline PF_ParamDef popup(int index, const char* name, A_short choices)
{
    PF_ParamDef def = base(index, PF_Param_POPUP, name);
    def.u.pd.value = 1;
    def.u.pd.num_choices = choices;
    def.u.pd.dephault = 1;
    return def;
}

inline PF_ParamDef point(int index, const char* name, PF_Fixed x, PF_Fixed y)
{
    PF_ParamDef def = base(index, PF_Param_POINT, name);
    def.u.td.x_value = def.u.td.x_dephault = x;
    def.u.td.y_value = def.u.td.y_dephault = y;
    return def;
}

inline float f32(std::uint32_t bits) { return std::bit_cast<float>(bits); }

inline PF_ParamDef float_slider(int index, const char* name, std::uint32_t valid_min,
                                std::uint32_t valid_max, std::uint32_t slider_min,
                                std::uint32_t slider_max, std::uint32_t dephault, A_short precision)
{
    PF_ParamDef def = base(index, PF_Param_FLOAT_SLIDER, name);
    def.u.fs_d.value = static_cast<double>(f32(dephault));
    def.u.fs_d.valid_min = f32(valid_min);
    def.u.fs_d.valid_max = f32(valid_max);
    def.u.fs_d.slider_min = f32(slider_min);
    def.u.fs_d.slider_max = f32(slider_max);
    def.u.fs_d.dephault = f32(dephault);
    def.u.fs_d.precision = precision;
    def.u.fs_d.curve_tolerance = f32(0x3D4CCCCD);  // 0.05
    return def;
}

inline PF_ParamDef color(int index, const char* name, PF_Pixel value)
{
    PF_ParamDef def = base(index, PF_Param_COLOR, name);
    def.u.cd.value = def.u.cd.dephault = value;
    return def;
}

inline PF_ParamDef percent(int index, const char* name, PF_Fixed value)
{
    PF_ParamDef def = base(index, PF_Param_FIX_SLIDER, name);
    def.u.fd.value = def.u.fd.dephault = value;
    def.u.fd.valid_min = def.u.fd.slider_min = 0;
    def.u.fd.valid_max = def.u.fd.slider_max = 0x00640000;
    def.u.fd.precision = 1;
    def.u.fd.display_flags = 1;  // percent
    return def;
}

}  // namespace detail

// The record the host receives for control `index` (1..13), every field not set
// here zero. A popup's choice string is not part of it (see choices()).
inline PF_ParamDef declaration(int index)
{
    using namespace detail;
    switch (index) {
    case 1:
        return popup(1, "Type", 3);
    case 2:
        return popup(2, "Controlled By", 2);
    case 3:
        return point(3, "Start of Ramp", 0, 0x00320000);
    case 4:
        return point(4, "End of Ramp", 0x00640000, 0x00320000);
    case 5:
        return point(5, "Center", 0x00320000, 0x00320000);
    // Length: 0 .. 50000, slider 0 .. 300, default 300.
    case 6:
        return float_slider(6, "Length", 0x00000000, 0x47435000, 0x00000000, 0x43960000, 0x43960000,
                            1);
    case 7: {
        PF_ParamDef angle = base(7, PF_Param_ANGLE, "Direction");
        angle.u.ad.value = angle.u.ad.dephault = 0x005A0000;
        return angle;
    }
    case 8:
        return color(8, "Start Color", PF_Pixel{255, 255, 255, 255});
    case 9:
        return color(9, "End Color", PF_Pixel{255, 0, 0, 0});
    case 10:
        return percent(10, "Start Alpha", 0x00640000);
    case 11:
        return percent(11, "End Alpha", 0);
    case 12:
        return popup(12, "Shape", 3);
    // Power: 0.01 .. 100, slider 0.1 .. 10, default 1.
    case 13:
        return float_slider(13, "Power", 0x3C23D70A, 0x42C80000, 0x3DCCCCCD, 0x41200000, 0x3F800000,
                            2);
    default:
        return base(index, PF_Param_LAYER, "");
    }
}

// A popup's choices as the host receives them, or null for any other control.
inline const char* choices(int index)
{
    switch (index) {
    case 1:
        return "Color|Alpha|Color & Alpha";
    case 2:
        return "Two Points|Center & Length";
    case 12:
        return "Linear|Linear 2|Radial";
    default:
        return nullptr;
    }
}

// The PF_UpdateParamUI sends for these popup values, in order, as (index,
// disabled): the colour and alpha controls by "Type", then the position
// controls by "Controlled By" and "Shape". A value outside a popup's choices
// sends nothing for the controls it decides.
inline std::vector<std::pair<int, bool>> ui_sends(int type, int controlled_by, int shape)
{
    std::vector<std::pair<int, bool>> sends;
    if (type == 1) {
        sends = {{8, false}, {9, false}, {10, true}, {11, true}};
    } else if (type == 2) {
        sends = {{8, true}, {9, true}, {10, false}, {11, false}};
    } else if (type == 3) {
        sends = {{8, false}, {9, false}, {10, false}, {11, false}};
    }
    if (controlled_by == 1) {
        sends.insert(sends.end(), {{3, false}, {4, false}, {5, true}, {6, true}, {7, true}});
    } else if (controlled_by == 2) {
        sends.insert(sends.end(), {{3, true}, {4, true}});
        if (shape == 1 || shape == 2) {
            sends.insert(sends.end(), {{5, false}, {6, false}, {7, false}});
        } else if (shape == 3) {
            sends.insert(sends.end(), {{5, false}, {6, false}, {7, true}});
        }
    }
    return sends;
}

}  // namespace golden
