// How these programs fail, everywhere.
// - Inside a program a failure is a value: a Failure, the Win32 error code or HRESULT and the
//   system's words for it, returned across every boundary (the platform services, the form,
//   the key deletion) in a Result, or as a Status where there is nothing else to return. Both
//   are [[nodiscard]]: with warnings as errors, a dropped one does not build.
// - Exceptions are only for what cannot return a value: a constructor, an allocation.
// - None crosses a C boundary: every window procedure, callback and COM method runs its body
//   through Guarded, which answers as Windows expects there (E_OUTOFMEMORY, FALSE, the default
//   window procedure) when something escapes it.
// Platform-free, so that the logic tested natively speaks the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace win32 {

struct Failure {
  std::uint32_t code = 0;  // a Win32 error code or an HRESULT
  std::wstring text;       // the system's words for it, or what failed
};

// No failure, or the one that stopped the work: true when there is one.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: a failure converts
  explicit operator bool() const { return failure_.has_value(); }
  const Failure& operator*() const { return *failure_; }
  const Failure* operator->() const { return &*failure_; }

 private:
  std::optional<Failure> failure_;
};

// A value, or the failure that stopped it from being made.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value converts, as a failure does
  Result(Failure failure) : failure_(std::move(failure)) {}
  explicit operator bool() const { return value_.has_value(); }
  T& operator*() { return *value_; }
  T* operator->() { return &*value_; }
  const Failure& failure() const { return failure_; }

 private:
  std::optional<T> value_;
  Failure failure_;
};

// Runs BODY at a C boundary; if anything escapes it, the answer is FALLBACK's, which throws
// nothing.
template <class Body, class Fallback>
auto Guarded(Body&& body, Fallback&& fallback) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return fallback();
  }
}

}  // namespace win32
