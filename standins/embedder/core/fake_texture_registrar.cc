#include "standins/embedder/core/fake_texture_registrar.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "standins/embedder/core/contract_violations.h"

struct FlutterDesktopTextureRegistrar {
  struct Texture {
    FlutterDesktopTextureInfo info = {};
    uint64_t frames = 0;
    // Requests calling into the host's callback right now; the completion of
    // an unregistration waits for them.
    int in_flight = 0;
    // Textures this one replaced under the same id: their requests still in
    // progress count until the id's unregistration completes.
    std::vector<std::shared_ptr<Texture>> replaced;
    // Compositor: whether a request is queued, how many were made, and what
    // the last one returned.
    bool compose_queued = false;
    uint64_t composed = 0;
    std::optional<FlutterDesktopGpuSurfaceDescriptor> last_composed;
  };
  struct Completion {
    std::shared_ptr<Texture> texture;  // null for an id that was not registered
    void (*callback)(void*) = nullptr;
    void* user_data = nullptr;

    // No request is calling into any texture registered under the id.
    bool Idle() const {
      if (!texture) {
        return true;
      }
      for (const std::shared_ptr<Texture>& old : texture->replaced) {
        if (old->in_flight != 0) {
          return false;
        }
      }
      return texture->in_flight == 0;
    }
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::map<int64_t, std::shared_ptr<Texture>> textures;
  int64_t next_id = 1;
  std::optional<int64_t> forced_id;
  std::deque<Completion> completions;
  bool completing = false;
  // The completion being run waits for requests still in progress.
  bool completion_waiting = false;
  bool stopping = false;
  std::thread worker;
  // Ids whose marked frames await the compositor, each once.
  std::deque<int64_t> to_compose;
  bool composing = false;
  std::thread compositor;
  // Test hold: the compositor stops once between a callback's return and its
  // read of the descriptor, as a descheduled engine thread would.
  bool hold_requested = false;
  bool held = false;

  void Compose() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stopping || !to_compose.empty(); });
      if (stopping) {
        return;
      }
      const int64_t id = to_compose.front();
      to_compose.pop_front();
      auto found = textures.find(id);
      if (found == textures.end() || !found->second->compose_queued) {
        changed.notify_all();  // gone (or replaced) since it was marked
        continue;
      }
      std::shared_ptr<Texture> texture = found->second;
      texture->compose_queued = false;
      ++texture->in_flight;
      composing = true;
      const FlutterDesktopGpuSurfaceTextureConfig config = texture->info.gpu_surface_config;
      const size_t width = texture->last_composed ? texture->last_composed->width : 0;
      const size_t height = texture->last_composed ? texture->last_composed->height : 0;
      lock.unlock();
      const FlutterDesktopGpuSurfaceDescriptor* descriptor =
          config.callback(width, height, config.user_data);
      lock.lock();
      if (hold_requested) {
        hold_requested = false;
        held = true;
        changed.notify_all();
        changed.wait(lock, [&] { return !held || stopping; });
      }
      lock.unlock();
      std::optional<FlutterDesktopGpuSurfaceDescriptor> copy;
      if (descriptor != nullptr) {
        copy = *descriptor;  // read while the request still counts as in progress
      }
      lock.lock();
      texture->last_composed = copy;
      ++texture->composed;
      --texture->in_flight;
      composing = false;
      changed.notify_all();
    }
  }

  void RunCompletions() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stopping || !completions.empty(); });
      if (completions.empty()) {
        return;  // stopping, and nothing left to complete
      }
      Completion next = std::move(completions.front());
      completions.pop_front();
      completing = true;
      completion_waiting = !next.Idle();
      changed.notify_all();
      changed.wait(lock, [&] { return next.Idle(); });
      completion_waiting = false;
      lock.unlock();
      next.callback(next.user_data);
      lock.lock();
      completing = false;
      changed.notify_all();
    }
  }
};

