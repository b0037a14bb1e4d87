// The arena of one build: the program model's nodes and texts, released together when it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

// Memory handed out from large blocks by moving a cursor. Nothing is freed one by one: the
// blocks go with the arena, and no destructor of an object made here ever runs. So only
// objects that hold no resources of their own (pointers into the arena, plain values) belong
// here; the Make overloads refuse the others at compile time where the type says so.
class CArena {
 public:
  CArena() = default;
  CArena(const CArena&) = delete;
  CArena& operator=(const CArena&) = delete;
  ~CArena();

  // Uninitialised memory for `size` bytes aligned to `alignment` (a power of two).
  void* Allocate(std::size_t size, std::size_t alignment) {
    std::size_t at = (cursor + alignment - 1) & ~(alignment - 1);
    if (at + size > limit) return AllocateSlow(size, alignment);
    cursor = at + size;
    return reinterpret_cast<void*>(at);
  }

  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    return ::new (Allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // A copy of the text, NUL-terminated (the terminator is not part of the view).
  std::string_view Text(const char* text, std::size_t length) {
    char* copy = static_cast<char*>(Allocate(length + 1, 1));
    if (length > 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::string_view(copy, length);
  }
  std::string_view Text(std::string_view text) { return Text(text.data(), text.size()); }

  // Bytes taken from the system so far (blocks, not what the objects use).
  std::size_t Reserved() const { return reserved; }

  // Whether `object` lies in memory this arena handed out (a walk over its blocks).
  bool Owns(const void* object) const;
  // Forgets everything made here at once, keeping the current block (already present in
  // memory) for what comes next. Only for an arena whose objects nothing refers to any more.
  void Reset();

 private:
  struct Block {
    Block* previous;
    std::size_t size;
  };
  void* AllocateSlow(std::size_t size, std::size_t alignment);
  // Moves `limit` past `end` (within the block), touching the memory up to it in one go.
  void Populate(std::uintptr_t end);

  std::uintptr_t cursor = 0;
  // The fast path's bound: the end of what the current block has made present so far.
  std::uintptr_t limit = 0;
  std::uintptr_t blockEnd = 0;
  Block* blocks = nullptr;
  std::size_t nextBlockSize = 64 * 1024;
  std::size_t reserved = 0;
};

// A growable array of plain items (pointers) that lives in an arena: what a node holds in
// order (a block's statements, a prototype's parameters, a rule's entries). Growing copies
// into a larger piece of the arena; the old piece stays unused until the build ends, which
// at most doubles what the array takes.
template <typename T>
class CArenaArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "arena arrays hold plain items only");

 public:
  void Add(CArena& arena, T item) {
    if (count == capacity) Grow(arena);
    items[count++] = item;
  }

  std::size_t size() const { return count; }
  bool empty() const { return count == 0; }
  T operator[](std::size_t index) const { return items[index]; }
  T back() const { return items[count - 1]; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }
  std::reverse_iterator<const T*> rbegin() const { return std::reverse_iterator<const T*>(end()); }
  std::reverse_iterator<const T*> rend() const { return std::reverse_iterator<const T*>(begin()); }

 private:
  void Grow(CArena& arena) {
    // Most arrays hold one or two items (a branch's block, a method's parameters).
    std::size_t grown = capacity == 0 ? 2 : capacity * 2;
    T* moved = static_cast<T*>(arena.Allocate(grown * sizeof(T), alignof(T)));
    if (count > 0) std::memcpy(static_cast<void*>(moved), items, count * sizeof(T));
    items = moved;
    capacity = static_cast<unsigned>(grown);
  }

  T* items = nullptr;
  unsigned count = 0;
  unsigned capacity = 0;
};
