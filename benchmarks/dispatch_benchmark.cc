// One incoming window-channel call, "setVideoHostBounds" with the four
// int32 arguments "x", "y", "w" and "h", delivered through the stand-in
// messenger, dispatched by BinaryMessengerImpl and MethodCallChannel with the
// standard method codec to a handler that reads the four values and answers
// Success(true), and the reply sent back through the messenger.
//
// Cases, all in one process:
// - dispatch/full: the whole road, per call;
// - dispatch/embedder_only: the stand-in's own part of that road (copying the
//   message in, the response handle, the lock, the response) with a bare C
//   callback in place of the host; subtracted from the full case, it leaves
//   the host's share;
// - dispatch/decode_only and dispatch/encode_only: the codec's part, decoding
//   the same call and encoding the same reply;
// - dispatch/memcpy: copying the message bytes, the physical floor.
// After the run a table gives ns and heap allocations per call, the host's
// share split into decoding, dispatch and encoding, and the allocation budget
// (what the decoded call itself needs plus three).
//
// Instruction counts, which are stable on a busy machine: run one case under
// valgrind --tool=callgrind '--toggle-collect=velora::standin::DeliverToHost*'
// (or StandardMethodCodec::DecodeCall* / EncodeSuccessReply* for the codec
// cases) and divide the inclusive count by the number of calls.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "console_options.h"
#include "flutter_windows.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/core/fake_messenger.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kChannel[] = "velora/window";

Bytes SetVideoHostBoundsCall() {
  MethodCall<EncodableValue> call("setVideoHostBounds",
                                  std::make_unique<EncodableValue>(EncodableValueMap{
                                      {EncodableValue("x"), EncodableValue(int32_t{120})},
                                      {EncodableValue("y"), EncodableValue(int32_t{64})},
                                      {EncodableValue("w"), EncodableValue(int32_t{1280})},
                                      {EncodableValue("h"), EncodableValue(int32_t{720})},
                                  }));
  return *StandardMethodCodec::ForSerializer().EncodeCall(call);
}

int32_t ReadInt(const EncodableValueMap& map, const char* key) {
  const EncodableValue* value = FindValue(map, key);
  const int32_t* number = value != nullptr ? std::get_if<int32_t>(value) : nullptr;
  return number != nullptr ? *number : 0;
}

// Sets the per-call allocation counter that the summary table reads.
class AllocationsPerCall {
 public:
  explicit AllocationsPerCall(benchmark::State& state)
      : state_(state), at_start_(velora::AllocationCount()) {}
  ~AllocationsPerCall() {
    state_.counters["allocs/op"] =
        benchmark::Counter(static_cast<double>(velora::AllocationCount() - at_start_),
                           benchmark::Counter::kAvgIterations);
  }

 private:
  benchmark::State& state_;
  size_t at_start_;
};

void BM_Full(benchmark::State& state) {
  FlutterDesktopMessengerRef handle = velora::standin::NewMessenger();
  {
    BinaryMessengerImpl messenger(handle);
    MethodCallChannel channel(&messenger, kChannel, &StandardMethodCodec::ForSerializer());
    int32_t checksum = 0;
    channel.InstallCallHandler([&checksum](const MethodCall<EncodableValue>& call,
                                           std::unique_ptr<MethodResult<EncodableValue>> result) {
      const auto* arguments = std::get_if<EncodableValueMap>(call.Arguments());
      if (arguments != nullptr) {
        checksum += ReadInt(*arguments, "x") + ReadInt(*arguments, "y") + ReadInt(*arguments, "w") +
                    ReadInt(*arguments, "h");
      }
      result->Success(EncodableValue(true));
    });
    const Bytes message = SetVideoHostBoundsCall();
    size_t response_size = 0;
    const std::string channel_name = kChannel;
    {
      AllocationsPerCall allocations(state);
      for (auto _ : state) {
        velora::standin::DeliverToHost(
            handle, channel_name, message,
            [&response_size](Bytes response) { response_size += response.size(); });
      }
    }
    if (response_size != 2 * static_cast<size_t>(state.iterations()) || checksum == 0) {
      state.SkipWithError("the call was not answered with a success envelope");
    }
  }
  velora::standin::ShutDownMessenger(handle);
}

// What the host does with the embedder for one message, without the host.
void AnswerBare(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void*) {
  static const uint8_t kReply[] = {0x00, 0x01};
  FlutterDesktopMessengerRef reference = FlutterDesktopMessengerAddRef(messenger);
  FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(reference);
  if (FlutterDesktopMessengerIsAvailable(reference)) {
    FlutterDesktopMessengerSendResponse(reference, message->response_handle, kReply, sizeof kReply);
  }
  FlutterDesktopMessengerUnlock(locked);
  FlutterDesktopMessengerRelease(reference);
}

