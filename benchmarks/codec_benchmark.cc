// Encoding and decoding with the standard codecs, measured beside two
// baselines in the same process: memcpy of the same number of bytes (the
// physical limit for a payload) and msgpack-cxx packing and unpacking the same
// data as a dynamic object tree (what our values are, too).
//
// Each case is named "<case>/<direction>/<implementation>"; after the run a
// table gives ns per operation, bytes per second, heap allocations per
// operation and the ratios of ours to each baseline.

#include <benchmark/benchmark.h>
#include <msgpack.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "benchmark_report.h"
#include "messaging/byte_buffer_stream_reader.h"
#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "messaging/standard_codec_serializer.h"
#include "messaging/standard_method_codec.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

using velora::OperationCounters;

// --- The data of the four cases, as our values. ---

EncodableValue NativeVideoModeArguments() {
  return EncodableValue(EncodableValueMap{
      {EncodableValue("active"), EncodableValue(true)},
      {EncodableValue("topHeightPx"), EncodableValue(40)},
      {EncodableValue("barHeightPx"), EncodableValue(80)},
      {EncodableValue("rightPaddingPx"), EncodableValue(300)},
  });
}

EncodableValue TextureResult() {
  return EncodableValue(EncodableValueMap{
      {EncodableValue("textureId"), EncodableValue(int64_t{4096})},
      {EncodableValue("sharedHandle"), EncodableValue("3221225474")},
      {EncodableValue("width"), EncodableValue(1920)},
      {EncodableValue("height"), EncodableValue(1080)},
  });
}

EncodableValue ByteList() {
  std::vector<uint8_t> bytes(8 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 131);
  }
  return EncodableValue(std::move(bytes));
}

EncodableValue DoubleList() {
  std::vector<double> doubles(1000000);
  for (size_t i = 0; i < doubles.size(); ++i) {
    doubles[i] = static_cast<double>(i) * 0.25 - 1000.0;
  }
  return EncodableValue(std::move(doubles));
}

EncodableValue SmallMaps() {
  EncodableValueList list;
  list.reserve(1000);
  for (int i = 0; i < 1000; ++i) {
    list.push_back(EncodableValue(EncodableValueMap{
        {EncodableValue("id"), EncodableValue(i)},
        {EncodableValue("name"), EncodableValue("item " + std::to_string(i))},
        {EncodableValue("visible"), EncodableValue(i % 2 == 0)},
        {EncodableValue("x"), EncodableValue(i * 1.5)},
    }));
  }
  return EncodableValue(std::move(list));
}

// --- The same data for msgpack, packed directly and kept as an object tree. ---

Bytes PackCall() {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> packer(buffer);
  packer.pack_array(2);
  packer.pack(std::string("setNativeVideoMode"));
  packer.pack_map(4);
  packer.pack(std::string("active"));
  packer.pack(true);
  packer.pack(std::string("barHeightPx"));
  packer.pack(80);
  packer.pack(std::string("rightPaddingPx"));
  packer.pack(300);
  packer.pack(std::string("topHeightPx"));
  packer.pack(40);
  return Bytes(buffer.data(), buffer.data() + buffer.size());
}

Bytes PackSuccess() {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> packer(buffer);
  packer.pack_array(2);
  packer.pack(0);
  packer.pack_map(4);
  packer.pack(std::string("height"));
  packer.pack(1080);
  packer.pack(std::string("sharedHandle"));
  packer.pack(std::string("3221225474"));
  packer.pack(std::string("textureId"));
  packer.pack(int64_t{4096});
  packer.pack(std::string("width"));
  packer.pack(1920);
  return Bytes(buffer.data(), buffer.data() + buffer.size());
}

Bytes PackBytes() {
  msgpack::sbuffer buffer;
  msgpack::pack(buffer, std::get<std::vector<uint8_t>>(ByteList()));  // bin
  return Bytes(buffer.data(), buffer.data() + buffer.size());
}

Bytes PackDoubles() {
  msgpack::sbuffer buffer;
  msgpack::pack(buffer, std::get<std::vector<double>>(DoubleList()));  // array of float64
  return Bytes(buffer.data(), buffer.data() + buffer.size());
}

Bytes PackSmallMaps() {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> packer(buffer);
  packer.pack_array(1000);
  for (int i = 0; i < 1000; ++i) {
    packer.pack_map(4);
    packer.pack(std::string("id"));
    packer.pack(i);
    packer.pack(std::string("name"));
    packer.pack("item " + std::to_string(i));
    packer.pack(std::string("visible"));
    packer.pack(i % 2 == 0);
    packer.pack(std::string("x"));
    packer.pack(i * 1.5);
  }
  return Bytes(buffer.data(), buffer.data() + buffer.size());
}

msgpack::object_handle Unpack(const Bytes& bytes) {
  return msgpack::unpack(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// --- Baselines. ---

void MemcpyBaseline(benchmark::State& state, size_t size) {
  Bytes source(size, 0x5A);
  Bytes destination(size, 0);
  OperationCounters counters(state);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), size);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  counters.Finish(size);
}

