// Intrusive reference counting for shared objects: the model's variables,
// value label maps and extension contents, which are copied on the first
// change by one of their holders, and the open files beneath the streams.
#pragma once

#include <atomic>
#include <utility>

#include "support/errors.h"

namespace vexa {

// Base of every shared model object: an intrusive reference count. A copy of
// the object starts with no references of its own.
class VEXA_RefCntObject {
 public:
  VEXA_RefCntObject() = default;
  VEXA_RefCntObject(const VEXA_RefCntObject&) : refs_(0) {}
  VEXA_RefCntObject& operator=(const VEXA_RefCntObject&) { return *this; }
  virtual ~VEXA_RefCntObject() = default;

  void AddRef() const { refs_.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; returns true when it was the last one.
  bool DropRef() const {
    return refs_.fetch_sub(1, std::memory_order_acq_rel) == 1;
  }
  bool IsShared() const { return refs_.load(std::memory_order_acquire) > 1; }

 private:
  mutable std::atomic<int> refs_{0};
};

// A counted reference to T (a VEXA_RefCntObject). Mutable() is the
// copy-on-write step: it first gives this holder a private copy when the
// object is shared.
template <class T>
class RefPtr {
 public:
  RefPtr() = default;
  explicit RefPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  RefPtr(const RefPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  RefPtr(RefPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  RefPtr& operator=(RefPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~RefPtr() { Reset(); }

  template <class... Args>
  static RefPtr Make(Args&&... args) {
    return RefPtr(new T(std::forward<Args>(args)...));
  }

  void Reset() {
    if (p_ && p_->DropRef()) delete p_;
    p_ = nullptr;
  }
  bool IsValid() const { return p_ != nullptr; }
  explicit operator bool() const { return p_ != nullptr; }
  const T* get() const { return p_; }
  const T& operator*() const { return *p_; }
  const T* operator->() const { return p_; }

  // The object, made private to this holder first when it is shared.
  T* Mutable() {
    VEXA_ASSERT(p_ != nullptr);
    if (p_->IsShared()) *this = RefPtr(new T(*p_));
    return p_;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace vexa
