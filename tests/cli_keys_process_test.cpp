// Eased, held and Bezier keys with the built velkorramp: a keys file written by
// params --json reads back to itself, every frame of a sequence from it equals a
// single frame of the values params reports there (Power's curve dips past its
// valid range and stops there), and each malformed file is refused in one line
// naming the file, the control and the key.
#include <nlohmann/json.hpp>

#include "cli/values.h"
#include "cli_test_support.h"

namespace cli_test {
namespace {

using Json = nlohmann::json;

class Keys : public ToolTest {};

TEST_F(Keys, AFileRoundTripsAndItsFramesEqualSingleFramesOfTheirValues)
{
    const std::vector<std::string> layer{"--size", "48x20", "--controlled-by", "center"};
    const auto tool = [&](const char* command, std::vector<std::string> args) {
        args.insert(args.begin(), layer.begin(), layer.end());
        args.insert(args.begin(), command);
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return r.out;
    };
    const std::string written =
        tool("params",
             {"--json", "--length", "10@1:ease,40@6", "--direction", "0@1,270@6:ease-in",
              "--center", "0,0@1:bezier=0/50/-20/75,40,16@6", "--start-color",
              "#000000@1:ease-out,#FF8040@6", "--power", "1@1:bezier=0/50/-60/50,3@4:hold,2@6"});
    std::ofstream(path("shot.json")) << written;
    EXPECT_EQ(tool("params", {"--json", "--keys", path("shot.json")}), written);

    tool("render", {"--keys", path("shot.json"), "--frames", "1-6", "-o", path("seq.#.png")});
    std::vector<std::uint8_t> previous;
    for (int frame = 1; frame <= 6; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const Json at = Json::parse(tool("params", {"--json", "--keys", path("shot.json"),
                                                    "--frame", std::to_string(frame)}));
        std::vector<std::string> single{"-o", path("one.png")};
        for (const Json& control : at["controls"]) {
            if (!control.contains("keys")) continue;
            const Json& v = control["value"];
            single.push_back(control["option"]);
            single.push_back(v.is_string()  ? v.get<std::string>()
                             : v.is_array() ? velkorramp::format_number(v[0]) + "," +
                                                  velkorramp::format_number(v[1])
                                            : velkorramp::format_number(v));
        }
        tool("render", single);
        const std::vector<std::uint8_t> one = read_file(path("one.png")).u8;
        EXPECT_EQ(read_file(path("seq.000" + std::to_string(frame) + ".png")).u8, one);
        EXPECT_NE(one, previous);
        previous = one;
    }
}

TEST_F(Keys, EachMalformedFileIsOneLineNamingTheFileTheControlAndTheKey)
{
    const std::string power = R"({"controls": [{"name": "Power", "keys": [)";
    const struct {
        std::string file;
        std::string says;
    } cases[] = {
        {"{\"controls\": [", "not JSON: parse error at line 1, column 15"},
        {"[]", "is not an object with a \"controls\" array"},
        {R"({"controls": [], "fsp": 24})", "unknown field \"fsp\""},
        {R"({"controls": [{"name": "Powr"}]})", "\"Powr\": names no control; the controls are"},
        {R"({"controls": [{"name": "Power"}, {"name": "Power"}]})", "\"Power\": is listed twice"},
        {R"({"controls": [{"name": "Power", "keys": {}}]})", "\"keys\" is not an array"},
        {power + "5]}]}", "\"Power\", key 1: is not an object"},
        {power + R"({"frame": 1.5, "value": 2}]}]})", "key 1: \"frame\" is not a whole number"},
        {power + R"({"frame": 1, "value": 2}, {"frame": 1, "value": 3}]}]})",
         "key 2 (frame 1): repeats a frame"},
        {power + R"({"frame": 2, "value": 200}]}]})",
         "key 1 (frame 2): \"Power\" accepts 0.01 to 100; 200 is outside"},
        {power + R"({"frame": 1, "value": true}]}]})", "\"value\" is not a number, a string"},
        {power + R"({"frame": 1, "value": 2, "in": "ease"}]}]})", "\"in\" is none of"},
        {power + R"({"frame": 1, "value": 2, "speed_out": 3}]}]})",
         "\"speed_out\" is for a \"bezier\" side"},
        {power + R"({"frame": 1, "value": 2, "in": "bezier", "influence_in": 0}]}]})",
         "\"influence_in\" is not a number more than 0 and at most 100"},
        {power + R"({"frame": 1, "valeu": 2}]}]})", "key 1: unknown field \"valeu\""},
        {R"({"controls": [{"name": "Center", "keys": [{"frame": 1, "value": [1, 2], "out": "bezier", "speed_out": [1, 2, 3]}]}]})",
         "\"Center\", key 1 (frame 1): \"speed_out\" is not a number or an array of 2 numbers"},
        {R"({"controls": [{"name": "Shape", "keys": [{"frame": 3, "value": "squre"}]}]})",
         "\"Shape\", key 1 (frame 3): \"squre\" is not a choice of \"Shape\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(path("bad.json")) << c.file;
        const ProcessResult r = run({"params", "--keys", path("bad.json")});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find("velkorramp: --keys \"" + path("bad.json").string() + "\": "),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

}  // namespace
}  // namespace cli_test
