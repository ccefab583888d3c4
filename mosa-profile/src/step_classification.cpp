#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include <mosa_profile/step_classification.hpp>

namespace mosa_profile {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the run of decimal digits at the front of `text`.
std::size_t digit_run(std::string_view text) {
  return static_cast<std::size_t>(std::find_if_not(text.begin(), text.end(), is_digit) -
                                  text.begin());
}

// The parts of a plain decimal number: digits, an optional point with more digits, and an
// optional exponent. The sign is not part of it.
struct DecimalText {
  std::string_view integer;
  std::string_view fraction;
  bool exponent_negative = false;
  std::string_view exponent;
};

// Splits `text` by the grammar digits [ "." digits* ] | "." digits, then [ (e|E) [+|-] digits ],
// with nothing after it; absent for any other text.
std::optional<DecimalText> split_decimal(std::string_view text) {
  DecimalText parts;
  parts.integer = text.substr(0, digit_run(text));
  text.remove_prefix(parts.integer.size());
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
    parts.fraction = text.substr(0, digit_run(text));
    text.remove_prefix(parts.fraction.size());
  }
  if (parts.integer.empty() && parts.fraction.empty()) return std::nullopt;
  if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
      parts.exponent_negative = text.front() == '-';
      text.remove_prefix(1);
    }
    parts.exponent = text.substr(0, digit_run(text));
    text.remove_prefix(parts.exponent.size());
    if (parts.exponent.empty()) return std::nullopt;
  }
  if (!text.empty()) return std::nullopt;
  return parts;
}

// Whether a non-zero number whose conversion left the double range lies above it (overflow) rather
// than below it (underflow): the power of ten of its leading digit is positive. The out-of-range
// magnitudes are near 10^308 and 10^-324, so the sign of that power decides. The written exponent
// saturates far beyond the length of any text, so that no run of leading or trailing digits can
// bring a saturated exponent back across zero.
bool beyond_double_range(const DecimalText& parts) {
  constexpr std::int64_t cap = std::numeric_limits<std::int64_t>::max() / 4;
  std::int64_t exponent = 0;
  for (const char c : parts.exponent) {
    exponent = exponent > (cap - 9) / 10 ? cap : exponent * 10 + (c - '0');
  }
  if (parts.exponent_negative) exponent = -exponent;

  const std::size_t leading_integer = parts.integer.find_first_not_of('0');
  if (leading_integer != std::string_view::npos) {
    return exponent + static_cast<std::int64_t>(parts.integer.size() - leading_integer) > 0;
  }
  const std::size_t leading_fraction = parts.fraction.find_first_not_of('0');
  if (leading_fraction == std::string_view::npos) return false;
  return exponent - static_cast<std::int64_t>(leading_fraction) > 0;
}

// Work figures are mostly plain integers. Up to 15 digits they are below 2^53, where a double
// holds every integer exactly, so summing the digits gives the correctly rounded value directly.
bool is_small_integer(std::string_view text) {
  return !text.empty() && text.size() <= 15 && digit_run(text) == text.size();
}

double small_integer_value(std::string_view digits) {
  std::uint64_t value = 0;
  for (const char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return static_cast<double>(value);
}

// The value of a plain decimal text with an optional sign, rounded to the nearest double; infinite
// beyond the double range, zero of the same sign below it. Absent for any other text, including
// the words inf, infinity and nan, which never give a usable work figure.
std::optional<double> parse_decimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view unsigned_text =
      !text.empty() && (text.front() == '+' || text.front() == '-') ? text.substr(1) : text;
  if (is_small_integer(unsigned_text)) {
    const double value = small_integer_value(unsigned_text);
    return negative ? -value : value;
  }
  const std::optional<DecimalText> parts = split_decimal(unsigned_text);
  if (!parts) return std::nullopt;

  double value = 0.0;
  const auto [end, error] =
      std::from_chars(unsigned_text.data(), unsigned_text.data() + unsigned_text.size(), value);
  if (error == std::errc::result_out_of_range) {
    value = beyond_double_range(*parts) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc{} || end != unsigned_text.data() + unsigned_text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

// The largest usable work figure, 2^64 cycles: more than any cycle count of the time line holds.
// With it, the sums of the figures of fewer than 2^32 samples stay far below the double range, so
// the utilisation figures built from them stay finite.
constexpr double largest_work_figure = 0x1p64;

// The text of the first entry named `key`; null when there is none.
const std::string* first_value(const mosa_package::CycleSample& sample, std::string_view key) {
  for (const auto& entry : sample.step.metadata) {
    if (entry.name == key) return &entry.value;
  }
  return nullptr;
}

// The value of a work figure's text, when it is a number from 0 to 2^64.
std::optional<double> work_figure(std::string_view text) {
  const std::optional<double> value = parse_decimal(text);
  // -0.0 compares equal to 0.0 and is kept; NaN fails both comparisons.
  if (!value || !(*value >= 0.0 && *value <= largest_work_figure)) return std::nullopt;
  return value;
}

}  // namespace

StepKind kind_of(const mosa_package::CycleSample& sample) noexcept {
  switch (sample.step.kind) {
    case mosa_package::ProfileStepKind::Exchange:
      return StepKind::Exchange;
    case mosa_package::ProfileStepKind::Compute:
      return StepKind::Compute;
    case mosa_package::ProfileStepKind::Synchronization:
      return StepKind::Synchronization;
    case mosa_package::ProfileStepKind::Idle:
      return StepKind::Idle;
  }
  // Only a value cast from outside the four members reaches here; it reads as idle.
  return StepKind::Idle;
}

std::string_view kind_name(const mosa_package::CycleSample& sample) noexcept {
  switch (kind_of(sample)) {
    case StepKind::Exchange:
      return "exchange";
    case StepKind::Compute:
      return "compute";
    case StepKind::Synchronization:
      return "synchronization";
    case StepKind::Idle:
      return "idle";
  }
  return "idle";
}

std::optional<WorkEstimate> useful_work(const mosa_package::CycleSample& sample) noexcept {
  // Most steps carry no estimate: finding both entries first keeps that path free of parsing.
  const std::string* useful_text = first_value(sample, "usefulCycles");
  if (useful_text == nullptr) return std::nullopt;
  const std::string* physical_text = first_value(sample, "physicalWorkCycles");
  if (physical_text == nullptr) return std::nullopt;
  const std::optional<double> useful = work_figure(*useful_text);
  if (!useful) return std::nullopt;
  const std::optional<double> physical = work_figure(*physical_text);
  if (!physical || *physical < *useful) return std::nullopt;
  return WorkEstimate{.useful = *useful, .physical = *physical};
}

}  // namespace mosa_profile
