// Memory for the name indexes: entries come and go with the scopes, in a handful of sizes.
#pragma once

#include <array>
#include <cstddef>
#include <memory_resource>

// Hands back what was given back, by size, before taking new room; new room comes in large
// pieces released together when the resource goes. A general pool resource does the same
// with far more bookkeeping per call, which the name indexes, touched for every declared
// and every closed name, pay on each one.
class CRecyclingResource : public std::pmr::memory_resource {
 public:
  CRecyclingResource() = default;
  CRecyclingResource(const CRecyclingResource&) = delete;
  CRecyclingResource& operator=(const CRecyclingResource&) = delete;

 private:
  static constexpr std::size_t kStep = alignof(std::max_align_t);
  static constexpr std::size_t kClasses = 16;  // sizes up to 16 steps are recycled

  struct Free {
    Free* next;
  };

  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    const std::size_t slot = SizeClass(bytes);
    if (slot >= kClasses || alignment > kStep) return upstream.allocate(bytes, alignment);
    if (Free* recycled = freed[slot]) {
      freed[slot] = recycled->next;
      return recycled;
    }
    return upstream.allocate((slot + 1) * kStep, kStep);
  }

  void do_deallocate(void* pointer, std::size_t bytes, std::size_t alignment) override {
    const std::size_t slot = SizeClass(bytes);
    // Larger pieces stay with the upstream until the end, as before.
    if (slot >= kClasses || alignment > kStep) return;
    freed[slot] = ::new (pointer) Free{freed[slot]};
  }

  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  static std::size_t SizeClass(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kStep; }

  std::pmr::monotonic_buffer_resource upstream;
  std::array<Free*, kClasses> freed{};
};
