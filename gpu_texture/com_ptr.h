// A small owning holder for reference-counted platform interfaces (COM style:
// AddRef/Release on the object itself), so that no logic counts by hand.
#ifndef VELORA_GPU_TEXTURE_COM_PTR_H_
#define VELORA_GPU_TEXTURE_COM_PTR_H_

#include <cstddef>
#include <utility>

namespace velora {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Shares `object`: adds a reference of its own.
  explicit ComPtr(T* object) : object_(object) { AddRefIfAny(object_); }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ~ComPtr() { Reset(); }

  // New reference first, old one second: storing the object that is already
  // held can never drop it to zero in between.
  ComPtr& operator=(const ComPtr& other) {
    if (this != &other) {
      Assign(other.object_);
    }
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      ReleaseIfAny(old);
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference the caller already owns (a platform out-value).
  static ComPtr Adopt(T* owned) {
    ComPtr result;
    result.object_ = owned;
    return result;
  }

  // Releases the held reference and returns the count the object reported,
  // 0 when nothing was held. Tests read the count; logic ignores it.
  unsigned long Reset() {
    T* old = std::exchange(object_, nullptr);
    return ReleaseIfAny(old);
  }

  // Releases what is held and gives the slot to a platform call that writes
  // a new owned reference into it.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &object_;
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  void Assign(T* object) {
    if (object == object_) {
      return;
    }
    AddRefIfAny(object);
    T* old = std::exchange(object_, object);
    ReleaseIfAny(old);
  }
  static void AddRefIfAny(T* object) {
    if (object != nullptr) {
      object->AddRef();
    }
  }
  static unsigned long ReleaseIfAny(T* object) {
    return object != nullptr ? static_cast<unsigned long>(object->Release()) : 0;
  }

  T* object_ = nullptr;
};

template <typename T>
bool operator==(const ComPtr<T>& a, const ComPtr<T>& b) {
  return a.Get() == b.Get();
}
template <typename T>
bool operator!=(const ComPtr<T>& a, const ComPtr<T>& b) {
  return a.Get() != b.Get();
}

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_COM_PTR_H_
