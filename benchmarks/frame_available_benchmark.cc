// The exported frame-available path when it does not log, measured against
// an empty function called through the same kind of pointer, on one thread
// and on four at once. The registrar behind the plugin does nothing, so the
// difference is what the entry point itself costs: the guarded read of the
// plugin, the call count and the virtual call into the registrar.
//
// Two orderings of the callers' announcement are measured: with the kernel's
// process-wide barrier (Linux membarrier; the waiting teardown pays) and with
// the caller's own sequentially consistent store, which the Windows build
// uses. The second set runs last because the switch is one-way.
//
// After the run a table gives ns per call, allocations per call and the
// ratio to the baseline with the same number of threads.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "benchmark_report.h"
#include "gpu_texture/frame_available.h"
#include "gpu_texture/gpu_texture_plugin.h"
#include "gpu_texture/in_flight_calls.h"

namespace velora {
namespace {

using MarkFrame = void (*)(int64_t);

// The baseline: a call that does nothing (the opaque pointer keeps it a call).
void EmptyFrameCall(int64_t texture_id) {
  benchmark::DoNotOptimize(texture_id);
}

class NullMessenger : public flutter::BinaryMessenger {
 public:
  void Send(const std::string&, const uint8_t*, size_t, flutter::BinaryReply) const override {}
  void SetChannelHandler(const std::string&, flutter::ChannelHandler) override {}
};

class NullTextureRegistrar : public flutter::TextureRegistrar {
 public:
  int64_t RegisterTexture(flutter::TextureSource*) override { return 1; }
  bool MarkFrameAvailable(int64_t) override { return true; }
  bool UnregisterExternalTexture(int64_t) override { return true; }
  void UnregisterExternalTexture(int64_t, std::function<void()> callback) override {
    if (callback) {
      callback();
    }
  }
};

NullMessenger g_messenger;
NullTextureRegistrar g_registrar;
std::unique_ptr<GpuTexturePlugin> g_plugin;

// Keeps the call count below 120 (and above 10), so no call logs. Runs once
// per 64 calls in both cases, so the loops stay alike.
inline void StayOffTheLoggedCalls(uint64_t& calls) {
  if ((++calls & 63) == 0) {
    mark_frame_call_count.store(11, std::memory_order_relaxed);
  }
}

void RunCalls(benchmark::State& state, MarkFrame target, bool caller_side_ordering) {
  if (state.thread_index() == 0) {
    // Before any thread's loop: the loops start together behind a barrier.
    if (caller_side_ordering) {
      InFlightCalls::ForceCallerSideOrderingForTesting();
    }
    g_plugin = GpuTexturePlugin::Create(&g_messenger, &g_registrar);
    mark_frame_call_count.store(11);
  }
  // Opaque to the optimiser: both cases are indirect calls.
  MarkFrame call = target;
  benchmark::DoNotOptimize(call);
  OperationCounters counters(state);
  uint64_t calls = 0;
  for (auto _ : state) {
    call(7);
    StayOffTheLoggedCalls(calls);
  }
  counters.Finish();
  if (state.thread_index() == 0) {
    g_plugin.reset();  // after every thread's loop
  }
}

void BM_Baseline(benchmark::State& state) {
  RunCalls(state, &EmptyFrameCall, false);
}
void BM_MarkFrame(benchmark::State& state) {
  RunCalls(state, &gpu_texture_mark_frame_available, false);
}
void BM_BaselineCallerOrdered(benchmark::State& state) {
  RunCalls(state, &EmptyFrameCall, true);
}
void BM_MarkFrameCallerOrdered(benchmark::State& state) {
  RunCalls(state, &gpu_texture_mark_frame_available, true);
}

BENCHMARK(BM_Baseline)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_MarkFrame)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_BaselineCallerOrdered)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_MarkFrameCallerOrdered)->Threads(1)->Threads(4)->UseRealTime();

// After the usual console output, the table of ratios.
void PrintRatios(const TableReporter::Rows& rows, bool barrier_in_use) {
  std::printf(
      "\n| ordering | threads | ns/call (ours) | ns/call (empty call) | ours / empty | "
      "allocs/call |\n|---|---:|---:|---:|---:|---:|\n");
  const char* const kSets[][3] = {
      {"process-wide barrier", "BM_MarkFrame", "BM_Baseline"},
      {"caller's own store", "BM_MarkFrameCallerOrdered", "BM_BaselineCallerOrdered"}};
  for (const auto& set : kSets) {
    for (int threads : {1, 4}) {
      const std::string suffix = "/" + std::to_string(threads);
      auto ours = rows.find(set[1] + suffix);
      auto base = rows.find(set[2] + suffix);
      if (ours == rows.end() || base == rows.end()) {
        continue;
      }
      std::printf("| %s | %d | %.2f | %.2f | %.2f | %.1f |\n", set[0], threads, ours->second.ns,
                  base->second.ns, ours->second.ns / (base->second.ns > 0 ? base->second.ns : 1),
                  ours->second.allocations);
    }
  }
  std::printf("\nprocess-wide barrier in use: %s\n",
              barrier_in_use ? "yes" : "no (both sets order on the caller's side)");
}

}  // namespace
}  // namespace velora

int main(int argc, char** argv) {
  velora::InFlightCalls::PrepareOrdering();
  const bool barrier_in_use = velora::InFlightCalls::UsesProcessWideBarrier();
  velora::TableReporter reporter(
      velora::TableReporter::Clock::kReal,
      [](const benchmark::BenchmarkReporter::Run& run) {
        return run.run_name.function_name + "/" + std::to_string(run.threads);
      },
      [barrier_in_use](const velora::TableReporter::Rows& rows) {
        velora::PrintRatios(rows, barrier_in_use);
      });
  return velora::RunBenchmarks(argc, argv, reporter);
}
