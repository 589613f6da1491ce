// Compile-time proof that the host records, as this build sees them, have the
// host's published 64-bit sizes and member offsets. Runs against our own
// declarations and against the official headers alike, so a drift in either
// stops the build instead of corrupting memory inside the host.
#pragma once

#include <cstddef>

static_assert(sizeof(void*) == 8, "the host interface is 64-bit only");

// PF_InData
static_assert(sizeof(PF_InData) == 408);
static_assert(offsetof(PF_InData, inter) == 0 && sizeof(PF_InData::inter) == 176);
static_assert(offsetof(PF_InData, utils) == 176 && sizeof(PF_InData::utils) == 8);
static_assert(offsetof(PF_InData, effect_ref) == 184 && sizeof(PF_InData::effect_ref) == 8);
static_assert(offsetof(PF_InData, quality) == 192 && sizeof(PF_InData::quality) == 4);
static_assert(offsetof(PF_InData, version) == 196 && sizeof(PF_InData::version) == 4);
static_assert(offsetof(PF_InData, serial_num) == 200 && sizeof(PF_InData::serial_num) == 4);
static_assert(offsetof(PF_InData, appl_id) == 204 && sizeof(PF_InData::appl_id) == 4);
static_assert(offsetof(PF_InData, num_params) == 208 && sizeof(PF_InData::num_params) == 4);
static_assert(offsetof(PF_InData, reserved) == 212 && sizeof(PF_InData::reserved) == 4);
static_assert(offsetof(PF_InData, what_cpu) == 216 && sizeof(PF_InData::what_cpu) == 4);
static_assert(offsetof(PF_InData, what_fpu) == 220 && sizeof(PF_InData::what_fpu) == 4);
static_assert(offsetof(PF_InData, current_time) == 224 && sizeof(PF_InData::current_time) == 4);
static_assert(offsetof(PF_InData, time_step) == 228 && sizeof(PF_InData::time_step) == 4);
static_assert(offsetof(PF_InData, total_time) == 232 && sizeof(PF_InData::total_time) == 4);
static_assert(offsetof(PF_InData, local_time_step) == 236 &&
              sizeof(PF_InData::local_time_step) == 4);
static_assert(offsetof(PF_InData, time_scale) == 240 && sizeof(PF_InData::time_scale) == 4);
static_assert(offsetof(PF_InData, field) == 244 && sizeof(PF_InData::field) == 4);
static_assert(offsetof(PF_InData, shutter_angle) == 248 && sizeof(PF_InData::shutter_angle) == 4);
static_assert(offsetof(PF_InData, width) == 252 && sizeof(PF_InData::width) == 4);
static_assert(offsetof(PF_InData, height) == 256 && sizeof(PF_InData::height) == 4);
static_assert(offsetof(PF_InData, extent_hint) == 260 && sizeof(PF_InData::extent_hint) == 16);
static_assert(offsetof(PF_InData, output_origin_x) == 276 &&
              sizeof(PF_InData::output_origin_x) == 4);
static_assert(offsetof(PF_InData, output_origin_y) == 280 &&
              sizeof(PF_InData::output_origin_y) == 4);
static_assert(offsetof(PF_InData, downsample_x) == 284 && sizeof(PF_InData::downsample_x) == 8);
static_assert(offsetof(PF_InData, downsample_y) == 292 && sizeof(PF_InData::downsample_y) == 8);
static_assert(offsetof(PF_InData, pixel_aspect_ratio) == 300 &&
              sizeof(PF_InData::pixel_aspect_ratio) == 8);
static_assert(offsetof(PF_InData, in_flags) == 308 && sizeof(PF_InData::in_flags) == 4);
static_assert(offsetof(PF_InData, global_data) == 312 && sizeof(PF_InData::global_data) == 8);
static_assert(offsetof(PF_InData, sequence_data) == 320 && sizeof(PF_InData::sequence_data) == 8);
static_assert(offsetof(PF_InData, frame_data) == 328 && sizeof(PF_InData::frame_data) == 8);
static_assert(offsetof(PF_InData, start_sampL) == 336 && sizeof(PF_InData::start_sampL) == 4);
static_assert(offsetof(PF_InData, dur_sampL) == 340 && sizeof(PF_InData::dur_sampL) == 4);
static_assert(offsetof(PF_InData, total_sampL) == 344 && sizeof(PF_InData::total_sampL) == 4);
static_assert(offsetof(PF_InData, src_snd) == 352 && sizeof(PF_InData::src_snd) == 32);
static_assert(offsetof(PF_InData, pica_basicP) == 384 && sizeof(PF_InData::pica_basicP) == 8);
static_assert(offsetof(PF_InData, pre_effect_source_origin_x) == 392 &&
              sizeof(PF_InData::pre_effect_source_origin_x) == 4);
static_assert(offsetof(PF_InData, pre_effect_source_origin_y) == 396 &&
              sizeof(PF_InData::pre_effect_source_origin_y) == 4);
static_assert(offsetof(PF_InData, shutter_phase) == 400 && sizeof(PF_InData::shutter_phase) == 4);

// PF_InteractCallbacks
static_assert(sizeof(PF_InteractCallbacks) == 176);
static_assert(offsetof(PF_InteractCallbacks, checkout_param) == 0 &&
              sizeof(PF_InteractCallbacks::checkout_param) == 8);
static_assert(offsetof(PF_InteractCallbacks, checkin_param) == 8 &&
              sizeof(PF_InteractCallbacks::checkin_param) == 8);
static_assert(offsetof(PF_InteractCallbacks, add_param) == 16 &&
              sizeof(PF_InteractCallbacks::add_param) == 8);
