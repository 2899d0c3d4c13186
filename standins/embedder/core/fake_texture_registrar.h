// The texture registrar of the stand-in embedder: the three
// FlutterDesktopTextureRegistrar* functions of flutter_windows.h, plus a
// control API that plays the compositor.
//
// Contracts kept:
// - registration copies the texture info and returns ids 1, 2, 3... unless a
//   test forces the next id;
// - marking a frame succeeds for a registered id only, from any thread;
// - unregistration removes the texture at once and calls its completion
//   exactly once, later, on the registrar's own worker thread, and only after
//   every descriptor or pixel-buffer request for that id already in
//   progress has returned, also one on a texture that a later registration
//   under the same id replaced (so the completion may free every source
//   registered under the id);
// - with the compositor started, every marked frame of a GPU-surface texture
//   is followed by a descriptor request on the compositor's own thread
//   (marks that arrive while one is pending fold into it).
#ifndef VELORA_STANDINS_EMBEDDER_CORE_FAKE_TEXTURE_REGISTRAR_H_
#define VELORA_STANDINS_EMBEDDER_CORE_FAKE_TEXTURE_REGISTRAR_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "flutter_windows.h"
#include "standins/embedder/core/standin_export.h"

namespace velora::standin {

// A new registrar with its completion thread running.
VELORA_STANDIN_EXPORT FlutterDesktopTextureRegistrarRef NewTextureRegistrar();

// Runs the completions still pending, joins the completion thread and frees
// the registrar.
VELORA_STANDIN_EXPORT void DeleteTextureRegistrar(FlutterDesktopTextureRegistrarRef registrar);

// Makes the next registration return `id` instead of the next number. Zero
// or a negative id registers nothing (a refused registration); any other is
// stored under that id, replacing what was there.
VELORA_STANDIN_EXPORT void SetNextTextureId(FlutterDesktopTextureRegistrarRef registrar,
                                            int64_t id);

// The info the texture was registered with, or nullopt for an id that is not
// registered (now).
VELORA_STANDIN_EXPORT std::optional<FlutterDesktopTextureInfo> RegisteredTexture(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id);

// Successful frame markings of a registered texture; 0 for other ids.
VELORA_STANDIN_EXPORT uint64_t MarkedFrames(FlutterDesktopTextureRegistrarRef registrar,
                                            int64_t id);

// Asks for a frame the way the compositor does, on the calling thread: calls
// the registered GPU-surface (or pixel-buffer) callback with the size and
// returns what it returns; nullptr when the id is not registered or has the
// other texture type.
VELORA_STANDIN_EXPORT const FlutterDesktopGpuSurfaceDescriptor* RequestGpuSurface(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id,
    size_t width,
    size_t height);
VELORA_STANDIN_EXPORT const FlutterDesktopPixelBuffer* RequestPixelBuffer(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id,
    size_t width,
    size_t height);

// Blocks until every completion requested so far has run.
VELORA_STANDIN_EXPORT void WaitForCompletions(FlutterDesktopTextureRegistrarRef registrar);

// Starts the compositor thread, which asks for the descriptor of each
// GPU-surface texture after its frames are marked, as the engine does when
// it composes; it stops when the registrar is deleted. Sources registered
// while it runs must live until their unregistration completes.
VELORA_STANDIN_EXPORT void StartCompositor(FlutterDesktopTextureRegistrarRef registrar);

// Descriptor requests the compositor made for a texture, and a copy of the
// descriptor it got last (taken while the request was in progress; nullopt
// before the first, or when the callback gave none). For registered ids.
VELORA_STANDIN_EXPORT uint64_t ComposedFrames(FlutterDesktopTextureRegistrarRef registrar,
                                              int64_t id);
VELORA_STANDIN_EXPORT std::optional<FlutterDesktopGpuSurfaceDescriptor> LastComposedDescriptor(
    FlutterDesktopTextureRegistrarRef registrar,
    int64_t id);

// A hold for tests: the compositor's next request stops after the host's
// callback has returned and before the descriptor is read, until released.
VELORA_STANDIN_EXPORT void HoldCompositorAfterNextCallback(
    FlutterDesktopTextureRegistrarRef registrar);
VELORA_STANDIN_EXPORT void WaitUntilCompositorHeld(FlutterDesktopTextureRegistrarRef registrar);
VELORA_STANDIN_EXPORT void ReleaseCompositor(FlutterDesktopTextureRegistrarRef registrar);

// Waits until the completion thread can go no further (all run, or one
// waiting for requests in progress) and returns how many have not run.
VELORA_STANDIN_EXPORT size_t CompletionsNotRun(FlutterDesktopTextureRegistrarRef registrar);

// Blocks until every frame marked so far has been composed (or its texture
// has gone).
VELORA_STANDIN_EXPORT void WaitForCompositor(FlutterDesktopTextureRegistrarRef registrar);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_CORE_FAKE_TEXTURE_REGISTRAR_H_