void MsgpackPack(benchmark::State& state, const Bytes& packed) {
  msgpack::object_handle source = Unpack(packed);
  size_t size = 0;
  OperationCounters counters(state);
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, source.get());
    size = buffer.size();
    benchmark::DoNotOptimize(buffer.data());
  }
  counters.Finish(size);
}

void MsgpackUnpack(benchmark::State& state, const Bytes& packed) {
  OperationCounters counters(state);
  for (auto _ : state) {
    msgpack::object_handle handle = Unpack(packed);
    benchmark::DoNotOptimize(handle.get());
  }
  counters.Finish(packed.size());
}

// --- Ours. ---

class DiscardingResult : public MethodResult<EncodableValue> {
 protected:
  void OnSuccess(const EncodableValue* result) override { benchmark::DoNotOptimize(result); }
  void OnError(const std::string&, const std::string&, const EncodableValue* details) override {
    benchmark::DoNotOptimize(details);
  }
  void OnNotImplemented() override {}
};

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::ForSerializer();
}

Bytes EncodeValue(const EncodableValue& value) {
  Bytes bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::Shared().WriteValue(value, &writer);
  return bytes;
}

size_t CallSize() {
  MethodCall<EncodableValue> call("setNativeVideoMode",
                                  std::make_unique<EncodableValue>(NativeVideoModeArguments()));
  return Codec().EncodeCall(call)->size();
}

size_t SuccessSize() {
  EncodableValue result = TextureResult();
  return Codec().EncodeSuccessReply(&result)->size();
}

// (a) The "setNativeVideoMode" call.
void BM_Call_Encode_Ours(benchmark::State& state) {
  MethodCall<EncodableValue> call("setNativeVideoMode",
                                  std::make_unique<EncodableValue>(NativeVideoModeArguments()));
  size_t size = 0;
  OperationCounters counters(state);
  for (auto _ : state) {
    std::unique_ptr<std::vector<uint8_t>> bytes = Codec().EncodeCall(call);
    size = bytes->size();
    benchmark::DoNotOptimize(bytes->data());
  }
  counters.Finish(size);
}

// Read onto the stack, as the channel reads every incoming call (DecodeCall
// adds one allocation for a heap object).
void BM_Call_Decode_Ours(benchmark::State& state) {
  MethodCall<EncodableValue> call("setNativeVideoMode",
                                  std::make_unique<EncodableValue>(NativeVideoModeArguments()));
  Bytes bytes = *Codec().EncodeCall(call);
  OperationCounters counters(state);
  for (auto _ : state) {
    auto decoded = Codec().ReadCall(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(&decoded);
  }
  counters.Finish(bytes.size());
}

void BM_Call_Encode_Msgpack(benchmark::State& state) {
  MsgpackPack(state, PackCall());
}
void BM_Call_Decode_Msgpack(benchmark::State& state) {
  MsgpackUnpack(state, PackCall());
}
void BM_Call_Encode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, CallSize());
}
void BM_Call_Decode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, CallSize());
}

// (b) A success envelope of a map with four string keys.
void BM_Success_Encode_Ours(benchmark::State& state) {
  EncodableValue result = TextureResult();
  size_t size = 0;
  OperationCounters counters(state);
  for (auto _ : state) {
    std::unique_ptr<std::vector<uint8_t>> bytes = Codec().EncodeSuccessReply(&result);
    size = bytes->size();
    benchmark::DoNotOptimize(bytes->data());
  }
  counters.Finish(size);
}

void BM_Success_Decode_Ours(benchmark::State& state) {
  EncodableValue value = TextureResult();
  Bytes bytes = *Codec().EncodeSuccessReply(&value);
  DiscardingResult result;
  OperationCounters counters(state);
  for (auto _ : state) {
    bool delivered = Codec().DecodeReply(bytes.data(), bytes.size(), &result);
    benchmark::DoNotOptimize(delivered);
  }
  counters.Finish(bytes.size());
}

void BM_Success_Encode_Msgpack(benchmark::State& state) {
  MsgpackPack(state, PackSuccess());
}
void BM_Success_Decode_Msgpack(benchmark::State& state) {
  MsgpackUnpack(state, PackSuccess());
}
void BM_Success_Encode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, SuccessSize());
}
void BM_Success_Decode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, SuccessSize());
}

