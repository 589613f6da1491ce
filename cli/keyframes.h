// Keyframed control values on the command line: VALUE@FRAME,VALUE@FRAME,...
// ("--direction 0@1,360@100", "--start 0,540@1,1920,540@48",
// "--start-color '#ff0000@1,#0000ff@48'"). A value without '@' is constant.
//
// A frame may be followed by how the key is arrived at and left
// ("0@1:ease,360@100:ease-in", key_sides.h); without one the key is linear.
//
// A value may itself hold commas (points, colours), so the text is read key
// by key: the value runs to the next '@', the frame (and its ':' suffix) from
// there to the next comma or the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/key_sides.h"

namespace velkorramp {

struct KeyText {
    std::string value;  // as typed, for the control's own parser
    int frame = 0;
    KeySides sides;  // speeds in the control's units a second
};

// True when `text` is keyframed (holds an '@').
bool is_keyed(std::string_view text);

// The keys of `text`, in the order given. A usage failure naming `option` for
// a key without a value or frame, a frame that is not a whole number within
// +-max_frame, an interpolation that is none of key_sides.h's, or two keys at
// one frame.
std::vector<KeyText> parse_keys(std::string_view option, std::string_view text, int max_frame);

}  // namespace velkorramp
