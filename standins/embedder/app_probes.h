// What the app side measures and injects beyond channel traffic: the
// process's resource counts, and a renderer calling the host's export.
#ifndef VELORA_STANDINS_EMBEDDER_APP_PROBES_H_
#define VELORA_STANDINS_EMBEDDER_APP_PROBES_H_

#include <windows.h>

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

// Whether the test has opened the gate `name` (the named event
// Local\velora_gate_NAME is signalled).
bool GateIsOpen(const std::string& name);

// "zorder topmost=0|1 above-probe=0|1 foreground=host|probe|other": the
// host window's WS_EX_TOPMOST bit; whether it still lies above `probe` once
// the probe (made on first use: a plain top-level window of the app's own,
// which activates as it appears) is raised to the top without activation;
// and which window was in front before the step did anything.
std::string ZOrderLine(HWND host, HWND& probe);

// "execstate thread=0xXXXXXXXX system=0xXXXXXXXX|none": the calling thread's
// execution state (read by setting it and setting it back) and the system's
// (CallNtPowerInformation), "none" where the platform cannot say.
std::string ExecutionStateLine(const char* prefix);

}  // namespace velora::standin

#endif  // VELORA_STANDINS_EMBEDDER_APP_PROBES_H_
