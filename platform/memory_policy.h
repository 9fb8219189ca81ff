// Process-wide allocation policy for programs that handle one photograph
// after another.
#pragma once

namespace platform {

// Keeps freed image-sized blocks (up to 32 MiB each) in the heap instead of
// handing them back to the system, so the next photograph of the same size
// reuses them without fresh page faults. On 3264 x 2448 sheets this took the
// recognize pipeline from about 125 to about 80 ms per sheet; the peak
// resident memory grows by about a tenth. Call once at start-up.
void keep_freed_image_memory();

}  // namespace platform
