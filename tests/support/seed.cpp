#include "tests/support/seed.h"

#include <cstdio>
#include <cstdlib>
#include <random>

namespace vextal::test {

uint32_t test_seed() {
    const char* given = std::getenv(kSeedVariable);
    const uint32_t seed = given != nullptr && *given != '\0'
                              ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10))
                              : std::random_device{}();
    std::printf("seed %lu (%s)\n", static_cast<unsigned long>(seed), replay_with(seed).c_str());
    return seed;
}

std::string replay_with(uint32_t seed) {
    return std::string("replay with ") + kSeedVariable + "=" + std::to_string(seed);
}

}  // namespace vextal::test
