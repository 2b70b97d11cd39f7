#pragma once
// TByteBuffer: the packet layer's growable byte buffers. Small buffers come
// from operator new like everything else; from 1 MiB on a buffer grows by
// reallocation, which the system can do without a copy (Linux remaps the
// pages), so a buffer near the packet limit never needs room for itself
// twice. Bytes past the old size are not cleared.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace mysql {

class TByteBuffer {
 public:
  TByteBuffer() = default;
  explicit TByteBuffer(std::size_t size) { Resize(size); }
  ~TByteBuffer() { Free(); }
  TByteBuffer(const TByteBuffer&) = delete;
  TByteBuffer& operator=(const TByteBuffer&) = delete;
  TByteBuffer(TByteBuffer&& other) noexcept { Swap(other); }
  TByteBuffer& operator=(TByteBuffer&& other) noexcept {
    Swap(other);
    return *this;
  }

  [[nodiscard]] std::uint8_t* data() { return data_; }
  [[nodiscard]] const std::uint8_t* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  std::uint8_t& operator[](std::size_t at) { return data_[at]; }
  std::uint8_t operator[](std::size_t at) const { return data_[at]; }

  // Keeps the first min(size, new size) bytes; throws std::bad_alloc when the
  // memory cannot be had (the buffer is then unchanged).
  void Resize(std::size_t size) {
    if (size == 0) {
      Free();
    } else if (size < kReallocated && !reallocated_) {
      auto* block = new std::uint8_t[size];
      if (size_ > 0) std::memcpy(block, data_, size_ < size ? size_ : size);
      delete[] data_;
      data_ = block;
    } else {
      ToReallocated();
      void* grown = std::realloc(data_, size);
      if (grown == nullptr) throw std::bad_alloc();
      data_ = static_cast<std::uint8_t*>(grown);
    }
    if (size != 0) size_ = size;
  }
  void Free() noexcept {
    if (reallocated_) {
      std::free(data_);
    } else {
      delete[] data_;
    }
    data_ = nullptr;
    size_ = 0;
    reallocated_ = false;
  }

 private:
  static constexpr std::size_t kReallocated = std::size_t{1} << 20;

  // Moves a small buffer to the allocator that can grow it in place.
  void ToReallocated() {
    if (reallocated_) return;
    void* block = std::malloc(size_ > 0 ? size_ : 1);
    if (block == nullptr) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(block, data_, size_);
    delete[] data_;
    data_ = static_cast<std::uint8_t*>(block);
    reallocated_ = true;
  }
  void Swap(TByteBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(reallocated_, other.reallocated_);
  }

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool reallocated_ = false;  // the block is malloc's, not new's
};

}  // namespace mysql