static_assert(offsetof(PF_InteractCallbacks, abort) == 24 &&
              sizeof(PF_InteractCallbacks::abort) == 8);
static_assert(offsetof(PF_InteractCallbacks, progress) == 32 &&
              sizeof(PF_InteractCallbacks::progress) == 8);
static_assert(offsetof(PF_InteractCallbacks, register_ui) == 40 &&
              sizeof(PF_InteractCallbacks::register_ui) == 8);
static_assert(offsetof(PF_InteractCallbacks, checkout_layer_audio) == 48 &&
              sizeof(PF_InteractCallbacks::checkout_layer_audio) == 8);
static_assert(offsetof(PF_InteractCallbacks, checkin_layer_audio) == 56 &&
              sizeof(PF_InteractCallbacks::checkin_layer_audio) == 8);
static_assert(offsetof(PF_InteractCallbacks, get_audio_data) == 64 &&
              sizeof(PF_InteractCallbacks::get_audio_data) == 8);
static_assert(offsetof(PF_InteractCallbacks, reserved_str) == 72 &&
              sizeof(PF_InteractCallbacks::reserved_str) == 24);
static_assert(offsetof(PF_InteractCallbacks, reserved) == 96 &&
              sizeof(PF_InteractCallbacks::reserved) == 80);

// PF_UtilCallbacks
static_assert(sizeof(PF_UtilCallbacks) == 552);
static_assert(offsetof(PF_UtilCallbacks, begin_sampling) == 0 &&
              sizeof(PF_UtilCallbacks::begin_sampling) == 8);
static_assert(offsetof(PF_UtilCallbacks, subpixel_sample) == 8 &&
              sizeof(PF_UtilCallbacks::subpixel_sample) == 8);
static_assert(offsetof(PF_UtilCallbacks, area_sample) == 16 &&
              sizeof(PF_UtilCallbacks::area_sample) == 8);
static_assert(offsetof(PF_UtilCallbacks, get_batch_func_is_deprecated) == 24 &&
              sizeof(PF_UtilCallbacks::get_batch_func_is_deprecated) == 8);
static_assert(offsetof(PF_UtilCallbacks, end_sampling) == 32 &&
              sizeof(PF_UtilCallbacks::end_sampling) == 8);
static_assert(offsetof(PF_UtilCallbacks, composite_rect) == 40 &&
              sizeof(PF_UtilCallbacks::composite_rect) == 8);
static_assert(offsetof(PF_UtilCallbacks, blend) == 48 && sizeof(PF_UtilCallbacks::blend) == 8);
static_assert(offsetof(PF_UtilCallbacks, convolve) == 56 &&
              sizeof(PF_UtilCallbacks::convolve) == 8);
static_assert(offsetof(PF_UtilCallbacks, copy) == 64 && sizeof(PF_UtilCallbacks::copy) == 8);
static_assert(offsetof(PF_UtilCallbacks, fill) == 72 && sizeof(PF_UtilCallbacks::fill) == 8);
static_assert(offsetof(PF_UtilCallbacks, gaussian_kernel) == 80 &&
              sizeof(PF_UtilCallbacks::gaussian_kernel) == 8);
static_assert(offsetof(PF_UtilCallbacks, iterate) == 88 && sizeof(PF_UtilCallbacks::iterate) == 8);
static_assert(offsetof(PF_UtilCallbacks, premultiply) == 96 &&
              sizeof(PF_UtilCallbacks::premultiply) == 8);
static_assert(offsetof(PF_UtilCallbacks, premultiply_color) == 104 &&
              sizeof(PF_UtilCallbacks::premultiply_color) == 8);
static_assert(offsetof(PF_UtilCallbacks, new_world) == 112 &&
              sizeof(PF_UtilCallbacks::new_world) == 8);
static_assert(offsetof(PF_UtilCallbacks, dispose_world) == 120 &&
              sizeof(PF_UtilCallbacks::dispose_world) == 8);
static_assert(offsetof(PF_UtilCallbacks, iterate_origin) == 128 &&
              sizeof(PF_UtilCallbacks::iterate_origin) == 8);
static_assert(offsetof(PF_UtilCallbacks, iterate_lut) == 136 &&
              sizeof(PF_UtilCallbacks::iterate_lut) == 8);
static_assert(offsetof(PF_UtilCallbacks, transfer_rect) == 144 &&
              sizeof(PF_UtilCallbacks::transfer_rect) == 8);
static_assert(offsetof(PF_UtilCallbacks, transform_world) == 152 &&
              sizeof(PF_UtilCallbacks::transform_world) == 8);
static_assert(offsetof(PF_UtilCallbacks, host_new_handle) == 160 &&
              sizeof(PF_UtilCallbacks::host_new_handle) == 8);
static_assert(offsetof(PF_UtilCallbacks, host_lock_handle) == 168 &&
              sizeof(PF_UtilCallbacks::host_lock_handle) == 8);
static_assert(offsetof(PF_UtilCallbacks, host_unlock_handle) == 176 &&
              sizeof(PF_UtilCallbacks::host_unlock_handle) == 8);
static_assert(offsetof(PF_UtilCallbacks, host_dispose_handle) == 184 &&
              sizeof(PF_UtilCallbacks::host_dispose_handle) == 8);
static_assert(offsetof(PF_UtilCallbacks, get_callback_addr) == 192 &&
              sizeof(PF_UtilCallbacks::get_callback_addr) == 8);
static_assert(offsetof(PF_UtilCallbacks, app) == 200 && sizeof(PF_UtilCallbacks::app) == 8);
static_assert(offsetof(PF_UtilCallbacks, ansi) == 208 && sizeof(PF_UtilCallbacks::ansi) == 160);

