#pragma once

// How a harness reports a broken invariant: it names the invariant and aborts, which libFuzzer
// records as a crash together with the input that caused it.

#include <cstdio>
#include <cstdlib>

namespace mosa_fuzz {

inline void require(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

}  // namespace mosa_fuzz
