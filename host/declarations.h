// Our own declarations of the host's effect interface: the records, callbacks,
// suites and constants that VelkorRamp and its simulated host exchange, in the
// host's published names and 64-bit layouts.
//
// Contract shared by everything that includes this file:
// - Every 32-bit host integer is int32_t (never `long`, which is 64-bit on Linux).
// - Rectangles are left, top, right, bottom; right and bottom are exclusive;
//   a rectangle is empty when left >= right or top >= bottom.
// - Pixels are stored alpha, red, green, blue. 8-bit channels run 0..255,
//   16-bit channels 0..32768 (not 65535), float channels are not limited.
// - Pixel-format codes are four characters with the first in the lowest byte.
// - host/layout_checks.h pins the size and member offsets of every record.
//
// Do not include this file directly: include host/host_interface.h, which
// chooses between these declarations and the official headers.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- scalars

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef uint8_t A_u_char;
typedef double A_FpLong;
typedef float A_FpShort;
typedef int32_t A_Err;
typedef uint64_t A_HandleSize;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_Fixed;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_PixelFormat;
typedef A_long PF_Field;
typedef A_long PF_Quality;
typedef A_long PF_WorldFlags;
typedef A_long PF_GPU_Framework;
typedef A_long AEGP_PluginID;
typedef int32_t SPErr;
typedef A_char PF_Boolean;
typedef A_FpLong PF_FpLong;
typedef A_FpShort PF_FpShort;
typedef A_short PF_RenderOutputFlags;
typedef A_u_long PF_FSliderFlags;

typedef void** PF_Handle;
typedef void* AEGP_GlobalRefcon;
typedef struct _PF_ProgressInfo* PF_ProgPtr;
typedef struct _PF_LayerAudio* PF_LayerAudio;

// ---------------------------------------------------------------- small records

struct PF_Point {
    A_long h;
    A_long v;
};

struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
};
typedef PF_LRect PF_Rect;

struct PF_RationalScale {
    A_long num;
    A_u_long den;
};

struct PF_SpecVersion {
    A_short major;
    A_short minor;
};

struct PF_Pixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
};
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel PF_UnionablePixel;

struct PF_Pixel16 {
    A_u_short alpha;
    A_u_short red;
    A_u_short green;
    A_u_short blue;
};

struct PF_PixelFloat {
    PF_FpShort alpha;
    PF_FpShort red;
    PF_FpShort green;
    PF_FpShort blue;
};
typedef PF_PixelFloat PF_Pixel32;

typedef PF_Pixel* PF_PixelPtr;

struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    A_short num_channels;
    A_short format;
    A_short sample_size;
};

struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void* dataP;
};

// ---------------------------------------------------------------- worlds

struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
};
typedef PF_LayerDef PF_EffectWorld;

// ---------------------------------------------------------------- parameters

struct PF_SliderDef {
    A_long value;
    A_char value_str[32];
    A_char value_desc[32];
    A_long valid_min;
    A_long valid_max;
    A_long slider_min;
    A_long slider_max;
    A_long dephault;
};

struct PF_FixedSliderDef {
    PF_Fixed value;
    A_char value_str[32];
    A_char value_desc[32];
    PF_Fixed valid_min;
    PF_Fixed valid_max;
    PF_Fixed slider_min;
    PF_Fixed slider_max;
    PF_Fixed dephault;
    A_short precision;
    A_short display_flags;
};

struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[32];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    A_short precision;
    A_short display_flags;
    PF_FSliderFlags fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
};

struct PF_AngleDef {
    PF_Fixed value;
    PF_Fixed dephault;
    PF_Fixed valid_min;
    PF_Fixed valid_max;
};

struct PF_ColorDef {
    PF_UnionablePixel value;
    PF_UnionablePixel dephault;
};

struct PF_CheckBoxDef {
    A_long value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        A_long id;
        const A_char* nameptr;
    } u;
};

struct PF_ButtonDef {
    A_long value;
    union {
        A_long id;
        const A_char* namesptr;
    } u;
};

struct PF_PopupDef {
    A_long value;
    A_short num_choices;
    A_short dephault;
    union {
        A_long id;
        const A_char* namesptr;
    } u;
};

struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
};

struct PF_PathDef {
    A_u_long path_id;
    A_long reserved0;
    A_long dephault;
};

struct PF_ArbitraryDef {
    A_short id;
    A_short pad;
    PF_Handle dephault;
    PF_Handle value;
    void* refconPV;
};

