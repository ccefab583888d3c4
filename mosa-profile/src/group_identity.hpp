#pragma once

// Identity of a group without building its name: what `query` looks groups up by, so that a
// sample whose group already exists costs no allocation.

#include <cstdint>
#include <string_view>

#include <mosa_package/profile.hpp>
#include <mosa_profile/query_model.hpp>

namespace mosa_profile::detail {

// Equal identities exactly when group_key gives equal names under one query. Text-named groups
// (kind, kernel, operation, metadata) carry the name itself, viewed in the sample or in a constant
// text; phase groups carry (phase << 32) | epoch and tile groups the tile number.
struct GroupIdentity {
  std::string_view text;
  std::uint64_t number = 0;
  friend bool operator==(const GroupIdentity&, const GroupIdentity&) = default;
};

// The identity of the group of `sample` of physical tile `tile`. Valid while the sample lives.
GroupIdentity group_identity(const Query& query, std::uint32_t tile,
                             const mosa_package::CycleSample& sample) noexcept;

}  // namespace mosa_profile::detail
