// The one fact the frame render needs from the animations: which of this frame's draw items
// belongs to the record an item follows.
#pragma once

#include <cstdint>

// The draw item made this frame for animation record followIndex, or 0 when there is none to
// follow: no such record, or the record queued no item of its own this frame.
int32_t FollowedDrawItem(int32_t followIndex);
