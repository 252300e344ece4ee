// The runtime services every part of the program relies on: object references that
// raise the nil-object error when used while empty, the framework's exceptions, and
// the yield to the event loop.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace kolvane {

// Base of every exception the framework raises; catch-alls take these and anything else.
class RuntimeException : public std::runtime_error {
 public:
  explicit RuntimeException(const std::string& what) : std::runtime_error(what) {}
  virtual const char* ClassName() const noexcept { return "RuntimeException"; }
};

// Raised when code uses an object reference that holds none.
class NilObjectException : public RuntimeException {
 public:
  NilObjectException() : RuntimeException("NilObjectException") {}
  explicit NilObjectException(const std::string& what) : RuntimeException(what) {}
  const char* ClassName() const noexcept override { return "NilObjectException"; }
};

// Raised by file and stream operations that fail after they have started.
class IOException : public RuntimeException {
 public:
  explicit IOException(const std::string& what) : RuntimeException(what) {}
  const char* ClassName() const noexcept override { return "IOException"; }
};

// A counted reference to a framework object, or none. Using a none reference raises
// NilObjectException instead of crashing, so the callers' catch-alls take it.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}  // NOLINT: none converts implicitly, as in the framework
  Ref(std::shared_ptr<T> p) : p_(std::move(p)) {}  // NOLINT
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& other) : p_(other.Shared()) {}  // NOLINT

  T* operator->() const {
    if (!p_) throw NilObjectException();
    return p_.get();
  }
  T& operator*() const {
    if (!p_) throw NilObjectException();
    return *p_;
  }
  explicit operator bool() const noexcept { return static_cast<bool>(p_); }
  bool IsNone() const noexcept { return !p_; }
  T* get() const noexcept { return p_.get(); }
  const std::shared_ptr<T>& Shared() const noexcept { return p_; }

  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return !a.p_; }
  template <class U>
  friend bool operator==(const Ref& a, const Ref<U>& b) noexcept {
    return a.get() == b.get();
  }

 private:
  std::shared_ptr<T> p_;
};

template <class T, class... Args>
Ref<T> New(Args&&... args) {
  return Ref<T>(std::make_shared<T>(std::forward<Args>(args)...));
}

// Casts a reference to a derived class; none when the object is of another class.
template <class T, class U>
Ref<T> RefCast(const Ref<U>& r) {
  return Ref<T>(std::dynamic_pointer_cast<T>(r.Shared()));
}

// Lets pending events run, then returns. Does nothing before the event loop exists.
void RuntimeBackgroundTask();

}  // namespace kolvane
