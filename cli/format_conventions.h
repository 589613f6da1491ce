// What the tools that open a file next expect of each format, read from the
// format table's own fields (output_format.cpp): the colour space a
// compositor's writer gives it by default, how OpenImageIO 2.4's writer for it
// takes alpha, and which of an input's extra channels and metadata it keeps.
//
// Default colour space ("--output-colorspace auto"):
//   - scene-linear for float samples: OpenEXR, HDR, float TIFF, DPX and RLA;
//     compositors read every float file as linear;
//   - Rec709 for integer DPX, the transfer its readers take from its header;
//   - sRGB for the 8- and 16-bit display formats (PNG, JPEG, TIFF, Targa, BMP,
//     WebP, GIF, ICO, SGI, IFF, PNM).
//
// How the writer takes alpha (measured against ImageMagick and dwebp):
//   - PNG, Targa and TIFF divide by alpha themselves unless told the colour is
//     straight ("oiio:UnassociatedAlpha"); they are told;
//   - WebP's writer in OpenImageIO 2.4 always divides by alpha itself, in 8
//     bits through a 2.2 power, whatever it is told: a straight (128, 136, 128)
//     at alpha 128 becomes (175, 186, 176). Files with alpha are
//     therefore encoded by libwebp directly from the straight samples
//     (webp_file.h); files without alpha by OpenImageIO;
//   - BMP, ICO, GIF, SGI, DPX, OpenEXR, IFF and RLA store what they are given.
#pragma once

#include <OpenImageIO/imageio.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/output_format.h"

namespace velkorramp {

// The colour space a format's file holds unless --output-colorspace names one:
// "linear", "Rec709" or "sRGB", as OpenImageIO's built-in config spells them.
std::string default_output_space(const OutputFormat& format, FileDepth depth);

// Whether OpenImageIO's writer for `format` divides colour by alpha itself,
// whatever it is told, so that straight samples must reach the file another way.
bool writer_unpremultiplies_regardless(const OutputFormat& format);

// Whether a file of `format` holds channels beyond red, green, blue and alpha.
bool holds_extra_channels(const OutputFormat& format);

// The channel counts a file of `format` can be written with (a one-channel
// matte is grey where the format has no named channels).
bool holds_channel_count(const OutputFormat& format, int channels);

// Whether `format` keeps the metadata attribute `attribute` of an input
// (OpenEXR keeps all; PNG keeps text; TIFF and JPEG keep Exif and IPTC; DPX its
// own header fields and the timecode).
bool keeps_attribute(const OutputFormat& format, const OIIO::ParamValue& attribute);

// The input's metadata worth carrying to a file: everything but how the input
// file itself was stored (its compression, channel layout, the reader's own
// notes) and what this tool records afresh (Software, the description, its
// own velkorramp: attributes, the colour space).
std::vector<OIIO::ParamValue> carried_metadata(const OIIO::ImageSpec& input);

}  // namespace velkorramp