// PF_ANSICallbacks
static_assert(sizeof(PF_ANSICallbacks) == 160);
static_assert(offsetof(PF_ANSICallbacks, atan) == 0 && sizeof(PF_ANSICallbacks::atan) == 8);
static_assert(offsetof(PF_ANSICallbacks, atan2) == 8 && sizeof(PF_ANSICallbacks::atan2) == 8);
static_assert(offsetof(PF_ANSICallbacks, ceil) == 16 && sizeof(PF_ANSICallbacks::ceil) == 8);
static_assert(offsetof(PF_ANSICallbacks, cos) == 24 && sizeof(PF_ANSICallbacks::cos) == 8);
static_assert(offsetof(PF_ANSICallbacks, exp) == 32 && sizeof(PF_ANSICallbacks::exp) == 8);
static_assert(offsetof(PF_ANSICallbacks, fabs) == 40 && sizeof(PF_ANSICallbacks::fabs) == 8);
static_assert(offsetof(PF_ANSICallbacks, floor) == 48 && sizeof(PF_ANSICallbacks::floor) == 8);
static_assert(offsetof(PF_ANSICallbacks, fmod) == 56 && sizeof(PF_ANSICallbacks::fmod) == 8);
static_assert(offsetof(PF_ANSICallbacks, hypot) == 64 && sizeof(PF_ANSICallbacks::hypot) == 8);
static_assert(offsetof(PF_ANSICallbacks, log) == 72 && sizeof(PF_ANSICallbacks::log) == 8);
static_assert(offsetof(PF_ANSICallbacks, log10) == 80 && sizeof(PF_ANSICallbacks::log10) == 8);
static_assert(offsetof(PF_ANSICallbacks, pow) == 88 && sizeof(PF_ANSICallbacks::pow) == 8);
static_assert(offsetof(PF_ANSICallbacks, sin) == 96 && sizeof(PF_ANSICallbacks::sin) == 8);
static_assert(offsetof(PF_ANSICallbacks, sqrt) == 104 && sizeof(PF_ANSICallbacks::sqrt) == 8);
static_assert(offsetof(PF_ANSICallbacks, tan) == 112 && sizeof(PF_ANSICallbacks::tan) == 8);
static_assert(offsetof(PF_ANSICallbacks, sprintf) == 120 && sizeof(PF_ANSICallbacks::sprintf) == 8);
static_assert(offsetof(PF_ANSICallbacks, strcpy) == 128 && sizeof(PF_ANSICallbacks::strcpy) == 8);
static_assert(offsetof(PF_ANSICallbacks, asin) == 136 && sizeof(PF_ANSICallbacks::asin) == 8);
static_assert(offsetof(PF_ANSICallbacks, acos) == 144 && sizeof(PF_ANSICallbacks::acos) == 8);
static_assert(offsetof(PF_ANSICallbacks, ansi_procs) == 152 &&
              sizeof(PF_ANSICallbacks::ansi_procs) == 4);

// PF_OutData
static_assert(sizeof(PF_OutData) == 408);
static_assert(offsetof(PF_OutData, my_version) == 0 && sizeof(PF_OutData::my_version) == 4);
static_assert(offsetof(PF_OutData, name) == 4 && sizeof(PF_OutData::name) == 32);
static_assert(offsetof(PF_OutData, global_data) == 40 && sizeof(PF_OutData::global_data) == 8);
static_assert(offsetof(PF_OutData, num_params) == 48 && sizeof(PF_OutData::num_params) == 4);
static_assert(offsetof(PF_OutData, sequence_data) == 56 && sizeof(PF_OutData::sequence_data) == 8);
static_assert(offsetof(PF_OutData, flat_sdata_size) == 64 &&
              sizeof(PF_OutData::flat_sdata_size) == 4);
static_assert(offsetof(PF_OutData, frame_data) == 72 && sizeof(PF_OutData::frame_data) == 8);
static_assert(offsetof(PF_OutData, width) == 80 && sizeof(PF_OutData::width) == 4);
static_assert(offsetof(PF_OutData, height) == 84 && sizeof(PF_OutData::height) == 4);
static_assert(offsetof(PF_OutData, origin) == 88 && sizeof(PF_OutData::origin) == 8);
static_assert(offsetof(PF_OutData, out_flags) == 96 && sizeof(PF_OutData::out_flags) == 4);
static_assert(offsetof(PF_OutData, return_msg) == 100 && sizeof(PF_OutData::return_msg) == 256);
static_assert(offsetof(PF_OutData, start_sampL) == 356 && sizeof(PF_OutData::start_sampL) == 4);
static_assert(offsetof(PF_OutData, dur_sampL) == 360 && sizeof(PF_OutData::dur_sampL) == 4);
static_assert(offsetof(PF_OutData, dest_snd) == 368 && sizeof(PF_OutData::dest_snd) == 32);
static_assert(offsetof(PF_OutData, out_flags2) == 400 && sizeof(PF_OutData::out_flags2) == 4);

// PF_ParamDef
static_assert(sizeof(PF_ParamDef) == 176);
static_assert(offsetof(PF_ParamDef, uu) == 0 && sizeof(PF_ParamDef::uu) == 4);
static_assert(offsetof(PF_ParamDef, uu.change_flags) == 0);
static_assert(offsetof(PF_ParamDef, uu.id) == 0);
static_assert(offsetof(PF_ParamDef, ui_flags) == 4 && sizeof(PF_ParamDef::ui_flags) == 4);
static_assert(offsetof(PF_ParamDef, ui_width) == 8 && sizeof(PF_ParamDef::ui_width) == 2);
static_assert(offsetof(PF_ParamDef, ui_height) == 10 && sizeof(PF_ParamDef::ui_height) == 2);
static_assert(offsetof(PF_ParamDef, param_type) == 12 && sizeof(PF_ParamDef::param_type) == 4);
static_assert(offsetof(PF_ParamDef, name) == 16 && sizeof(PF_ParamDef::name) == 32);
static_assert(offsetof(PF_ParamDef, flags) == 48 && sizeof(PF_ParamDef::flags) == 4);
static_assert(offsetof(PF_ParamDef, unused) == 52 && sizeof(PF_ParamDef::unused) == 4);
static_assert(offsetof(PF_ParamDef, u) == 56 && sizeof(PF_ParamDef::u) == 120);