struct PF_Point3DDef {
    PF_FpLong x_value;
    PF_FpLong y_value;
    PF_FpLong z_value;
    PF_FpLong x_dephault;
    PF_FpLong y_dephault;
    PF_FpLong z_dephault;
    A_char reserved[16];
};

union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_AngleDef ad;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
    PF_ArbitraryDef arb_d;
    PF_PathDef path_d;
    PF_ButtonDef button_d;
    PF_Point3DDef point3d_d;
};

struct PF_ParamDef {
    union {
        A_long id;
        PF_ChangeFlags change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[32];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
};
typedef PF_ParamDef* PF_ParamList[];

// ---------------------------------------------------------------- callbacks

typedef void* PF_CallbackPtr;

struct PF_InteractCallbacks {
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                             A_long time_step, A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def);
    PF_CallbackPtr abort;
    PF_CallbackPtr progress;
    PF_CallbackPtr register_ui;
    PF_CallbackPtr checkout_layer_audio;
    PF_CallbackPtr checkin_layer_audio;
    PF_CallbackPtr get_audio_data;
    void* reserved_str[3];
    void* reserved[10];
};

struct PF_ANSICallbacks {
    PF_CallbackPtr atan;
    PF_CallbackPtr atan2;
    PF_CallbackPtr ceil;
    PF_CallbackPtr cos;
    PF_CallbackPtr exp;
    PF_CallbackPtr fabs;
    PF_CallbackPtr floor;
    PF_CallbackPtr fmod;
    PF_CallbackPtr hypot;
    PF_CallbackPtr log;
    PF_CallbackPtr log10;
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    PF_CallbackPtr sin;
    PF_CallbackPtr sqrt;
    PF_CallbackPtr tan;
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
    A_char* (*strcpy)(A_char* dest, const A_char* src);
    PF_CallbackPtr asin;
    PF_CallbackPtr acos;
    A_long ansi_procs[1];
};

struct PF_UtilCallbacks {
    PF_CallbackPtr begin_sampling;
    PF_CallbackPtr subpixel_sample;
    PF_CallbackPtr area_sample;
    void* get_batch_func_is_deprecated;
    PF_CallbackPtr end_sampling;
    PF_CallbackPtr composite_rect;
    PF_CallbackPtr blend;
    PF_CallbackPtr convolve;
    PF_CallbackPtr copy;
    PF_CallbackPtr fill;
    PF_CallbackPtr gaussian_kernel;
    PF_CallbackPtr iterate;
    PF_CallbackPtr premultiply;
    PF_CallbackPtr premultiply_color;
    PF_CallbackPtr new_world;
    PF_CallbackPtr dispose_world;
    PF_CallbackPtr iterate_origin;
    PF_CallbackPtr iterate_lut;
    PF_CallbackPtr transfer_rect;
    PF_CallbackPtr transform_world;
    PF_CallbackPtr host_new_handle;
    PF_CallbackPtr host_lock_handle;
    PF_CallbackPtr host_unlock_handle;
    PF_CallbackPtr host_dispose_handle;
    PF_CallbackPtr get_callback_addr;
    PF_CallbackPtr app;
    PF_ANSICallbacks ansi;
    // Colour callbacks and later members; the module never reads them.
    void* later_members[23];
};

struct SPBasicSuite;

// ---------------------------------------------------------------- command records

struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
};

struct PF_OutData {
    A_u_long my_version;
    A_char name[32];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[256];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
};

// ---------------------------------------------------------------- smart render

struct PF_RenderRequest {
    PF_LRect rect;
    PF_Field field;
    A_long channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    A_char unused[3];
    A_long reserved[4];
};

struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    PF_Boolean solid;
    PF_Boolean reservedB[3];
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
};

typedef void (*PF_DeletePreRenderDataFunc)(void* pre_render_data);

struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    A_short bitdepth;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
};

struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reserved;
    PF_RenderOutputFlags flags;
    void* pre_render_data;
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
};

struct PF_PreRenderCallbacks {
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                             const PF_RenderRequest* req, A_long what_time, A_long time_step,
                             A_u_long time_scale, PF_CheckoutResult* checkout_result);
    PF_CallbackPtr GuidMixInPtr;
};

struct PF_PreRenderExtra {
    PF_PreRenderInput* input;
    PF_PreRenderOutput* output;
    PF_PreRenderCallbacks* cb;
};

struct PF_SmartRenderInput {
    PF_RenderRequest output_request;
    A_short bitdepth;
    void* pre_render_data;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
};

