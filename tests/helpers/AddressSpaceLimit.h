#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HALVORA_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HALVORA_UNDER_SANITIZER 1
#endif
#endif

namespace testutil
{
/** A test environment that caps the process's address space at what it has mapped when
    the tests start plus some headroom, so that a memory bomb fails instead of passing
    slowly. Sanitizers map terabytes of shadow memory; under them, the sanitizer run's own
    bound on a single allocation stands in.
*/
class AddressSpaceLimit final : public testing::Environment
{
public:
    explicit AddressSpaceLimit (rlim_t headroomBytes)
        : headroom (headroomBytes)
    {
    }

    void SetUp() override
    {
#if ! HALVORA_UNDER_SANITIZER
        std::ifstream statm ("/proc/self/statm");
        rlim_t mappedPages = 0;
        ASSERT_TRUE (statm >> mappedPages);

        rlimit limit {};
        ASSERT_EQ (getrlimit (RLIMIT_AS, &limit), 0);
        limit.rlim_cur = std::min (limit.rlim_max, mappedPages * static_cast<rlim_t> (sysconf (_SC_PAGESIZE)) + headroom);
        ASSERT_EQ (setrlimit (RLIMIT_AS, &limit), 0);
#endif
    }

private:
    rlim_t headroom;
};
} // namespace testutil