void BM_EmbedderOnly(benchmark::State& state) {
  FlutterDesktopMessengerRef handle = velora::standin::NewMessenger();
  FlutterDesktopMessengerSetCallback(handle, kChannel, AnswerBare, nullptr);
  const Bytes message = SetVideoHostBoundsCall();
  const std::string channel_name = kChannel;
  size_t response_size = 0;
  {
    AllocationsPerCall allocations(state);
    for (auto _ : state) {
      velora::standin::DeliverToHost(
          handle, channel_name, message,
          [&response_size](Bytes response) { response_size += response.size(); });
    }
  }
  benchmark::DoNotOptimize(response_size);
  velora::standin::ShutDownMessenger(handle);
}

void BM_DecodeOnly(benchmark::State& state) {
  const Bytes message = SetVideoHostBoundsCall();
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  AllocationsPerCall allocations(state);
  for (auto _ : state) {
    std::unique_ptr<MethodCall<EncodableValue>> call =
        codec.DecodeCall(message.data(), message.size());
    benchmark::DoNotOptimize(call.get());
  }
}

void BM_EncodeOnly(benchmark::State& state) {
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  const EncodableValue result(true);
  AllocationsPerCall allocations(state);
  for (auto _ : state) {
    std::unique_ptr<std::vector<uint8_t>> reply = codec.EncodeSuccessReply(&result);
    benchmark::DoNotOptimize(reply->data());
  }
}

void BM_Memcpy(benchmark::State& state) {
  const Bytes message = SetVideoHostBoundsCall();
  Bytes target(message.size());
  for (auto _ : state) {
    std::memcpy(target.data(), message.data(), message.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Full)->Name("dispatch/full");
BENCHMARK(BM_EmbedderOnly)->Name("dispatch/embedder_only");
BENCHMARK(BM_DecodeOnly)->Name("dispatch/decode_only");
BENCHMARK(BM_EncodeOnly)->Name("dispatch/encode_only");
BENCHMARK(BM_Memcpy)->Name("dispatch/memcpy");

// Prints the usual console output, then the table of shares.
class ShareReporter : public benchmark::ConsoleReporter {
 public:
  ShareReporter() : ConsoleReporter(velora::ConsoleOptions()) {}

  struct Row {
    double ns = 0;
    double allocations = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions the median stands for the case; otherwise the run.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) {
        continue;
      }
      Row row;
      row.ns = run.GetAdjustedRealTime();
      auto allocations = run.counters.find("allocs/op");
      row.allocations = allocations != run.counters.end() ? allocations->second.value : 0;
      rows_[run.run_name.function_name] = row;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const Row full = rows_["dispatch/full"];
    const Row embedder = rows_["dispatch/embedder_only"];
    const Row decode = rows_["dispatch/decode_only"];
    const Row encode = rows_["dispatch/encode_only"];
    const Row copy = rows_["dispatch/memcpy"];
    const double host_ns = full.ns - embedder.ns;
    const double host_allocations = full.allocations - embedder.allocations;
    const double dispatch_ns = host_ns - decode.ns - encode.ns;
    auto share = [host_ns](double ns) { return host_ns > 0 ? 100.0 * ns / host_ns : 0.0; };
    std::printf(
        "\n| per call | ns | allocations |\n|---|---:|---:|\n"
        "| full road (stand-in included) | %.0f | %.1f |\n"
        "| stand-in embedder alone | %.0f | %.1f |\n"
        "| host: messenger, channel, codec, handler | %.0f | %.1f |\n"
        "| - decoding the call | %.0f (%.0f %%) | %.1f |\n"
        "| - dispatch (closures, result, handler, reply) | %.0f (%.0f %%) | %.1f |\n"
        "| - encoding the reply | %.0f (%.0f %%) | %.1f |\n"
        "| memcpy of the message (%s bytes) | %.1f | 0 |\n"
        "\nallocation budget: decoded call %.1f + 3 = %.1f; host reaches %.1f\n",
        full.ns, full.allocations, embedder.ns, embedder.allocations, host_ns, host_allocations,
        decode.ns, share(decode.ns), decode.allocations, dispatch_ns, share(dispatch_ns),
        host_allocations - decode.allocations - encode.allocations, encode.ns, share(encode.ns),
        encode.allocations, std::to_string(SetVideoHostBoundsCall().size()).c_str(), copy.ns,
        decode.allocations, decode.allocations + 3, host_allocations);
    std::fflush(stdout);
  }

 private:
  std::map<std::string, Row> rows_;
};

}  // namespace
}  // namespace flutter

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  flutter::ShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
