// A stand-in for the outside video renderer: on a thread of its own it
// announces frames of a shared texture through the executable's exported
// gpu_texture_mark_frame_available, found by name as a renderer finds it.
#ifndef VELORA_STANDINS_RENDERER_RENDERER_H_
#define VELORA_STANDINS_RENDERER_RENDERER_H_

#include <cstdint>

namespace velora::standin {

using MarkFrameFunction = void (*)(int64_t texture_id);

// The executable's exported function (GetModuleHandle(nullptr) and
// GetProcAddress on Windows), or null when it exports none.
MarkFrameFunction FindMarkFrameFunction();

// Starts the renderer thread, which calls `mark` with `texture_id` `frames`
// times, `interval_ms` apart (0: back to back). False, starting nothing,
// when `mark` is null or a renderer is still there (stop it first).
bool StartRendererWith(MarkFrameFunction mark, int64_t texture_id, int frames, int interval_ms);

// The same with the function found in the executable.
bool StartRenderer(int64_t texture_id, int frames, int interval_ms);

// Waits until the renderer has made all its calls, and ends its thread.
// Returns the calls made (0 when none ran).
int WaitForRenderer();

// Ends the renderer early: no call starts after this returns. Returns the
// calls made.
int StopRenderer();

// The operating system's id of the last renderer thread (what the logs
// write as tid), 0 before the first.
unsigned long RendererThreadId();

}  // namespace velora::standin

#endif  // VELORA_STANDINS_RENDERER_RENDERER_H_
