#include "mysql/uMysqlZlib.h"

#include <zlib.h>

#include <climits>
#include <new>

namespace mysql {

namespace {

uInt Bounded(std::size_t length) {
  return length > UINT_MAX ? UINT_MAX : static_cast<uInt>(length);
}

}  // namespace

struct TZlibInflater::TState {
  z_stream Stream{};
  ~TState() { inflateEnd(&Stream); }
};

TZlibInflater::TZlibInflater() = default;
TZlibInflater::~TZlibInflater() = default;

std::optional<std::size_t> TZlibInflater::Inflate(std::span<const std::uint8_t> in,
                                                  std::span<std::uint8_t> out) {
  outOfMemory_ = false;
  if (!state_) {
    auto state = std::unique_ptr<TState>(new (std::nothrow) TState);
    if (!state || inflateInit(&state->Stream) != Z_OK) {
      // inflateEnd of a stream that never started is harmless.
      outOfMemory_ = true;
      return std::nullopt;
    }
    state_ = std::move(state);
  } else if (inflateReset(&state_->Stream) != Z_OK) {
    return std::nullopt;
  }
  z_stream& stream = state_->Stream;
  stream.next_in = const_cast<Bytef*>(in.data());
  stream.avail_in = Bounded(in.size());
  stream.next_out = out.data();
  stream.avail_out = Bounded(out.size());
  const int result = inflate(&stream, Z_FINISH);
  if (result == Z_MEM_ERROR) outOfMemory_ = true;
  if (result != Z_STREAM_END) return std::nullopt;
  return static_cast<std::size_t>(stream.total_out);
}

struct TZlibDeflater::TState {
  z_stream Stream{};
  ~TState() { deflateEnd(&Stream); }
};

TZlibDeflater::TZlibDeflater() = default;
TZlibDeflater::~TZlibDeflater() = default;

std::size_t TZlibDeflater::Deflate(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (!state_) {
    auto state = std::unique_ptr<TState>(new (std::nothrow) TState);
    if (!state || deflateInit(&state->Stream, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
    state_ = std::move(state);
  } else if (deflateReset(&state_->Stream) != Z_OK) {
    return 0;
  }
  z_stream& stream = state_->Stream;
  stream.next_in = const_cast<Bytef*>(in.data());
  stream.avail_in = Bounded(in.size());
  stream.next_out = out.data();
  stream.avail_out = Bounded(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) return 0;
  return static_cast<std::size_t>(stream.total_out);
}

}  // namespace mysql
