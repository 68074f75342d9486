// Owners of the platform's handles. Each owns one handle and closes it when it goes, on
// every path; a Close that is asked for says whether closing worked (for a file that was
// written, a full disk may show only there), with the detail left where the platform
// leaves it (errno for the C library's streams). The calls that open
// handles stay at their call sites, flags and all; an owner only takes what they return.
#pragma once

#include <cstdio>
#include <utility>

template <typename Traits>
class COwnedHandle {
 public:
  using Handle = typename Traits::Handle;

  COwnedHandle() = default;
  explicit COwnedHandle(Handle handle) : m_handle(handle) {}
  ~COwnedHandle() { Close(); }
  COwnedHandle(const COwnedHandle&) = delete;
  COwnedHandle& operator=(const COwnedHandle&) = delete;
  COwnedHandle(COwnedHandle&& other) noexcept : m_handle(other.Detach()) {}
  COwnedHandle& operator=(COwnedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_handle = other.Detach();
    }
    return *this;
  }

  bool IsValid() const { return Traits::IsValid(m_handle); }
  Handle Get() const { return m_handle; }
  // Closes the handle now. True when there was one and closing it succeeded.
  bool Close() {
    if (!IsValid()) return false;
    return Traits::Close(std::exchange(m_handle, Traits::Invalid()));
  }
  // Gives the handle up without closing it.
  Handle Detach() { return std::exchange(m_handle, Traits::Invalid()); }

 private:
  Handle m_handle = Traits::Invalid();
};

struct CrtFileTraits {
  using Handle = FILE*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle f) { return f != nullptr; }
  static bool Close(Handle f) { return std::fclose(f) == 0; }
};

// A C library stream from fopen, closed by fclose.
using CCrtFile = COwnedHandle<CrtFileTraits>;
