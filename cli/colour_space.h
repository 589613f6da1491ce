// Colour spaces by name, as OpenImageIO's colour management knows them: its
// built-in sRGB, Rec709 and linear transforms, or the OpenColorIO config that
// the OCIO environment variable names.
//
// The host blends colours in the values it stores, with no conversion, so a
// frame is computed in a working space: the input file's own colour space, or
// sRGB for a solid layer or a file that says nothing. An input in another
// space is converted into the working space as it is read, and the frame is
// tagged with the working space or converted on writing. Conversions are on
// straight (not premultiplied) colour; alpha never changes.
//
// How each format states a colour space, and what OpenImageIO reads back:
//   - PNG: an sRGB chunk, gAMA 1.0 for linear, or the name in a text chunk;
//   - TIFF: Exif ColorSpace 1 for sRGB; other spaces have no tag it reads;
//   - OpenEXR: its values are scene-linear by definition, and OpenImageIO reads
//     every OpenEXR file as "Linear"; another space is recorded in a
//     "colorSpace" string attribute only (read back by this tool);
//   - DPX: its transfer characteristic (Linear, or ITU-R 709 for Rec709);
//   - JPEG, WebP and GIF are sRGB by definition.
#pragma once

#include <OpenImageIO/color.h>
#include <OpenImageIO/imageio.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkorramp {

// The OpenEXR attribute that records a colour space other than linear.
inline constexpr char kExrColourSpaceAttribute[] = "colorSpace";

class ColourSpaces {
public:
    // The config in $OCIO if set, else OpenImageIO's built-in one. A config that
    // does not load is a usage failure naming it.
    ColourSpaces();
    ~ColourSpaces();
    ColourSpaces(const ColourSpaces&) = delete;
    ColourSpaces& operator=(const ColourSpaces&) = delete;

    // The config's own spelling of `name` (case ignored; "Linear" is "linear"),
    // or a usage failure from `option` listing the names it knows.
    std::string resolve(std::string_view option, std::string_view name) const;
    // The config's spelling of a name a file gave, or "" when the config does
    // not know it.
    std::string known(std::string_view name) const;
    // True when converting from `a` to `b` changes nothing.
    bool same(const std::string& a, const std::string& b) const;
    // "linear, sRGB, Rec709 (OpenImageIO's built-in colour config)"
    std::string names_text() const;
    std::string config_name() const;

    // A conversion between two names the config knows; through its linear space
    // when there is no direct transform (the built-in config has only
    // transforms to and from linear). Empty when the two are the same.
    class Conversion {
    public:
        bool empty() const { return steps_.empty(); }
        // Converts straight RGBA float pixels in place (alpha untouched), on
        // `threads` of OpenImageIO's (0: all); every pixel alike either way.
        void apply(float* rgba, int width, int height, int threads = 1) const;

    private:
        friend class ColourSpaces;
        std::vector<OIIO::ColorProcessorHandle> steps_;
    };
    // A usage failure (naming `what`) when the config has no way between them.
    Conversion conversion(const std::string& from, const std::string& to,
                          const std::string& what) const;

private:
    std::unique_ptr<OIIO::ColorConfig> config_;
};

// The colour space an input file says it is in, by the attribute its format and
// OpenImageIO use, or "" when it says nothing. `format` is the reader's name.
std::string file_colour_space(const OIIO::ImageSpec& header, std::string_view format);

// Sets the attributes by which `format` (a writer's name) records `space` in
// `spec` (whose sample type is set). Returns false when readers will not take
// the values as `space`: the format has no way to say it, or (OpenEXR) readers
// take every file as linear whatever it says.
bool tag_colour_space(OIIO::ImageSpec& spec, std::string_view format, const std::string& space,
                      const ColourSpaces& spaces);

// How readers take the colour of a `format` file that cannot state its space,
// as the end of a note: "; readers will take it as sRGB".
std::string colour_space_reading(std::string_view format);

}  // namespace velkorramp