namespace velora::standin {

namespace {

using Texture = FlutterDesktopTextureRegistrar::Texture;

bool IsValidInfo(const FlutterDesktopTextureInfo& info) {
  switch (info.type) {
    case kFlutterDesktopPixelBufferTexture:
      return info.pixel_buffer_config.callback != nullptr;
    case kFlutterDesktopGpuSurfaceTexture:
      return info.gpu_surface_config.struct_size == sizeof(FlutterDesktopGpuSurfaceTextureConfig) &&
             info.gpu_surface_config.callback != nullptr;
  }
  return false;
}

// Marks the texture busy for the duration of `call`, which receives its
// info; returns what `call` returns, or nullptr for an unknown id.
template <typename Result, typename Call>
const Result* WithTexture(FlutterDesktopTextureRegistrarRef registrar,
                          int64_t id,
                          FlutterDesktopTextureType type,
                          Call call) {
  if (registrar == nullptr) {
    ReportContractViolation("request on a null texture registrar");
    return nullptr;
  }
  std::shared_ptr<Texture> texture;
  {
    std::lock_guard<std::mutex> lock(registrar->mutex);
    auto found = registrar->textures.find(id);
    if (found == registrar->textures.end() || found->second->info.type != type) {
      return nullptr;
    }
    texture = found->second;
    ++texture->in_flight;
  }
  const Result* result = call(texture->info);
  std::lock_guard<std::mutex> lock(registrar->mutex);
  --texture->in_flight;
  registrar->changed.notify_all();
  return result;
}

}  // namespace

FlutterDesktopTextureRegistrarRef NewTextureRegistrar() {
  auto* registrar = new FlutterDesktopTextureRegistrar();
  registrar->worker = std::thread([registrar] { registrar->RunCompletions(); });
  return registrar;
}

void DeleteTextureRegistrar(FlutterDesktopTextureRegistrarRef registrar) {
  if (registrar == nullptr) {
    return;
  }
  {
    std::lock_guard<std::mutex> lock(registrar->mutex);
    registrar->stopping = true;
    registrar->changed.notify_all();
  }
  if (registrar->compositor.joinable()) {
    registrar->compositor.join();
  }
  registrar->worker.join();
  delete registrar;
}

void SetNextTextureId(FlutterDesktopTextureRegistrarRef registrar, int64_t id) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  registrar->forced_id = id;
}

std::optional<FlutterDesktopTextureInfo> RegisteredTexture(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  auto found = registrar->textures.find(id);
  if (found == registrar->textures.end()) {
    return std::nullopt;
  }
  return found->second->info;
}

uint64_t MarkedFrames(FlutterDesktopTextureRegistrarRef registrar, int64_t id) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  auto found = registrar->textures.find(id);
  return found != registrar->textures.end() ? found->second->frames : 0;
}

const FlutterDesktopGpuSurfaceDescriptor* RequestGpuSurface(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id,
    size_t width,
    size_t height) {
  return WithTexture<FlutterDesktopGpuSurfaceDescriptor>(
      registrar, id, kFlutterDesktopGpuSurfaceTexture, [&](const FlutterDesktopTextureInfo& info) {
        return info.gpu_surface_config.callback(width, height, info.gpu_surface_config.user_data);
      });
}

const FlutterDesktopPixelBuffer* RequestPixelBuffer(FlutterDesktopTextureRegistrarRef registrar,
                                                    int64_t id,
                                                    size_t width,
                                                    size_t height) {
  return WithTexture<FlutterDesktopPixelBuffer>(
      registrar, id, kFlutterDesktopPixelBufferTexture, [&](const FlutterDesktopTextureInfo& info) {
        return info.pixel_buffer_config.callback(width, height, info.pixel_buffer_config.user_data);
      });
}

void WaitForCompletions(FlutterDesktopTextureRegistrarRef registrar) {
  std::unique_lock<std::mutex> lock(registrar->mutex);
  registrar->changed.wait(lock,
                          [&] { return registrar->completions.empty() && !registrar->completing; });
}

void StartCompositor(FlutterDesktopTextureRegistrarRef registrar) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  if (!registrar->compositor.joinable()) {
    registrar->compositor = std::thread([registrar] { registrar->Compose(); });
  }
}

uint64_t ComposedFrames(FlutterDesktopTextureRegistrarRef registrar, int64_t id) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  auto found = registrar->textures.find(id);
  return found != registrar->textures.end() ? found->second->composed : 0;
}

std::optional<FlutterDesktopGpuSurfaceDescriptor> LastComposedDescriptor(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  auto found = registrar->textures.find(id);
  return found != registrar->textures.end() ? found->second->last_composed : std::nullopt;
}

