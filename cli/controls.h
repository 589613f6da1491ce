// The effect's controls as command-line options. The tool knows only which
// option names which control (by the name the module declares); the kind of
// value, its choices, default and valid range are read from the module's own
// declarations each run, so the tool never carries a second copy of them.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/keyframes.h"
#include "cli/options.h"
#include "simhost/session.h"

namespace velkorramp {

struct ControlOption {
    const char* option;   // "--start"
    const char* control;  // the declared name, "Start of Ramp"
};

inline constexpr std::array<ControlOption, 13> kControlOptions{{
    {"--type", "Type"},
    {"--controlled-by", "Controlled By"},
    {"--start", "Start of Ramp"},
    {"--end", "End of Ramp"},
    {"--center", "Center"},
    {"--length", "Length"},
    {"--direction", "Direction"},
    {"--start-color", "Start Color"},
    {"--end-color", "End Color"},
    {"--start-alpha", "Start Alpha"},
    {"--end-alpha", "End Alpha"},
    {"--shape", "Shape"},
    {"--power", "Power"},
}};

// The option for a declared control name, or null.
const ControlOption* option_for_control(std::string_view control);
// The option entry for "--type" etc., or null.
const ControlOption* find_control_option(std::string_view option);

// A choice's command-line word: lower case, words joined by '-', '&' dropped
// and a number joined to the word before it ("Color & Alpha" -> "color-alpha",
// "Linear 2" -> "linear2").
std::string choice_word(std::string_view choice);

// The 1-based choice that `text` names, or 0. `text` names a choice when it is
// its number, or equals its name with case, spaces and punctuation ignored
// ("color-alpha", "Linear 2", "linear2"), or, failing that, when its words are
// all words of exactly one choice ("points" for "Two Points").
int match_choice(const std::vector<std::string>& choices, std::string_view text);

// The valid values of a control in user units, for messages and listings:
// "0 to 50000", "0 to 100 %", "choices 1 \"Color\" (color), ...".
std::string valid_range_text(const simhost::ParamInfo& param);
// The declared default in user units; points as percent of a layer of the
// given size, with the pixel position it gives.
std::string default_text(const simhost::ParamInfo& param, int layer_width, int layer_height);
// The form of the option's value for help: "CHOICE", "X,Y", "NUMBER", ...
const char* value_form(PF_ParamType type);

// Sets the control that `option` names from the user's text, in the units of
// the control's declared type: one value for all time, or keys
// VALUE@FRAME,... (keyframes.h) at the frames' times on the session's clock.
// A control the module does not declare is a module failure; malformed text or
// a value outside the declared valid range is a usage failure whose message
// names the control and its range.
// With `notes`, a colour of whole numbers all 0 or 1 and an alpha strictly
// between 0 and 1 each get a line saying what was understood. An alpha may end
// in '%'; a Length in '%' is that percent of the layer's width.
void apply_control(simhost::Session& session, const ControlOption& option, std::string_view text,
                   std::ostream* notes = nullptr);
// One key of the control, its value as the option would take it, its sides'
// speeds in the control's units a second.
void apply_key(simhost::Session& session, const ControlOption& option, const KeyText& key,
               std::ostream* notes = nullptr);
// The largest frame a key may be at on the session's clock (and its negative
// the smallest).
int largest_key_frame(simhost::Session& session);

// Sets every control the options name, in the order given.
void apply_controls(simhost::Session& session, const ParsedOptions& options,
                    std::ostream* notes = nullptr);

// A value as checked out (simhost::KeyValue) in user units: "2 \"Linear 2\"",
// "960,540", "45 degrees", "50 %", "#FF8000".
std::string value_text(const simhost::ParamInfo& param, const simhost::KeyValue& value);

}  // namespace velkorramp
