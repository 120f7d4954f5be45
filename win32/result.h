// How these programs fail, everywhere.
// - Inside a program a failure is a value: a Failure, an HRESULT (a Win32 error code converted
//   by its constructor) and the system's words for it, returned across every boundary (the
//   platform services, the form, the key deletion) in a Result, or as a Status where there is
//   nothing else to return. Both are [[nodiscard]]: with warnings as errors, a dropped one does
//   not build.
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

// A Win32 error code as the HRESULT that carries it; an HRESULT, whose failures have the top bit
// set, stays as it is.
constexpr std::uint32_t FromWin32(std::uint32_t code) {
  return code == 0 || (code & 0x80000000u) ? code : 0x80070000u | (code & 0xFFFFu);
}

// The number a code is known by: a Win32 error's own, any other HRESULT as it is.
constexpr std::uint32_t KnownNumber(std::uint32_t code) {
  return (code & 0xFFFF0000u) == 0x80070000u ? code & 0xFFFFu : code;
}

struct Failure {
  Failure() = default;
  Failure(std::uint32_t error, std::wstring words)
      : code(FromWin32(error)), text(std::move(words)) {}
  std::uint32_t code = 0;  // an HRESULT
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
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  const Failure& failure() const { return failure_; }
  // For a caller to whom a failure means only OTHER.
  T value_or(T other) const { return value_ ? *value_ : other; }

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
