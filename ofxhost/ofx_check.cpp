// velkor_ofxcheck: loads the OpenFX bundle into the test host and renders the
// host check's ramp cases in the generator and filter contexts, in bytes, shorts
// and float, at render scale 1 and 1/2, over tiles and threads, writing each
// frame; run on each build of the plug-in (the Windows one under Wine), the
// frames are compared with `velkor_hostcheck compare`.
//
//   velkor_ofxcheck run BUNDLE FRAMES_DIR
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "hostcheck/frame_file.h"
#include "hostcheck/ramp_cases.h"
#include "ofxhost/ofx_host.h"

namespace {

using velkor::hostcheck::kLayerHeight;
using velkor::hostcheck::kLayerWidth;
using velkor::hostcheck::RampCase;

struct Failure {
    std::string what;
};

void require(OfxStatus st, const std::string& what)
{
    if (st != kOfxStatOK) throw Failure{what + " answered status " + std::to_string(st)};
}

void apply(ofxhost::Host& host, ofxhost::Effect* fx, const RampCase& c)
{
    const auto set = [&](const char* name, std::vector<double> v) {
        require(host.set_param(fx, name, std::move(v)), std::string("setting ") + name);
    };
    const auto point = [&](const char* name, velkor::hostcheck::PointValue p) {
        set(name, {p.x, kLayerHeight - p.y});
    };
    const auto color = [&](const char* name, const PF_Pixel& p) {
        set(name, {p.red / 255.0, p.green / 255.0, p.blue / 255.0});
    };
    set("type", {c.type - 1.0});
    set("controlledBy", {c.controlled_by - 1.0});
    point("startOfRamp", c.start);
    point("endOfRamp", c.end);
    point("center", c.center);
    set("length", {c.length});
    set("direction", {c.direction});
    color("startColor", c.start_color);
    color("endColor", c.end_color);
    set("startAlpha", {c.start_alpha});
    set("endAlpha", {c.end_alpha});
    set("shape", {c.shape - 1.0});
    set("power", {c.power});
}

// A patterned source at the render's scale, straight alpha.
ofxhost::Frame source_of(const std::string& depth, int width, int height)
{
    ofxhost::Frame f = ofxhost::Frame::blank(depth, {0, 0, width, height});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double v[4] = {x / (width - 1.0), y / (height - 1.0), ((x ^ y) & 15) / 15.0,
                                 ((x * 7 + y * 3) % 11) / 10.0};
            unsigned char* p = f.pixel(x, y);
            for (int k = 0; k < 4; ++k) {
                if (depth == kOfxBitDepthByte) {
                    p[k] = static_cast<unsigned char>(v[k] * 255 + 0.5);
                } else if (depth == kOfxBitDepthShort) {
                    const auto s = static_cast<unsigned short>(v[k] * 65535 + 0.5);
                    std::memcpy(p + 2 * k, &s, 2);
                } else {
                    const auto s = static_cast<float>(v[k]);
                    std::memcpy(p + 4 * k, &s, 4);
                }
            }
        }
    }
    return f;
}

velkor::hostcheck::Frame file_frame(const ofxhost::Frame& f)
{
    velkor::hostcheck::Frame out;
    out.width = static_cast<std::uint32_t>(f.width());
    out.height = static_cast<std::uint32_t>(f.height());
    out.pixel_bytes = static_cast<std::uint32_t>(f.pixel_bytes);
    const std::size_t row = f.pixel_bytes * static_cast<std::size_t>(f.width());
    for (int y = f.bounds.y2 - 1; y >= f.bounds.y1; --y) {
        const unsigned char* p = f.pixel(f.bounds.x1, y);
        out.pixels.insert(out.pixels.end(), p, p + row);
    }
    return out;
}

int run(const std::string& bundle, const std::filesystem::path& dir)
{
    ofxhost::Host host;
    if (const std::string st = host.load(bundle); !st.empty()) throw Failure{st};
    require(host.load_status(), "Load");
    require(host.describe(), "Describe");
    std::filesystem::create_directories(dir);
    int frames = 0;
    for (const char* context : {kOfxImageEffectContextGenerator, kOfxImageEffectContextFilter}) {
        const bool filter = std::string(context) == kOfxImageEffectContextFilter;
        ofxhost::Effect* fx = nullptr;
        require(host.create_instance(context, {kLayerWidth, kLayerHeight, 1, filter}, &fx),
                "CreateInstance");
        for (const RampCase& c : velkor::hostcheck::ramp_cases()) {
            apply(host, fx, c);
            for (const char* depth : {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat}) {
                for (const int divisor : {1, 2}) {
                    const ofxhost::Frame source =
                        source_of(depth, (kLayerWidth + divisor - 1) / divisor,
                                  (kLayerHeight + divisor - 1) / divisor);
                    ofxhost::RenderRequest r;
                    r.depth = depth;
                    r.scale = {1.0 / divisor, 1.0 / divisor};
                    r.tile_width = 40;
                    r.tile_height = 24;
                    r.threads = 3;
                    r.source = filter ? &source : nullptr;
                    ofxhost::Frame out;
                    const std::string name = std::string(c.name) + "-" +
                                             (filter ? "filter" : "generator") + "-" + depth + "-" +
                                             std::to_string(divisor);
                    require(host.render(fx, r, out), "Render of " + name);
                    velkor::hostcheck::write_frame(dir / (name + ".frame"), file_frame(out));
                    ++frames;
                }
            }
        }
        require(host.destroy_instance(fx), "DestroyInstance");
    }
    require(host.unload(), "Unload");
    if (!host.accounting().balanced()) throw Failure{"the memory or images did not balance"};
    if (!ofxhost::violations().empty()) throw Failure{ofxhost::violations().front()};
    std::cout << "rendered " << frames << " frames into " << dir.string()
              << "; accounting balanced\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || std::string(argv[1]) != "run") {
        std::cerr << "usage: velkor_ofxcheck run BUNDLE FRAMES_DIR\n";
        return 2;
    }
    try {
        return run(argv[2], argv[3]);
    } catch (const Failure& f) {
        std::cerr << "velkor_ofxcheck: " << f.what << "\n";
    } catch (const std::exception& e) {
        std::cerr << "velkor_ofxcheck: " << e.what() << "\n";
    }
    return 1;
}