// PF_ParamDefUnion
static_assert(sizeof(PF_ParamDefUnion) == 120);
static_assert(offsetof(PF_ParamDefUnion, cd) == 0 && sizeof(PF_ParamDefUnion::cd) == 8);
static_assert(offsetof(PF_ParamDefUnion, path_d) == 0 && sizeof(PF_ParamDefUnion::path_d) == 12);
static_assert(offsetof(PF_ParamDefUnion, ad) == 0 && sizeof(PF_ParamDefUnion::ad) == 16);
static_assert(offsetof(PF_ParamDefUnion, bd) == 0 && sizeof(PF_ParamDefUnion::bd) == 16);
static_assert(offsetof(PF_ParamDefUnion, button_d) == 0 &&
              sizeof(PF_ParamDefUnion::button_d) == 16);
static_assert(offsetof(PF_ParamDefUnion, pd) == 0 && sizeof(PF_ParamDefUnion::pd) == 16);
static_assert(offsetof(PF_ParamDefUnion, td) == 0 && sizeof(PF_ParamDefUnion::td) == 20);
static_assert(offsetof(PF_ParamDefUnion, arb_d) == 0 && sizeof(PF_ParamDefUnion::arb_d) == 32);
static_assert(offsetof(PF_ParamDefUnion, point3d_d) == 0 &&
              sizeof(PF_ParamDefUnion::point3d_d) == 64);
static_assert(offsetof(PF_ParamDefUnion, fs_d) == 0 && sizeof(PF_ParamDefUnion::fs_d) == 88);
static_assert(offsetof(PF_ParamDefUnion, sd) == 0 && sizeof(PF_ParamDefUnion::sd) == 88);
static_assert(offsetof(PF_ParamDefUnion, fd) == 0 && sizeof(PF_ParamDefUnion::fd) == 92);
static_assert(offsetof(PF_ParamDefUnion, ld) == 0 && sizeof(PF_ParamDefUnion::ld) == 120);

// PF_PopupDef
static_assert(sizeof(PF_PopupDef) == 16);
static_assert(offsetof(PF_PopupDef, value) == 0 && sizeof(PF_PopupDef::value) == 4);
static_assert(offsetof(PF_PopupDef, num_choices) == 4 && sizeof(PF_PopupDef::num_choices) == 2);
static_assert(offsetof(PF_PopupDef, dephault) == 6 && sizeof(PF_PopupDef::dephault) == 2);
static_assert(offsetof(PF_PopupDef, u) == 8 && sizeof(PF_PopupDef::u) == 8);
static_assert(offsetof(PF_PopupDef, u.namesptr) == 8);

// PF_PointDef
static_assert(sizeof(PF_PointDef) == 20);
static_assert(offsetof(PF_PointDef, x_value) == 0 && sizeof(PF_PointDef::x_value) == 4);
static_assert(offsetof(PF_PointDef, y_value) == 4 && sizeof(PF_PointDef::y_value) == 4);
static_assert(offsetof(PF_PointDef, reserved) == 8 && sizeof(PF_PointDef::reserved) == 3);
static_assert(offsetof(PF_PointDef, restrict_bounds) == 11 &&
              sizeof(PF_PointDef::restrict_bounds) == 1);
static_assert(offsetof(PF_PointDef, x_dephault) == 12 && sizeof(PF_PointDef::x_dephault) == 4);
static_assert(offsetof(PF_PointDef, y_dephault) == 16 && sizeof(PF_PointDef::y_dephault) == 4);

// PF_FloatSliderDef
static_assert(sizeof(PF_FloatSliderDef) == 88);
static_assert(offsetof(PF_FloatSliderDef, value) == 0 && sizeof(PF_FloatSliderDef::value) == 8);
static_assert(offsetof(PF_FloatSliderDef, phase) == 8 && sizeof(PF_FloatSliderDef::phase) == 8);
static_assert(offsetof(PF_FloatSliderDef, value_desc) == 16 &&
              sizeof(PF_FloatSliderDef::value_desc) == 32);
static_assert(offsetof(PF_FloatSliderDef, valid_min) == 48 &&
              sizeof(PF_FloatSliderDef::valid_min) == 4);
static_assert(offsetof(PF_FloatSliderDef, valid_max) == 52 &&
              sizeof(PF_FloatSliderDef::valid_max) == 4);
static_assert(offsetof(PF_FloatSliderDef, slider_min) == 56 &&
              sizeof(PF_FloatSliderDef::slider_min) == 4);
static_assert(offsetof(PF_FloatSliderDef, slider_max) == 60 &&
              sizeof(PF_FloatSliderDef::slider_max) == 4);
static_assert(offsetof(PF_FloatSliderDef, dephault) == 64 &&
              sizeof(PF_FloatSliderDef::dephault) == 4);
static_assert(offsetof(PF_FloatSliderDef, precision) == 68 &&
              sizeof(PF_FloatSliderDef::precision) == 2);
static_assert(offsetof(PF_FloatSliderDef, display_flags) == 70 &&
              sizeof(PF_FloatSliderDef::display_flags) == 2);
