#include "cli/colour_space.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/parallel.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "cli/failure.h"
#include "cli/message_text.h"

namespace velkorramp {

namespace {

bool same_words(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The config's own linear space, to convert through when there is no direct
// transform.
std::string linear_name(const OIIO::ColorConfig& config)
{
    for (const char* role : {"scene_linear", "linear"}) {
        if (const char* name = config.getColorSpaceNameByRole(role)) return name;
    }
    return "linear";
}

}  // namespace

ColourSpaces::ColourSpaces() : config_(std::make_unique<OIIO::ColorConfig>())
{
    // Without $OCIO the library notes that there is no config file and uses its
    // built-in one; only a config the user named can fail.
    const char* ocio = std::getenv("OCIO");
    const bool named = ocio != nullptr && *ocio != '\0';
    if (config_->has_error() || (named && config_->configname() == "built-in")) {
        std::string reason = config_->geterror();
        if (!named) return;
        reason = first_line(reason);
        usage_error("OCIO: the colour config " + in_quotes(ocio) + " does not load: " +
                    (reason.empty() ? std::string("OpenImageIO fell back to its built-in config")
                                    : reason));
    }
}

ColourSpaces::~ColourSpaces() = default;

std::string ColourSpaces::known(std::string_view name) const
{
    if (name.empty()) return {};
    for (const std::string& candidate : config_->getColorSpaceNames()) {
        if (same_words(candidate, name)) return candidate;
    }
    for (const std::string& role : config_->getRoles()) {
        if (same_words(role, name)) {
            if (const char* space = config_->getColorSpaceNameByRole(role)) return space;
        }
    }
    // What OpenImageIO calls "linear" (OpenEXR files say so) is a config's
    // scene-linear space.
    if (same_words(name, "linear")) {
        if (const char* space = config_->getColorSpaceNameByRole("scene_linear")) return space;
    }
    return {};
}

std::string ColourSpaces::resolve(std::string_view option, std::string_view name) const
{
    std::string found = known(name);
    if (found.empty()) {
        usage_error(std::string(option) + ": " + in_quotes(name) + " is not a colour space of " +
                    config_name() + "; use " + names_text());
    }
    return found;
}

bool ColourSpaces::same(const std::string& a, const std::string& b) const
{
    if (same_words(a, b)) return true;
    const std::string ka = known(a);
    const std::string kb = known(b);
    if (ka.empty() || kb.empty()) return false;
    if (ka == kb) return true;
    const OIIO::ColorProcessorHandle processor = config_->createColorProcessor(ka, kb);
    config_->geterror();
    return processor && processor->isNoOp();
}

std::string ColourSpaces::names_text() const
{
    std::string text;
    for (const std::string& name : config_->getColorSpaceNames()) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::string ColourSpaces::config_name() const
{
    const std::string name = config_->configname();
    return name.empty() || name == "built-in" ? std::string("OpenImageIO's built-in colour config")
                                              : "the colour config " + in_quotes(name);
}

ColourSpaces::Conversion ColourSpaces::conversion(const std::string& from, const std::string& to,
                                                  const std::string& what) const
{
    Conversion conversion;
    if (same(from, to)) return conversion;
    const std::string cannot =
        "cannot convert " + what + " from " + in_quotes(from) + " to " + in_quotes(to) + ": ";
    const std::string known_from = known(from);
    const std::string known_to = known(to);
    for (const auto& [name, given] : {std::pair{known_from, from}, std::pair{known_to, to}}) {
        if (name.empty()) {
            usage_error(cannot + in_quotes(given) + " is not a colour space of " + config_name() +
                        " (set OCIO to a config that has it)");
        }
    }
    if (OIIO::ColorProcessorHandle direct = config_->createColorProcessor(known_from, known_to)) {
        conversion.steps_.push_back(direct);
        return conversion;
    }
    config_->geterror();
    const std::string linear = linear_name(*config_);
    OIIO::ColorProcessorHandle in = config_->createColorProcessor(known_from, linear);
    OIIO::ColorProcessorHandle out = config_->createColorProcessor(linear, known_to);
    std::string reason = config_->geterror();
    if (!in || !out) {
        reason = first_line(reason);
        usage_error(cannot +
                    (reason.empty() ? config_name() + " has no transform between them" : reason));
    }
    conversion.steps_ = {in, out};
    return conversion;
}

void ColourSpaces::Conversion::apply(float* rgba, int width, int height, int threads) const
{
    // The processor's own loop over the pixels, in chunks of rows.
    const auto rows = [&](std::int64_t begin, std::int64_t end) {
        float* first = rgba + begin * static_cast<std::int64_t>(width) * 4;
        for (const OIIO::ColorProcessorHandle& step : steps_) {
            step->apply(first, width, static_cast<int>(end - begin), 4, sizeof(float),
                        4 * sizeof(float), static_cast<OIIO::stride_t>(width) * 4 * sizeof(float));
        }
    };
    if (threads == 1 || height < 2) {
        rows(0, height);
        return;
    }
    OIIO::parallel_for_chunked(0, height, 0, rows, OIIO::paropt(threads));
}

std::string file_colour_space(const OIIO::ImageSpec& header, std::string_view format)
{
    if (format == "openexr") {
        const std::string recorded = header.get_string_attribute(kExrColourSpaceAttribute);
        return recorded.empty() ? std::string("linear") : recorded;
    }
    return header.get_string_attribute("oiio:ColorSpace");
}

bool tag_colour_space(OIIO::ImageSpec& spec, std::string_view format, const std::string& space,
                      const ColourSpaces& spaces)
{
    const bool srgb = spaces.same(space, "sRGB");
    const bool linear = spaces.same(space, "linear");
    if (format == "openexr") {
        // The reader calls every OpenEXR file linear; another space is one
        // attribute, so the file names exactly one.
        if (!linear) spec.attribute(kExrColourSpaceAttribute, space);
        return linear;
    }
    spec.attribute("oiio:ColorSpace", space);
    if (format == "png") return true;  // an sRGB chunk, gAMA 1.0, or the name in text
    if (format == "tiff") {
        // 1 is sRGB; 0xFFFF "uncalibrated" is the truth for anything else. A
        // float TIFF is read as linear by convention.
        spec.attribute("Exif:ColorSpace", srgb ? 1 : 0xFFFF);
        const bool float_samples = spec.format.is_floating_point();
        return srgb || (linear && float_samples);
    }
    if (format == "dpx") return linear || spaces.same(space, "Rec709");  // its transfer field
    if (format == "hdr" || format == "rla") return linear;
    return srgb;
}

std::string colour_space_reading(std::string_view format)
{
    if (format == "openexr") {
        return " where readers look (only in its colorSpace attribute); they take every OpenEXR "
               "file as linear";
    }
    if (format == "dpx") return ": its transfer field holds Linear or ITU-R 709";
    if (format == "hdr" || format == "rla") return "; readers will take it as linear";
    if (format == "tiff") return "; readers will take it as sRGB (float samples as linear)";
    return "; readers will take it as sRGB";
}

}  // namespace velkorramp
