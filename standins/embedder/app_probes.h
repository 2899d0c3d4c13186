// What the app side measures and injects beyond channel traffic: the
// process's resource counts, and a renderer calling the host's export.
#ifndef VELORA_STANDINS_EMBEDDER_APP_PROBES_H_
#define VELORA_STANDINS_EMBEDDER_APP_PROBES_H_

#include <cstdint>
#include <string>

namespace velora::standin {

// "resources ws=BYTES private=BYTES handles=N gdi=N user=N windows=N
// [counted-by ...]": the working set, private bytes, kernel handles, GDI and
// USER objects as the system reports them, and the windows of this process
// (top-level and child) counted by enumeration. Where the system reports 0
// (Wine leaves these unimplemented) the count is taken another way, named
// after "counted-by".
std::string ResourcesLine();

// Calls the executable's exported gpu_texture_mark_frame_available `count`
// times with `id` on a thread of its own, as an outside renderer does, and
// waits for that thread. False when the export cannot be found.
bool MarkFramesFromRendererThread(int64_t id, uint32_t count);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_APP_PROBES_H_
