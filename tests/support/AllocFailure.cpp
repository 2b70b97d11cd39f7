// The program's global operator new and delete, on malloc and free, with a
// countdown that makes one allocation fail when armed.
#include "support/AllocFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> countdown{0};  // 0: disarmed
std::atomic<bool> fired{false};

void* Allocate(std::size_t size, bool nothrow) {
  long left = countdown.load();
  while (left > 0 && !countdown.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 1) {
    fired = true;
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr && !nothrow) throw std::bad_alloc();
  return block;
}

}  // namespace

FailAllocation::FailAllocation(long nth) {
  fired = false;
  countdown = nth;
}

FailAllocation::~FailAllocation() {
  countdown = 0;
}

bool FailAllocation::Fired() const {
  return fired;
}

void* operator new(std::size_t size) {
  return Allocate(size, false);
}
void* operator new[](std::size_t size) {
  return Allocate(size, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, true);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