// (c) Large typed lists, written and read by the serializer.
void EncodeOurs(benchmark::State& state, const EncodableValue& value) {
  size_t size = 0;
  OperationCounters counters(state);
  for (auto _ : state) {
    Bytes bytes = EncodeValue(value);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  counters.Finish(size);
}

void DecodeOurs(benchmark::State& state, const EncodableValue& value) {
  Bytes bytes = EncodeValue(value);
  OperationCounters counters(state);
  for (auto _ : state) {
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue decoded = StandardCodecSerializer::Shared().ReadValue(&reader);
    benchmark::DoNotOptimize(&decoded);
  }
  counters.Finish(bytes.size());
}

void BM_Uint8List_Encode_Ours(benchmark::State& state) {
  EncodeOurs(state, ByteList());
}
void BM_Uint8List_Decode_Ours(benchmark::State& state) {
  DecodeOurs(state, ByteList());
}
void BM_Uint8List_Encode_Msgpack(benchmark::State& state) {
  MsgpackPack(state, PackBytes());
}
void BM_Uint8List_Decode_Msgpack(benchmark::State& state) {
  MsgpackUnpack(state, PackBytes());
}
void BM_Uint8List_Encode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(ByteList()).size());
}
void BM_Uint8List_Decode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(ByteList()).size());
}

void BM_DoubleList_Encode_Ours(benchmark::State& state) {
  EncodeOurs(state, DoubleList());
}
void BM_DoubleList_Decode_Ours(benchmark::State& state) {
  DecodeOurs(state, DoubleList());
}
void BM_DoubleList_Encode_Msgpack(benchmark::State& state) {
  MsgpackPack(state, PackDoubles());
}
void BM_DoubleList_Decode_Msgpack(benchmark::State& state) {
  MsgpackUnpack(state, PackDoubles());
}
void BM_DoubleList_Encode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(DoubleList()).size());
}
void BM_DoubleList_Decode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(DoubleList()).size());
}

// (d) A list of 1,000 small maps.
void BM_SmallMaps_Encode_Ours(benchmark::State& state) {
  EncodeOurs(state, SmallMaps());
}
void BM_SmallMaps_Decode_Ours(benchmark::State& state) {
  DecodeOurs(state, SmallMaps());
}
void BM_SmallMaps_Encode_Msgpack(benchmark::State& state) {
  MsgpackPack(state, PackSmallMaps());
}
void BM_SmallMaps_Decode_Msgpack(benchmark::State& state) {
  MsgpackUnpack(state, PackSmallMaps());
}
void BM_SmallMaps_Encode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(SmallMaps()).size());
}
void BM_SmallMaps_Decode_Memcpy(benchmark::State& state) {
  MemcpyBaseline(state, EncodeValue(SmallMaps()).size());
}

#define REGISTER_CASE(name)                                             \
  BENCHMARK(BM_##name##_Encode_Ours)->Name(#name "/encode/ours");       \
  BENCHMARK(BM_##name##_Encode_Memcpy)->Name(#name "/encode/memcpy");   \
  BENCHMARK(BM_##name##_Encode_Msgpack)->Name(#name "/encode/msgpack"); \
  BENCHMARK(BM_##name##_Decode_Ours)->Name(#name "/decode/ours");       \
  BENCHMARK(BM_##name##_Decode_Memcpy)->Name(#name "/decode/memcpy");   \
  BENCHMARK(BM_##name##_Decode_Msgpack)->Name(#name "/decode/msgpack")

REGISTER_CASE(Call);
REGISTER_CASE(Success);
REGISTER_CASE(Uint8List);
REGISTER_CASE(DoubleList);
REGISTER_CASE(SmallMaps);

// After the usual console output, one table with the ratios.
void PrintRatios(const velora::TableReporter::Rows& rows) {
  std::printf(
      "\n| case | ns/op (ours) | bytes/s (ours) | allocs/op (ours) | ns/op memcpy | "
      "ns/op msgpack | allocs/op msgpack | ours / memcpy bandwidth | ours / msgpack time |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const char* name : {"Call", "Success", "Uint8List", "DoubleList", "SmallMaps"}) {
    for (const char* direction : {"encode", "decode"}) {
      const std::string prefix = std::string(name) + "/" + direction + "/";
      const velora::TableReporter::Row ours = velora::RowOf(rows, prefix + "ours");
      const velora::TableReporter::Row memcpy_row = velora::RowOf(rows, prefix + "memcpy");
      const velora::TableReporter::Row msgpack_row = velora::RowOf(rows, prefix + "msgpack");
      std::printf("| %s %s | %.0f | %.3g | %.1f | %.0f | %.0f | %.1f | %.0f %% | %.2f |\n", name,
                  direction, ours.ns, ours.bytes_per_second, ours.allocations, memcpy_row.ns,
                  msgpack_row.ns, msgpack_row.allocations,
                  100.0 * memcpy_row.ns / (ours.ns > 0 ? ours.ns : 1),
                  ours.ns / (msgpack_row.ns > 0 ? msgpack_row.ns : 1));
    }
  }
}

}  // namespace
}  // namespace flutter

int main(int argc, char** argv) {
  // CPU time: these machines are shared, and the cases are single-threaded.
  velora::TableReporter reporter(
      velora::TableReporter::Clock::kCpu,
      [](const benchmark::BenchmarkReporter::Run& run) { return run.run_name.str(); },
      flutter::PrintRatios);
  return velora::RunBenchmarks(argc, argv, reporter);
}
