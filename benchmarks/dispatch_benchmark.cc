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
// - dispatch/decode_only and dispatch/encode_only: the codec's part, reading
//   the same call onto the stack and writing the same reply into memory that
//   is already there, as the channel does;
// - dispatch/memcpy: copying the message bytes, the physical floor.
// After the run a table gives ns and heap allocations per call, and the
// host's share split into decoding, dispatch and encoding.
//
// Instruction and allocation counts, which are stable on a busy machine, are
// taken from callgrind_driver by instruction_counts.sh against the budgets in
// budgets.txt.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "benchmark_report.h"
#include "flutter_windows.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/embedder/core/fake_messenger.h"
#include "window_call_road.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kChannel[] = "velora/window";

int32_t ReadInt(const EncodableValueMap& map, const char* key) {
  const EncodableValue* value = FindValue(map, key);
  const int32_t* number = value != nullptr ? std::get_if<int32_t>(value) : nullptr;
  return number != nullptr ? *number : 0;
}

using velora::OperationCounters;

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
    const Bytes message = velora::BoundsCallMessage();
    size_t response_size = 0;
    const std::string channel_name = kChannel;
    {
      OperationCounters counters(state);
      for (auto _ : state) {
        velora::standin::DeliverToHost(
            handle, channel_name, message,
            [&response_size](Bytes response) { response_size += response.size(); });
      }
      counters.Finish();
    }
    if (response_size != 2 * static_cast<size_t>(state.iterations()) || checksum == 0) {
      state.SkipWithError("the call was not answered with a success envelope");
    }
  }
  velora::standin::ShutDownMessenger(handle);
}

void BM_EmbedderOnly(benchmark::State& state) {
  FlutterDesktopMessengerRef handle = velora::standin::NewMessenger();
  FlutterDesktopMessengerSetCallback(handle, kChannel, velora::AnswerBare, nullptr);
  const Bytes message = velora::BoundsCallMessage();
  const std::string channel_name = kChannel;
  size_t response_size = 0;
  {
    OperationCounters counters(state);
    for (auto _ : state) {
      velora::standin::DeliverToHost(
          handle, channel_name, message,
          [&response_size](Bytes response) { response_size += response.size(); });
    }
    counters.Finish();
  }
  benchmark::DoNotOptimize(response_size);
  velora::standin::ShutDownMessenger(handle);
}

// Reading the call onto the stack, as the channel does.
void BM_DecodeOnly(benchmark::State& state) {
  const Bytes message = velora::BoundsCallMessage();
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  OperationCounters counters(state);
  for (auto _ : state) {
    std::optional<MethodCall<EncodableValue>> call = codec.ReadCall(message.data(), message.size());
    benchmark::DoNotOptimize(&call);
  }
  counters.Finish();
}

// Writing the reply into memory that is already there, as the channel's
// result does on its stack.
void BM_EncodeOnly(benchmark::State& state) {
  const StandardMethodCodec& codec = StandardMethodCodec::ForSerializer();
  const EncodableValue result(true);
  Bytes reply;
  reply.reserve(64);
  OperationCounters counters(state);
  for (auto _ : state) {
    reply.clear();
    ByteBufferStreamWriter writer(&reply);
    codec.WriteSuccessReply(&result, &writer);
    benchmark::DoNotOptimize(reply.data());
  }
  counters.Finish();
}

void BM_Memcpy(benchmark::State& state) {
  const Bytes message = velora::BoundsCallMessage();
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

// After the usual console output, the table of shares.
void PrintShares(const velora::TableReporter::Rows& rows) {
  const velora::TableReporter::Row full = velora::RowOf(rows, "dispatch/full");
  const velora::TableReporter::Row embedder = velora::RowOf(rows, "dispatch/embedder_only");
  const velora::TableReporter::Row decode = velora::RowOf(rows, "dispatch/decode_only");
  const velora::TableReporter::Row encode = velora::RowOf(rows, "dispatch/encode_only");
  const velora::TableReporter::Row copy = velora::RowOf(rows, "dispatch/memcpy");
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
      "| memcpy of the message (%s bytes) | %.1f | 0 |\n",
      full.ns, full.allocations, embedder.ns, embedder.allocations, host_ns, host_allocations,
      decode.ns, share(decode.ns), decode.allocations, dispatch_ns, share(dispatch_ns),
      host_allocations - decode.allocations - encode.allocations, encode.ns, share(encode.ns),
      encode.allocations, std::to_string(velora::BoundsCallMessage().size()).c_str(), copy.ns);
}

}  // namespace
}  // namespace flutter

int main(int argc, char** argv) {
  velora::TableReporter reporter(
      velora::TableReporter::Clock::kReal,
      [](const benchmark::BenchmarkReporter::Run& run) { return run.run_name.function_name; },
      flutter::PrintShares);
  return velora::RunBenchmarks(argc, argv, reporter);
}
