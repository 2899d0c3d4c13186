// Reference-counted device, context and texture objects with the platform's
// counting rules, standing in for Direct3D 11 where it is absent. No pixels
// exist; each texture only remembers its description and shared handle.
#ifndef VELORA_GPU_TEXTURE_SOFTWARE_GPU_OBJECTS_H_
#define VELORA_GPU_TEXTURE_SOFTWARE_GPU_OBJECTS_H_

#include <atomic>

#include "gpu_texture/com_ptr.h"
#include "gpu_texture/texture_description.h"

namespace velora {

// Objects alive right now, over the whole process.
struct SoftwareObjectCounts {
  int devices = 0;
  int contexts = 0;
  int textures = 0;
};
SoftwareObjectCounts LiveSoftwareObjects();

// Common counting of the software objects: one reference at creation, gone
// at the last Release, which returns the remaining count as COM does.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): COM-like, the last Release deletes
class SoftwareObject {
 public:
  SoftwareObject(const SoftwareObject&) = delete;
  SoftwareObject& operator=(const SoftwareObject&) = delete;

  unsigned long AddRef();
  unsigned long Release();

 protected:
  SoftwareObject() = default;
  virtual ~SoftwareObject() = default;

 private:
  std::atomic<unsigned long> references_{1};
};

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor,cppcoreguidelines-special-member-functions): only Release ends it
class SoftwareDevice : public SoftwareObject {
 public:
  SoftwareDevice();

 private:
  ~SoftwareDevice() override;
};

// Keeps its device alive, as an immediate context does.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor,cppcoreguidelines-special-member-functions): only Release ends it
class SoftwareContext : public SoftwareObject {
 public:
  explicit SoftwareContext(SoftwareDevice* device);
  SoftwareDevice* device() const { return device_.Get(); }

 private:
  ~SoftwareContext() override;
  ComPtr<SoftwareDevice> device_;
};

// Keeps its device alive, as a device child does.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor,cppcoreguidelines-special-member-functions): only Release ends it
class SoftwareTexture : public SoftwareObject {
 public:
  SoftwareTexture(SoftwareDevice* device,
                  const TextureDescription& description,
                  SharedHandle handle);
  SoftwareDevice* device() const { return device_.Get(); }
  const TextureDescription& description() const { return description_; }
  SharedHandle shared_handle() const { return shared_handle_; }

 private:
  ~SoftwareTexture() override;
  ComPtr<SoftwareDevice> device_;
  TextureDescription description_;
  SharedHandle shared_handle_;
};

}  // namespace velora

#endif  // VELORA_GPU_TEXTURE_SOFTWARE_GPU_OBJECTS_H_
