#pragma once
// zlib for the compressed protocol: one inflater and one deflater per
// connection, reset for every block, so a block costs no new zlib state. A
// block deflated here is the same zlib stream that compress() makes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace mysql {

class TZlibInflater {
 public:
  TZlibInflater();
  ~TZlibInflater();
  TZlibInflater(const TZlibInflater&) = delete;
  TZlibInflater& operator=(const TZlibInflater&) = delete;

  // Inflates the zlib stream `in` into `out`: the bytes produced, or nothing
  // when `in` is not a complete stream that fits (or zlib's state could not
  // be allocated: then OutOfMemory()).
  [[nodiscard]] std::optional<std::size_t> Inflate(std::span<const std::uint8_t> in,
                                                   std::span<std::uint8_t> out);
  [[nodiscard]] bool OutOfMemory() const { return outOfMemory_; }

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  bool outOfMemory_ = false;
};

class TZlibDeflater {
 public:
  TZlibDeflater();
  ~TZlibDeflater();
  TZlibDeflater(const TZlibDeflater&) = delete;
  TZlibDeflater& operator=(const TZlibDeflater&) = delete;

  // Deflates `in` at the default level into `out`: the compressed length,
  // or 0 when it does not fit there (or zlib fails).
  [[nodiscard]] std::size_t Deflate(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace mysql
