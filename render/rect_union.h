// Rectangle union with the host's conventions (right and bottom exclusive; empty
// when left >= right or top >= bottom).
#pragma once

#include "host/host_interface.h"

namespace velkor {

inline bool is_empty(const PF_LRect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Grows `destination` to enclose `source`. An empty destination becomes a copy
// of the source (empty or not); an empty source changes nothing.
inline void union_rect(const PF_LRect& source, PF_LRect& destination)
{
    if (is_empty(destination)) {
        destination = source;
    } else if (!is_empty(source)) {
        if (source.left < destination.left) destination.left = source.left;
        if (source.top < destination.top) destination.top = source.top;
        if (source.right > destination.right) destination.right = source.right;
        if (source.bottom > destination.bottom) destination.bottom = source.bottom;
    }
}

}  // namespace velkor
