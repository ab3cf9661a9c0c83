// Seeds for tests that choose moments or values at random: a failing round
// can be replayed with the seed it names.
#pragma once

#include <cstdint>
#include <string>

namespace vextal::test {

/// The environment variable that gives the seed to replay.
inline constexpr char kSeedVariable[] = "VEXTAL_TEST_SEED";

/// The seed of this run: that of VEXTAL_TEST_SEED where it is set, a fresh
/// one otherwise. Printed on standard output.
uint32_t test_seed();

/// What a failure message says of the seed: how to replay the run.
std::string replay_with(uint32_t seed);

}  // namespace vextal::test
