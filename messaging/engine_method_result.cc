#include "messaging/engine_method_result.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "messaging/byte_buffer_stream_writer.h"
#include "messaging/diagnostic_line.h"

namespace flutter {

OneShotReply::OneShotReply(ReplyCallback callback) : callback_(std::move(callback)) {}

OneShotReply::~OneShotReply() {
  if (!answered_.load() && callback_) {
    WriteDiagnosticLine("Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void OneShotReply::SendBytes(const uint8_t* data, size_t size) {
  if (answered_.exchange(true) || !callback_) {
    WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  callback_(size > 0 ? data : nullptr, size);
  // Whatever the callback holds (the messenger reference) goes now.
  callback_ = nullptr;
}

namespace {

// Collects one envelope on the stack while it fits, which typical replies do,
// and in a vector beyond that; the bytes need to live only while they are
// sent (the messenger copies them).
class ReplyBytes : public ByteStreamWriter {
 public:
  ReplyBytes() = default;
  ~ReplyBytes() override = default;
  ReplyBytes(const ReplyBytes&) = delete;
  ReplyBytes& operator=(const ReplyBytes&) = delete;

  void WriteByte(uint8_t byte) override {
    if (!on_heap_ && size_ < kInlineSize) {
      *(inline_ + size_++) = byte;
      return;
    }
    MoveToHeap(1);
    heap_writer_.WriteByte(byte);
  }
  void WriteBytes(const uint8_t* source, size_t length) override {
    if (!on_heap_ && length <= kInlineSize - size_) {
      if (length > 0) {
        std::memcpy(inline_ + size_, source, length);
        size_ += length;
      }
      return;
    }
    MoveToHeap(length);
    heap_writer_.WriteBytes(source, length);
  }
  void PadToAlignment(size_t alignment) override {
    const size_t padding = (alignment - size() % alignment) % alignment;
    if (!on_heap_ && padding <= kInlineSize - size_) {
      std::memset(inline_ + size_, 0, padding);
      size_ += padding;
      return;
    }
    MoveToHeap(padding);
    heap_writer_.PadToAlignment(alignment);
  }
  void Reserve(size_t length) override {
    if (on_heap_ || length > kInlineSize - size_) {
      MoveToHeap(length);
    }
  }

  const uint8_t* data() const { return on_heap_ ? heap_.data() : inline_; }
  size_t size() const { return on_heap_ ? heap_.size() : size_; }

 private:
  static constexpr size_t kInlineSize = 256;

  // From here on the bytes live in the vector, with room for `length` more.
  void MoveToHeap(size_t length) {
    if (!on_heap_) {
      heap_.reserve(size_ + length);
      heap_.assign(inline_, inline_ + size_);
      on_heap_ = true;
    }
    heap_writer_.Reserve(length);
  }

  uint8_t inline_[kInlineSize] = {};
  size_t size_ = 0;  // used of inline_
  bool on_heap_ = false;
  std::vector<uint8_t> heap_;
  ByteBufferStreamWriter heap_writer_{&heap_};
};

}  // namespace

EngineMethodResult::EngineMethodResult(ReplyCallback reply,
                                       const MethodCodec<EncodableValue>* codec)
    : reply_(std::move(reply)), codec_(codec) {}

EngineMethodResult::~EngineMethodResult() = default;

// Each answer is encoded before the once-only test in SendBytes, so a
// duplicate is encoded and then thrown away.
void EngineMethodResult::OnSuccess(const EncodableValue* result) {
  ReplyBytes bytes;
  codec_->WriteSuccessReply(result, &bytes);
  reply_.SendBytes(bytes.data(), bytes.size());
}

void EngineMethodResult::OnError(const std::string& error_code,
                                 const std::string& error_message,
                                 const EncodableValue* error_details) {
  ReplyBytes bytes;
  codec_->WriteErrorReply(error_code, error_message, error_details, &bytes);
  reply_.SendBytes(bytes.data(), bytes.size());
}

void EngineMethodResult::OnNotImplemented() {
  reply_.SendBytes(nullptr, 0);
}

}  // namespace flutter