struct PF_SmartRenderCallbacks {
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL,
                                    PF_EffectWorld** pixels);
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
};

struct PF_SmartRenderExtra {
    PF_SmartRenderInput* input;
    PF_SmartRenderCallbacks* cb;
};

// ---------------------------------------------------------------- suites

struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    PF_CallbackPtr IsEqual;
    PF_CallbackPtr AllocateBlock;
    PF_CallbackPtr FreeBlock;
    PF_CallbackPtr ReallocateBlock;
    PF_CallbackPtr Undefined;
};

// "PF Handle Suite" version 2.
struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handle_ptr);
};

// "AEGP Utility Suite" version 7.
struct AEGP_UtilitySuite3 {
    PF_CallbackPtr AEGP_ReportInfo;
    PF_CallbackPtr AEGP_GetDriverPluginInitFuncVersion;
    PF_CallbackPtr AEGP_GetDriverImplementationVersion;
    PF_CallbackPtr AEGP_StartQuietErrors;
    PF_CallbackPtr AEGP_EndQuietErrors;
    PF_CallbackPtr AEGP_StartUndoGroup;
    PF_CallbackPtr AEGP_EndUndoGroup;
    A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                                   AEGP_PluginID* plugin_id);
    // Later members; the module never calls them.
    PF_CallbackPtr later_members[17];
};

// "PF Param Utils Suite" version 2.
struct PF_ParamUtilsSuite1 {
    PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                               const PF_ParamDef* def);
    // Later members; the module never calls them.
    PF_CallbackPtr later_members[9];
};

// "PF World Suite" version 2.
struct PF_WorldSuite2 {
    PF_CallbackPtr PF_NewWorld;
    PF_CallbackPtr PF_DisposeWorld;
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* world, PF_PixelFormat* pixel_format);
};

typedef A_Err (*AEGP_IterateGenericFunc)(void* refconPV, A_long thread_indexL, A_long i,
                                         A_long iterationsL);

// "AEGP Iterate Suite" version 1.
struct AEGP_IterateSuite1 {
    A_Err (*AEGP_GetNumThreads)(A_long* num_threadsPL);
    A_Err (*AEGP_IterateGeneric)(A_long iterationsL, void* refconPV, AEGP_IterateGenericFunc fn);
};

// "PF Iterate8 Suite" version 1.
struct PF_Iterate8Suite1 {
    PF_CallbackPtr iterate;
    PF_CallbackPtr iterate_origin;
    PF_CallbackPtr iterate_lut;
    PF_CallbackPtr iterate_origin_non_clip_src;
    PF_Err (*iterate_generic)(A_long iterationsL, void* refconPV,
                              PF_Err (*fn_func)(void* refconPV, A_long thread_indexL, A_long i,
                                                A_long iterationsL));
};

// ---------------------------------------------------------------- constants

enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24
};

enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517,
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518
};

enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1L << 8,
    PF_OutFlag_REFRESH_UI = 1L << 17,
    PF_OutFlag_DEEP_COLOR_AWARE = 1L << 25,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1L << 26
};

enum {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 1L << 10,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 1L << 12,
    PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 1L << 27
};

enum {
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_ARBITRARY_DATA = 11,
    PF_Param_PATH = 12,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
    PF_Param_BUTTON = 15,
    PF_Param_POINT_3D = 18
};

enum {
    PF_ParamFlag_COLLAPSE_TWIRLY = 1L << 5,
    PF_ParamFlag_START_COLLAPSED = PF_ParamFlag_COLLAPSE_TWIRLY,
    PF_ParamFlag_SUPERVISE = 1L << 6
};

enum {
    PF_PUI_DISABLED = 1L << 5
};

enum {
    PF_ValueDisplayFlag_NONE = 0,
    PF_ValueDisplayFlag_PERCENT = 1 << 0,
    PF_ValueDisplayFlag_PIXEL = 1 << 1
};

enum {
    PF_Stage_DEVELOP = 0,
    PF_Stage_ALPHA = 1,
    PF_Stage_BETA = 2,
    PF_Stage_RELEASE = 3
};

enum {
    PF_PixelFormat_ARGB32 = 0x62677261,
    PF_PixelFormat_ARGB64 = 0x36316561,
    PF_PixelFormat_ARGB128 = 0x32336561,
    PF_PixelFormat_BGRA32 = 0x61726762,
    PF_PixelFormat_INVALID = 0x66646162
};

#define PF_MAX_CHAN8 255
#define PF_MAX_CHAN16 32768