void HoldCompositorAfterNextCallback(FlutterDesktopTextureRegistrarRef registrar) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  registrar->hold_requested = true;
}

void WaitUntilCompositorHeld(FlutterDesktopTextureRegistrarRef registrar) {
  std::unique_lock<std::mutex> lock(registrar->mutex);
  registrar->changed.wait(lock, [&] { return registrar->held; });
}

void ReleaseCompositor(FlutterDesktopTextureRegistrarRef registrar) {
  std::lock_guard<std::mutex> lock(registrar->mutex);
  registrar->held = false;
  registrar->changed.notify_all();
}

size_t CompletionsNotRun(FlutterDesktopTextureRegistrarRef registrar) {
  std::unique_lock<std::mutex> lock(registrar->mutex);
  registrar->changed.wait(lock, [&] {
    return registrar->completion_waiting ||
           (registrar->completions.empty() && !registrar->completing);
  });
  return registrar->completions.size() + (registrar->completing ? 1 : 0);
}

void WaitForCompositor(FlutterDesktopTextureRegistrarRef registrar) {
  std::unique_lock<std::mutex> lock(registrar->mutex);
  registrar->changed.wait(lock,
                          [&] { return registrar->to_compose.empty() && !registrar->composing; });
}

}  // namespace velora::standin

using velora::standin::ReportContractViolation;

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar,
    const FlutterDesktopTextureInfo* info) {
  if (texture_registrar == nullptr || info == nullptr) {
    ReportContractViolation("registration without a registrar or texture info");
    return -1;
  }
  if (!velora::standin::IsValidInfo(*info)) {
    ReportContractViolation("registration with malformed texture info");
    return -1;
  }
  std::lock_guard<std::mutex> lock(texture_registrar->mutex);
  int64_t id = 0;
  if (texture_registrar->forced_id) {
    id = *texture_registrar->forced_id;
    texture_registrar->forced_id.reset();
    if (id <= 0) {  // a refused registration: 0 is the embedder's "no texture"
      return id;
    }
  } else {
    id = texture_registrar->next_id++;
  }
  auto texture = std::make_shared<velora::standin::Texture>();
  texture->info = *info;
  std::shared_ptr<velora::standin::Texture>& entry = texture_registrar->textures[id];
  if (entry) {
    // An id handed out again: what was registered under it may still be
    // inside a callback, which the id's unregistration must wait for.
    texture->replaced = std::move(entry->replaced);
    texture->replaced.push_back(std::move(entry));
  }
  entry = std::move(texture);
  return id;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar,
    int64_t texture_id,
    void (*callback)(void* user_data),
    void* user_data) {
  if (texture_registrar == nullptr) {
    ReportContractViolation("unregistration on a null texture registrar");
    return;
  }
  std::lock_guard<std::mutex> lock(texture_registrar->mutex);
  std::shared_ptr<velora::standin::Texture> texture;
  auto found = texture_registrar->textures.find(texture_id);
  if (found != texture_registrar->textures.end()) {
    texture = std::move(found->second);
    texture_registrar->textures.erase(found);
  }
  // Unknown ids complete too: the caller's completion is its only way to
  // free what it handed over.
  if (callback != nullptr) {
    texture_registrar->completions.push_back(
        FlutterDesktopTextureRegistrar::Completion{std::move(texture), callback, user_data});
    texture_registrar->changed.notify_all();
  }
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar,
    int64_t texture_id) {
  if (texture_registrar == nullptr) {
    ReportContractViolation("frame marked on a null texture registrar");
    return false;
  }
  std::lock_guard<std::mutex> lock(texture_registrar->mutex);
  auto found = texture_registrar->textures.find(texture_id);
  if (found == texture_registrar->textures.end()) {
    return false;
  }
  auto& texture = *found->second;
  ++texture.frames;
  if (texture_registrar->compositor.joinable() &&
      texture.info.type == kFlutterDesktopGpuSurfaceTexture && !texture.compose_queued) {
    texture.compose_queued = true;
    texture_registrar->to_compose.push_back(texture_id);
    texture_registrar->changed.notify_all();
  }
  return true;
}
