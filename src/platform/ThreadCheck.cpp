#include "platform/ThreadCheck.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void ThreadOwner::wrongThread(const char* operation, const char* thread) noexcept
{
    std::fprintf(stderr, "Tessaly Notes: %s called off %s\n", operation, thread);
    std::fflush(stderr);
    std::abort();
}

} // namespace platform
