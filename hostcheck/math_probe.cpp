// velkor_math_probe: evaluates sine, cosine and pow over fixed inputs and
// writes the result bits, so that the Linux build and the Windows build (under
// Wine) can be compared: the portable sine and cosine must agree bit for bit,
// the C library's functions are measured.
//
//   velkor_math_probe write FILE
//   velkor_math_probe compare FILE FILE
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ramp/portable_math.h"

namespace {

// Integer-only generator: the same inputs on every build.
class SplitMix {
public:
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }

private:
    std::uint64_t state_ = 0x5EED;
};

struct Section {
    std::string name;
    bool must_match;
    std::vector<std::uint64_t> bits;
};

std::uint64_t bits_of(double x)
{
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

// The module's conversion of the Direction control: 16.16 fixed degrees to radians.
double direction_radians(std::int32_t fixed) { return (fixed / 65536.0) * 0.017453292519943295; }

std::vector<Section> evaluate()
{
    SplitMix random;
    std::vector<double> radians;
    for (int i = 0; i < 200000; ++i)
        radians.push_back((random.unit() * 2 - 1) * 4 * 3.141592653589793);
    std::vector<double> directions;
    for (std::int64_t fixed = -32768ll * 65536; fixed < 32768ll * 65536; fixed += 16411)
        directions.push_back(direction_radians(static_cast<std::int32_t>(fixed)));
    for (std::int32_t degrees = -720; degrees <= 720; ++degrees)
        directions.push_back(direction_radians(degrees * 65536));
    std::vector<std::pair<double, double>> powers;
    for (int i = 0; i < 200000; ++i)
        powers.emplace_back(random.unit(), 0.01 + random.unit() * (100 - 0.01));

    // volatile keeps the compiler from folding the library calls.
    const auto run = [](const std::vector<double>& inputs, double (*fn)(double)) {
        std::vector<std::uint64_t> out;
        for (double x : inputs) {
            volatile double v = x;
            out.push_back(bits_of(fn(v)));
        }
        return out;
    };
    const auto library_sin = [](double x) { return std::sin(x); };
    const auto library_cos = [](double x) { return std::cos(x); };
    std::vector<Section> sections = {
        {"portable_sin(radians)", true, run(radians, velkor::portable_sin)},
        {"portable_cos(radians)", true, run(radians, velkor::portable_cos)},
        {"portable_sin(direction)", true, run(directions, velkor::portable_sin)},
        {"portable_cos(direction)", true, run(directions, velkor::portable_cos)},
        {"library sin(radians)", false, run(radians, library_sin)},
        {"library cos(radians)", false, run(radians, library_cos)},
        {"library sin(direction)", false, run(directions, library_sin)},
        {"library cos(direction)", false, run(directions, library_cos)},
        {"library pow(t, power)", false, {}},
    };
    for (const auto& [t, p] : powers) {
        volatile double vt = t;
        volatile double vp = p;
        sections.back().bits.push_back(bits_of(std::pow(vt, vp)));
    }
    return sections;
}

int write(const char* path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const Section& section : evaluate()) {
        out << section.name << '\n'
            << (section.must_match ? 1 : 0) << ' ' << section.bits.size() << '\n';
        out.write(reinterpret_cast<const char*>(section.bits.data()),
                  static_cast<std::streamsize>(section.bits.size() * sizeof(std::uint64_t)));
    }
    out.close();
    if (!out) {
        std::remove(path);
        std::cerr << "velkor_math_probe: cannot write " << path << "\n";
        return 1;
    }
    return 0;
}

std::map<std::string, Section> read(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::map<std::string, Section> sections;
    std::string name;
    while (std::getline(in, name)) {
        Section section{name, false, {}};
        int must_match = 0;
        std::size_t count = 0;
        if (!(in >> must_match >> count) || in.get() != '\n' || count > (1u << 24)) break;
        section.must_match = must_match != 0;
        section.bits.resize(count);
        in.read(reinterpret_cast<char*>(section.bits.data()),
                static_cast<std::streamsize>(count * 8));
        if (!in) break;
        sections[name] = std::move(section);
    }
    return sections;
}

int compare(const char* a_path, const char* b_path)
{
    const auto a = read(a_path);
    const auto b = read(b_path);
    if (a.empty() || a.size() != b.size()) {
        std::cerr << "velkor_math_probe: " << a_path << " and " << b_path
                  << " do not hold the same sections\n";
        return 1;
    }
    int failures = 0;
    for (const auto& [name, section] : a) {
        const auto other = b.find(name);
        if (other == b.end() || other->second.bits.size() != section.bits.size()) {
            std::cout << name << ": missing or of another size\n";
            ++failures;
            continue;
        }
        std::size_t differing = 0;
        std::uint64_t most_ulps = 0;
        for (std::size_t i = 0; i < section.bits.size(); ++i) {
            const std::uint64_t x = section.bits[i];
            const std::uint64_t y = other->second.bits[i];
            if (x != y) {
                ++differing;
                const std::uint64_t ulps = x > y ? x - y : y - x;
                most_ulps = ulps > most_ulps ? ulps : most_ulps;
            }
        }
        char line[160];
        std::snprintf(line, sizeof line,
                      "%-26s %7zu of %7zu results differ (%.3f%%), at most %llu ulp%s\n",
                      name.c_str(), differing, section.bits.size(),
                      100.0 * differing / section.bits.size(),
                      static_cast<unsigned long long>(most_ulps),
                      section.must_match && differing ? "  <- must be identical" : "");
        std::cout << line;
        if (section.must_match && differing) ++failures;
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && argc == 3) return write(argv[2]);
    if (command == "compare" && argc == 4) return compare(argv[2], argv[3]);
    std::cerr << "usage: velkor_math_probe write FILE | compare FILE FILE\n";
    return 2;
}
