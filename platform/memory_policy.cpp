#include "platform/memory_policy.h"

#include <malloc.h>

namespace platform {

void keep_freed_image_memory() {
  // 32 MiB is the largest threshold the C library accepts for serving blocks
  // from the heap; a 3264 x 2448 mark map (32 bits a pixel) is just below it.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  // Never shrink the heap top on free: the next sheet needs the same memory.
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
}

}  // namespace platform
