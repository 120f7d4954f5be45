// A failure is a value: a Failure, in a Result or a Status. What the compiler holds every caller
// to, warnings being errors:
// - A Result or a Status cannot be dropped: both are [[nodiscard]].
// - A Failure's code is an HRESULT: its constructor converts a Win32 error code
//   (HRESULT_FROM_WIN32) and keeps an HRESULT as it is.
// - Guarded throws nothing (noexcept), and its fallback answers with the type its body does.
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