static_assert(offsetof(PF_FloatSliderDef, fs_flags) == 72 &&
              sizeof(PF_FloatSliderDef::fs_flags) == 4);
static_assert(offsetof(PF_FloatSliderDef, curve_tolerance) == 76 &&
              sizeof(PF_FloatSliderDef::curve_tolerance) == 4);
static_assert(offsetof(PF_FloatSliderDef, useExponent) == 80 &&
              sizeof(PF_FloatSliderDef::useExponent) == 1);
static_assert(offsetof(PF_FloatSliderDef, exponent) == 84 &&
              sizeof(PF_FloatSliderDef::exponent) == 4);

// PF_AngleDef
static_assert(sizeof(PF_AngleDef) == 16);
static_assert(offsetof(PF_AngleDef, value) == 0 && sizeof(PF_AngleDef::value) == 4);
static_assert(offsetof(PF_AngleDef, dephault) == 4 && sizeof(PF_AngleDef::dephault) == 4);
static_assert(offsetof(PF_AngleDef, valid_min) == 8 && sizeof(PF_AngleDef::valid_min) == 4);
static_assert(offsetof(PF_AngleDef, valid_max) == 12 && sizeof(PF_AngleDef::valid_max) == 4);

// PF_ColorDef
static_assert(sizeof(PF_ColorDef) == 8);
static_assert(offsetof(PF_ColorDef, value) == 0 && sizeof(PF_ColorDef::value) == 4);
static_assert(offsetof(PF_ColorDef, dephault) == 4 && sizeof(PF_ColorDef::dephault) == 4);

// PF_FixedSliderDef
static_assert(sizeof(PF_FixedSliderDef) == 92);
static_assert(offsetof(PF_FixedSliderDef, value) == 0 && sizeof(PF_FixedSliderDef::value) == 4);
static_assert(offsetof(PF_FixedSliderDef, value_str) == 4 &&
              sizeof(PF_FixedSliderDef::value_str) == 32);
static_assert(offsetof(PF_FixedSliderDef, value_desc) == 36 &&
              sizeof(PF_FixedSliderDef::value_desc) == 32);
static_assert(offsetof(PF_FixedSliderDef, valid_min) == 68 &&
              sizeof(PF_FixedSliderDef::valid_min) == 4);
static_assert(offsetof(PF_FixedSliderDef, valid_max) == 72 &&
              sizeof(PF_FixedSliderDef::valid_max) == 4);
static_assert(offsetof(PF_FixedSliderDef, slider_min) == 76 &&
              sizeof(PF_FixedSliderDef::slider_min) == 4);
static_assert(offsetof(PF_FixedSliderDef, slider_max) == 80 &&
              sizeof(PF_FixedSliderDef::slider_max) == 4);
static_assert(offsetof(PF_FixedSliderDef, dephault) == 84 &&
              sizeof(PF_FixedSliderDef::dephault) == 4);
static_assert(offsetof(PF_FixedSliderDef, precision) == 88 &&
              sizeof(PF_FixedSliderDef::precision) == 2);
static_assert(offsetof(PF_FixedSliderDef, display_flags) == 90 &&
              sizeof(PF_FixedSliderDef::display_flags) == 2);

// PF_LayerDef
static_assert(sizeof(PF_LayerDef) == 120);
static_assert(offsetof(PF_LayerDef, reserved0) == 0 && sizeof(PF_LayerDef::reserved0) == 8);
static_assert(offsetof(PF_LayerDef, reserved1) == 8 && sizeof(PF_LayerDef::reserved1) == 8);
static_assert(offsetof(PF_LayerDef, world_flags) == 16 && sizeof(PF_LayerDef::world_flags) == 4);
static_assert(offsetof(PF_LayerDef, data) == 24 && sizeof(PF_LayerDef::data) == 8);
static_assert(offsetof(PF_LayerDef, rowbytes) == 32 && sizeof(PF_LayerDef::rowbytes) == 4);
static_assert(offsetof(PF_LayerDef, width) == 36 && sizeof(PF_LayerDef::width) == 4);
static_assert(offsetof(PF_LayerDef, height) == 40 && sizeof(PF_LayerDef::height) == 4);
static_assert(offsetof(PF_LayerDef, extent_hint) == 44 && sizeof(PF_LayerDef::extent_hint) == 16);
static_assert(offsetof(PF_LayerDef, platform_ref) == 64 && sizeof(PF_LayerDef::platform_ref) == 8);
static_assert(offsetof(PF_LayerDef, reserved_long1) == 72 &&
              sizeof(PF_LayerDef::reserved_long1) == 4);
static_assert(offsetof(PF_LayerDef, reserved_long4) == 80 &&
              sizeof(PF_LayerDef::reserved_long4) == 8);
static_assert(offsetof(PF_LayerDef, pix_aspect_ratio) == 88 &&
              sizeof(PF_LayerDef::pix_aspect_ratio) == 8);
static_assert(offsetof(PF_LayerDef, reserved_long2) == 96 &&
              sizeof(PF_LayerDef::reserved_long2) == 8);
static_assert(offsetof(PF_LayerDef, origin_x) == 104 && sizeof(PF_LayerDef::origin_x) == 4);
static_assert(offsetof(PF_LayerDef, origin_y) == 108 && sizeof(PF_LayerDef::origin_y) == 4);
static_assert(offsetof(PF_LayerDef, reserved_long3) == 112 &&
              sizeof(PF_LayerDef::reserved_long3) == 4);
static_assert(offsetof(PF_LayerDef, dephault) == 116 && sizeof(PF_LayerDef::dephault) == 4);

