#pragma once

namespace kest {

// Ends the process at once with `status`: no window is unloaded, no
// destructor or exit handler runs. Standard output and error are flushed.
[[noreturn]] void endProcessNow(int status = 0);

} // namespace kest
