#pragma once

// Reads the fuzzer's bytes as a stream of small structured values, front to back. Past the end
// every read yields zero or the empty text, so any byte string decodes to some input and a
// mutation of one byte changes one decision.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mosa_fuzz {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool exhausted() const { return bytes_.empty(); }

  std::uint8_t byte() {
    if (bytes_.empty()) return 0;
    const std::uint8_t value = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return value;
  }

  // sizeof(T) bytes, little-endian.
  template <std::unsigned_integral T>
  T integer() {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{byte()} << (8 * i));
    return value;
  }

  // A value in [0, bound) from one byte; `bound` is between 1 and 256.
  std::uint32_t below(std::uint32_t bound) { return byte() % bound; }

  bool flag() { return (byte() & 1U) != 0; }

  // Up to `size` raw bytes as a text.
  std::string raw_text(std::size_t size) {
    const std::size_t taken = size < bytes_.size() ? size : bytes_.size();
    std::string text(reinterpret_cast<const char*>(bytes_.data()), taken);
    bytes_ = bytes_.subspan(taken);
    return text;
  }

  // One byte t: an even t picks the dictionary entry (t / 2) mod its size; an odd t reads a
  // free text whose length is the next byte (255: the next two bytes) followed by its bytes.
  std::string text(std::span<const std::string_view> dictionary) {
    const std::uint8_t choice = byte();
    if (choice % 2 == 0 && !dictionary.empty()) {
      return std::string(dictionary[(choice / 2U) % dictionary.size()]);
    }
    std::size_t size = byte();
    if (size == 255) size = integer<std::uint16_t>();
    return raw_text(size);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace mosa_fuzz