// PF_Pixel
static_assert(sizeof(PF_Pixel) == 4);
static_assert(offsetof(PF_Pixel, alpha) == 0 && sizeof(PF_Pixel::alpha) == 1);
static_assert(offsetof(PF_Pixel, red) == 1 && sizeof(PF_Pixel::red) == 1);
static_assert(offsetof(PF_Pixel, green) == 2 && sizeof(PF_Pixel::green) == 1);
static_assert(offsetof(PF_Pixel, blue) == 3 && sizeof(PF_Pixel::blue) == 1);

// PF_Pixel16
static_assert(sizeof(PF_Pixel16) == 8);
static_assert(offsetof(PF_Pixel16, alpha) == 0 && sizeof(PF_Pixel16::alpha) == 2);
static_assert(offsetof(PF_Pixel16, red) == 2 && sizeof(PF_Pixel16::red) == 2);
static_assert(offsetof(PF_Pixel16, green) == 4 && sizeof(PF_Pixel16::green) == 2);
static_assert(offsetof(PF_Pixel16, blue) == 6 && sizeof(PF_Pixel16::blue) == 2);

// PF_PixelFloat
static_assert(sizeof(PF_PixelFloat) == 16);
static_assert(offsetof(PF_PixelFloat, alpha) == 0 && sizeof(PF_PixelFloat::alpha) == 4);
static_assert(offsetof(PF_PixelFloat, red) == 4 && sizeof(PF_PixelFloat::red) == 4);
static_assert(offsetof(PF_PixelFloat, green) == 8 && sizeof(PF_PixelFloat::green) == 4);
static_assert(offsetof(PF_PixelFloat, blue) == 12 && sizeof(PF_PixelFloat::blue) == 4);

// PF_LRect
static_assert(sizeof(PF_LRect) == 16);
static_assert(offsetof(PF_LRect, left) == 0 && sizeof(PF_LRect::left) == 4);
static_assert(offsetof(PF_LRect, top) == 4 && sizeof(PF_LRect::top) == 4);
static_assert(offsetof(PF_LRect, right) == 8 && sizeof(PF_LRect::right) == 4);
static_assert(offsetof(PF_LRect, bottom) == 12 && sizeof(PF_LRect::bottom) == 4);

// PF_RationalScale
static_assert(sizeof(PF_RationalScale) == 8);
static_assert(offsetof(PF_RationalScale, num) == 0 && sizeof(PF_RationalScale::num) == 4);
static_assert(offsetof(PF_RationalScale, den) == 4 && sizeof(PF_RationalScale::den) == 4);

// PF_Point
static_assert(sizeof(PF_Point) == 8);
static_assert(offsetof(PF_Point, h) == 0 && sizeof(PF_Point::h) == 4);
static_assert(offsetof(PF_Point, v) == 4 && sizeof(PF_Point::v) == 4);

// PF_SpecVersion
static_assert(sizeof(PF_SpecVersion) == 4);
static_assert(offsetof(PF_SpecVersion, major) == 0 && sizeof(PF_SpecVersion::major) == 2);
static_assert(offsetof(PF_SpecVersion, minor) == 2 && sizeof(PF_SpecVersion::minor) == 2);

// PF_SoundWorld
static_assert(sizeof(PF_SoundWorld) == 32);
static_assert(offsetof(PF_SoundWorld, fi) == 0 && sizeof(PF_SoundWorld::fi) == 16);
static_assert(offsetof(PF_SoundWorld, num_samples) == 16 &&
              sizeof(PF_SoundWorld::num_samples) == 4);
static_assert(offsetof(PF_SoundWorld, dataP) == 24 && sizeof(PF_SoundWorld::dataP) == 8);

// PF_RenderRequest
static_assert(sizeof(PF_RenderRequest) == 44);
static_assert(offsetof(PF_RenderRequest, rect) == 0 && sizeof(PF_RenderRequest::rect) == 16);
static_assert(offsetof(PF_RenderRequest, field) == 16 && sizeof(PF_RenderRequest::field) == 4);
static_assert(offsetof(PF_RenderRequest, channel_mask) == 20 &&
              sizeof(PF_RenderRequest::channel_mask) == 4);
static_assert(offsetof(PF_RenderRequest, preserve_rgb_of_zero_alpha) == 24 &&
              sizeof(PF_RenderRequest::preserve_rgb_of_zero_alpha) == 1);
static_assert(offsetof(PF_RenderRequest, unused) == 25 && sizeof(PF_RenderRequest::unused) == 3);
static_assert(offsetof(PF_RenderRequest, reserved) == 28 &&
              sizeof(PF_RenderRequest::reserved) == 16);

// PF_CheckoutResult
static_assert(sizeof(PF_CheckoutResult) == 76);
static_assert(offsetof(PF_CheckoutResult, result_rect) == 0 &&
              sizeof(PF_CheckoutResult::result_rect) == 16);
static_assert(offsetof(PF_CheckoutResult, max_result_rect) == 16 &&
              sizeof(PF_CheckoutResult::max_result_rect) == 16);
static_assert(offsetof(PF_CheckoutResult, par) == 32 && sizeof(PF_CheckoutResult::par) == 8);
static_assert(offsetof(PF_CheckoutResult, solid) == 40 && sizeof(PF_CheckoutResult::solid) == 1);
static_assert(offsetof(PF_CheckoutResult, reservedB) == 41 &&
              sizeof(PF_CheckoutResult::reservedB) == 3);
static_assert(offsetof(PF_CheckoutResult, ref_width) == 44 &&
              sizeof(PF_CheckoutResult::ref_width) == 4);
