// useful_work over metadata lists whose names are mostly the two work keys and whose values are
// any byte strings. The result is compared with a reading written from the definition: the first
// entry of each key, a plain decimal text (checked character by character) converted by strtod,
// kept when it lies from 0 to 2^64, and the pair kept when physical >= useful.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <mosa_profile/step_classification.hpp>

#include "byte_reader.hpp"
#include "invariant.hpp"
#include "record_decoder.hpp"

namespace {

using mosa_fuzz::require;

constexpr std::string_view work_names[] = {
    "usefulCycles", "physicalWorkCycles", "usefulCycles", "physicalWorkCycles", "UsefulCycles", ""};

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Optional sign; digits, digits "." digits*, or "." digits; optional (e|E) [sign] digits; nothing
// else. The words inf, infinity and nan also belong to the accepted text, but never give a finite
// value, so leaving them out here changes no expected result.
bool plain_decimal(std::string_view text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t from = at;
    while (at < text.size() && is_digit(text[at])) ++at;
    return at - from;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissa_digits = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa_digits += digits();
  }
  if (mantissa_digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return false;
  }
  return at == text.size();
}

std::optional<double> expected_figure(const mosa_package::CycleSample& sample,
                                      std::string_view key) {
  for (const auto& entry : sample.step.metadata) {
    if (entry.name != key) continue;
    if (!plain_decimal(entry.value)) return std::nullopt;
    const double value = std::strtod(entry.value.c_str(), nullptr);
    if (!std::isfinite(value) || value < 0.0 || value > 0x1p64) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::optional<mosa_profile::WorkEstimate> expected_work(const mosa_package::CycleSample& sample) {
  const auto useful = expected_figure(sample, "usefulCycles");
  const auto physical = expected_figure(sample, "physicalWorkCycles");
  if (!useful || !physical || *physical < *useful) return std::nullopt;
  return mosa_profile::WorkEstimate{.useful = *useful, .physical = *physical};
}

bool same_bits(double left, double right) {
  return std::bit_cast<std::uint64_t>(left) == std::bit_cast<std::uint64_t>(right);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mosa_fuzz::ByteReader reader(std::span(data, size));
  mosa_package::CycleSample sample;
  sample.step.metadata.resize(reader.below(6));
  for (auto& entry : sample.step.metadata) {
    entry.name = reader.text(work_names);
    entry.value = reader.text(mosa_fuzz::metadata_values);
  }

  const auto work = mosa_profile::useful_work(sample);
  const auto expected = expected_work(sample);
  require(work.has_value() == expected.has_value(), "useful_work present exactly when expected");
  if (!work) return 0;
  require(std::isfinite(work->useful) && std::isfinite(work->physical), "figures finite");
  require(work->useful >= 0.0 && work->physical >= work->useful && work->physical <= 0x1p64,
          "0 <= useful <= physical <= 2^64");
  require(
      same_bits(work->useful, expected->useful) && same_bits(work->physical, expected->physical),
      "figures rounded to the nearest double");
  return 0;
}
