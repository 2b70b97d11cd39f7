#pragma once
// Makes one chosen allocation of the test program fail with std::bad_alloc,
// so the code under test meets "out of memory" at every allocation it makes:
//
//   for (int n = 1;; ++n) {
//     FailAllocation failing(n);   // the n-th allocation from here throws
//     ... run the operation ...
//     if (!failing.Fired()) break; // the operation needs fewer than n
//   }

class FailAllocation {
 public:
  explicit FailAllocation(long nth);
  ~FailAllocation();
  FailAllocation(const FailAllocation&) = delete;
  FailAllocation& operator=(const FailAllocation&) = delete;

  [[nodiscard]] bool Fired() const;
};