static_assert(offsetof(PF_CheckoutResult, ref_height) == 48 &&
              sizeof(PF_CheckoutResult::ref_height) == 4);
static_assert(offsetof(PF_CheckoutResult, reserved) == 52 &&
              sizeof(PF_CheckoutResult::reserved) == 24);

// PF_PreRenderExtra
static_assert(sizeof(PF_PreRenderExtra) == 24);
static_assert(offsetof(PF_PreRenderExtra, input) == 0 && sizeof(PF_PreRenderExtra::input) == 8);
static_assert(offsetof(PF_PreRenderExtra, output) == 8 && sizeof(PF_PreRenderExtra::output) == 8);
static_assert(offsetof(PF_PreRenderExtra, cb) == 16 && sizeof(PF_PreRenderExtra::cb) == 8);

// PF_PreRenderInput
static_assert(sizeof(PF_PreRenderInput) == 64);
static_assert(offsetof(PF_PreRenderInput, output_request) == 0 &&
              sizeof(PF_PreRenderInput::output_request) == 44);
static_assert(offsetof(PF_PreRenderInput, bitdepth) == 44 &&
              sizeof(PF_PreRenderInput::bitdepth) == 2);
static_assert(offsetof(PF_PreRenderInput, gpu_data) == 48 &&
              sizeof(PF_PreRenderInput::gpu_data) == 8);
static_assert(offsetof(PF_PreRenderInput, what_gpu) == 56 &&
              sizeof(PF_PreRenderInput::what_gpu) == 4);
static_assert(offsetof(PF_PreRenderInput, device_index) == 60 &&
              sizeof(PF_PreRenderInput::device_index) == 4);

// PF_PreRenderOutput
static_assert(sizeof(PF_PreRenderOutput) == 56);
static_assert(offsetof(PF_PreRenderOutput, result_rect) == 0 &&
              sizeof(PF_PreRenderOutput::result_rect) == 16);
static_assert(offsetof(PF_PreRenderOutput, max_result_rect) == 16 &&
              sizeof(PF_PreRenderOutput::max_result_rect) == 16);
static_assert(offsetof(PF_PreRenderOutput, solid) == 32 && sizeof(PF_PreRenderOutput::solid) == 1);
static_assert(offsetof(PF_PreRenderOutput, reserved) == 33 &&
              sizeof(PF_PreRenderOutput::reserved) == 1);
static_assert(offsetof(PF_PreRenderOutput, flags) == 34 && sizeof(PF_PreRenderOutput::flags) == 2);
static_assert(offsetof(PF_PreRenderOutput, pre_render_data) == 40 &&
              sizeof(PF_PreRenderOutput::pre_render_data) == 8);
static_assert(offsetof(PF_PreRenderOutput, delete_pre_render_data_func) == 48 &&
              sizeof(PF_PreRenderOutput::delete_pre_render_data_func) == 8);

// PF_PreRenderCallbacks
static_assert(sizeof(PF_PreRenderCallbacks) == 16);
static_assert(offsetof(PF_PreRenderCallbacks, checkout_layer) == 0 &&
              sizeof(PF_PreRenderCallbacks::checkout_layer) == 8);
static_assert(offsetof(PF_PreRenderCallbacks, GuidMixInPtr) == 8 &&
              sizeof(PF_PreRenderCallbacks::GuidMixInPtr) == 8);

// PF_SmartRenderExtra
static_assert(sizeof(PF_SmartRenderExtra) == 16);
static_assert(offsetof(PF_SmartRenderExtra, input) == 0 && sizeof(PF_SmartRenderExtra::input) == 8);
static_assert(offsetof(PF_SmartRenderExtra, cb) == 8 && sizeof(PF_SmartRenderExtra::cb) == 8);

// PF_SmartRenderInput
static_assert(sizeof(PF_SmartRenderInput) == 72);
static_assert(offsetof(PF_SmartRenderInput, output_request) == 0 &&
              sizeof(PF_SmartRenderInput::output_request) == 44);
static_assert(offsetof(PF_SmartRenderInput, bitdepth) == 44 &&
              sizeof(PF_SmartRenderInput::bitdepth) == 2);
static_assert(offsetof(PF_SmartRenderInput, pre_render_data) == 48 &&
              sizeof(PF_SmartRenderInput::pre_render_data) == 8);
static_assert(offsetof(PF_SmartRenderInput, gpu_data) == 56 &&
              sizeof(PF_SmartRenderInput::gpu_data) == 8);
static_assert(offsetof(PF_SmartRenderInput, what_gpu) == 64 &&
              sizeof(PF_SmartRenderInput::what_gpu) == 4);
static_assert(offsetof(PF_SmartRenderInput, device_index) == 68 &&
              sizeof(PF_SmartRenderInput::device_index) == 4);

// PF_SmartRenderCallbacks
static_assert(sizeof(PF_SmartRenderCallbacks) == 24);
static_assert(offsetof(PF_SmartRenderCallbacks, checkout_layer_pixels) == 0 &&
              sizeof(PF_SmartRenderCallbacks::checkout_layer_pixels) == 8);
static_assert(offsetof(PF_SmartRenderCallbacks, checkin_layer_pixels) == 8 &&
              sizeof(PF_SmartRenderCallbacks::checkin_layer_pixels) == 8);
static_assert(offsetof(PF_SmartRenderCallbacks, checkout_output) == 16 &&
              sizeof(PF_SmartRenderCallbacks::checkout_output) == 8);

