#pragma once

namespace zanto {

// Hands memory the program has freed back to the system. After a big copy or
// Clear of a full grid, the allocator would otherwise keep hundreds of MiB
// that nothing uses.
void releaseFreedMemory();

} // namespace zanto