// SPBasicSuite
static_assert(sizeof(SPBasicSuite) == 56);
static_assert(offsetof(SPBasicSuite, AcquireSuite) == 0 && sizeof(SPBasicSuite::AcquireSuite) == 8);
static_assert(offsetof(SPBasicSuite, ReleaseSuite) == 8 && sizeof(SPBasicSuite::ReleaseSuite) == 8);
static_assert(offsetof(SPBasicSuite, IsEqual) == 16 && sizeof(SPBasicSuite::IsEqual) == 8);
static_assert(offsetof(SPBasicSuite, AllocateBlock) == 24 &&
              sizeof(SPBasicSuite::AllocateBlock) == 8);
static_assert(offsetof(SPBasicSuite, FreeBlock) == 32 && sizeof(SPBasicSuite::FreeBlock) == 8);
static_assert(offsetof(SPBasicSuite, ReallocateBlock) == 40 &&
              sizeof(SPBasicSuite::ReallocateBlock) == 8);
static_assert(offsetof(SPBasicSuite, Undefined) == 48 && sizeof(SPBasicSuite::Undefined) == 8);

// PF_HandleSuite1
static_assert(sizeof(PF_HandleSuite1) == 48);
static_assert(offsetof(PF_HandleSuite1, host_new_handle) == 0 &&
              sizeof(PF_HandleSuite1::host_new_handle) == 8);
static_assert(offsetof(PF_HandleSuite1, host_lock_handle) == 8 &&
              sizeof(PF_HandleSuite1::host_lock_handle) == 8);
static_assert(offsetof(PF_HandleSuite1, host_unlock_handle) == 16 &&
              sizeof(PF_HandleSuite1::host_unlock_handle) == 8);
static_assert(offsetof(PF_HandleSuite1, host_dispose_handle) == 24 &&
              sizeof(PF_HandleSuite1::host_dispose_handle) == 8);
static_assert(offsetof(PF_HandleSuite1, host_get_handle_size) == 32 &&
              sizeof(PF_HandleSuite1::host_get_handle_size) == 8);
static_assert(offsetof(PF_HandleSuite1, host_resize_handle) == 40 &&
              sizeof(PF_HandleSuite1::host_resize_handle) == 8);

// AEGP_UtilitySuite3
static_assert(sizeof(AEGP_UtilitySuite3) == 200);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_ReportInfo) == 0 &&
              sizeof(AEGP_UtilitySuite3::AEGP_ReportInfo) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_GetDriverPluginInitFuncVersion) == 8 &&
              sizeof(AEGP_UtilitySuite3::AEGP_GetDriverPluginInitFuncVersion) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_GetDriverImplementationVersion) == 16 &&
              sizeof(AEGP_UtilitySuite3::AEGP_GetDriverImplementationVersion) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_StartQuietErrors) == 24 &&
              sizeof(AEGP_UtilitySuite3::AEGP_StartQuietErrors) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_EndQuietErrors) == 32 &&
              sizeof(AEGP_UtilitySuite3::AEGP_EndQuietErrors) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_StartUndoGroup) == 40 &&
              sizeof(AEGP_UtilitySuite3::AEGP_StartUndoGroup) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_EndUndoGroup) == 48 &&
              sizeof(AEGP_UtilitySuite3::AEGP_EndUndoGroup) == 8);
static_assert(offsetof(AEGP_UtilitySuite3, AEGP_RegisterWithAEGP) == 56 &&
              sizeof(AEGP_UtilitySuite3::AEGP_RegisterWithAEGP) == 8);

// PF_ParamUtilsSuite1
static_assert(sizeof(PF_ParamUtilsSuite1) == 80);
static_assert(offsetof(PF_ParamUtilsSuite1, PF_UpdateParamUI) == 0 &&
              sizeof(PF_ParamUtilsSuite1::PF_UpdateParamUI) == 8);

// PF_WorldSuite2
static_assert(sizeof(PF_WorldSuite2) == 24);
static_assert(offsetof(PF_WorldSuite2, PF_NewWorld) == 0 &&
              sizeof(PF_WorldSuite2::PF_NewWorld) == 8);
static_assert(offsetof(PF_WorldSuite2, PF_DisposeWorld) == 8 &&
              sizeof(PF_WorldSuite2::PF_DisposeWorld) == 8);
static_assert(offsetof(PF_WorldSuite2, PF_GetPixelFormat) == 16 &&
              sizeof(PF_WorldSuite2::PF_GetPixelFormat) == 8);

// AEGP_IterateSuite1
static_assert(sizeof(AEGP_IterateSuite1) == 16);
static_assert(offsetof(AEGP_IterateSuite1, AEGP_GetNumThreads) == 0 &&
              sizeof(AEGP_IterateSuite1::AEGP_GetNumThreads) == 8);
static_assert(offsetof(AEGP_IterateSuite1, AEGP_IterateGeneric) == 8 &&
              sizeof(AEGP_IterateSuite1::AEGP_IterateGeneric) == 8);

// PF_Iterate8Suite1
static_assert(sizeof(PF_Iterate8Suite1) == 40);
static_assert(offsetof(PF_Iterate8Suite1, iterate) == 0 && sizeof(PF_Iterate8Suite1::iterate) == 8);
static_assert(offsetof(PF_Iterate8Suite1, iterate_origin) == 8 &&
              sizeof(PF_Iterate8Suite1::iterate_origin) == 8);
static_assert(offsetof(PF_Iterate8Suite1, iterate_lut) == 16 &&
              sizeof(PF_Iterate8Suite1::iterate_lut) == 8);
static_assert(offsetof(PF_Iterate8Suite1, iterate_origin_non_clip_src) == 24 &&
              sizeof(PF_Iterate8Suite1::iterate_origin_non_clip_src) == 8);
static_assert(offsetof(PF_Iterate8Suite1, iterate_generic) == 32 &&
              sizeof(PF_Iterate8Suite1::iterate_generic) == 8);
