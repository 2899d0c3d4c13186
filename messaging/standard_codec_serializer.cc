#include "messaging/standard_codec_serializer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "messaging/diagnostic_line.h"

namespace flutter {

namespace {

enum Tag : uint8_t {
  kTagNull = 0,
  kTagTrue = 1,
  kTagFalse = 2,
  kTagInt32 = 3,
  kTagInt64 = 4,
  kTagLargeInt = 5,
  kTagDouble = 6,
  kTagString = 7,
  kTagUint8List = 8,
  kTagInt32List = 9,
  kTagInt64List = 10,
  kTagDoubleList = 11,
  kTagList = 12,
  kTagMap = 13,
  kTagFloatList = 14,
};

// Lists and maps reserve their announced size up front while the message
// read so far can hold all the announced elements together (each element
// takes at least a byte, each entry two): a well-formed message always can,
// so its lists and maps are allocated once. Beyond that they reserve at most
// this many and grow as elements actually arrive, so that nested lists that
// each announce "as many as the message has bytes" cannot multiply the
// reservation.
constexpr size_t kMaxReservedElements = 256;

// Keeps the bodies of leaf and cold paths out of the recursive reading frames,
// so that each level of nesting costs as little stack as possible.
// A hint only: a compiler that knows neither spelling builds the same code.
#if defined(_MSC_VER)
#define MESSAGING_NOINLINE __declspec(noinline)
#elif defined(__GNUC__) || defined(__clang__)
#define MESSAGING_NOINLINE __attribute__((noinline))
#else
#define MESSAGING_NOINLINE
#endif

#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndianHost = true;
#else
constexpr bool kBigEndianHost = false;
#endif

template <typename T>
T LoadLittleEndian(const uint8_t* bytes) {
  T value;
  if constexpr (kBigEndianHost) {
    uint8_t swapped[sizeof(T)];
    std::reverse_copy(bytes, bytes + sizeof(T), swapped);
    std::memcpy(&value, swapped, sizeof(T));
  } else {
    std::memcpy(&value, bytes, sizeof(T));
  }
  return value;
}

template <typename T>
void StoreLittleEndian(T value, uint8_t* bytes) {
  std::memcpy(bytes, &value, sizeof(T));
  if constexpr (kBigEndianHost) {
    std::reverse(bytes, bytes + sizeof(T));
  }
}

// Walks a little-endian array lying at any memory alignment inside the
// message. Random access lets std::vector size its storage once and fill it
// in one pass, where constructing n elements first would zero them and then
// copy over the zeros.
template <typename T>
class ElementIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  explicit ElementIterator(const uint8_t* bytes) : bytes_(bytes) {}

  T operator*() const { return LoadLittleEndian<T>(bytes_); }
  T operator[](difference_type n) const { return LoadLittleEndian<T>(bytes_ + n * kSize); }

  ElementIterator& operator++() {
    bytes_ += kSize;
    return *this;
  }
  ElementIterator operator++(int) {
    ElementIterator old = *this;
    bytes_ += kSize;
    return old;
  }
  ElementIterator& operator--() {
    bytes_ -= kSize;
    return *this;
  }
  ElementIterator operator--(int) {
    ElementIterator old = *this;
    bytes_ -= kSize;
    return old;
  }
  ElementIterator& operator+=(difference_type n) {
    bytes_ += n * kSize;
    return *this;
  }
  ElementIterator& operator-=(difference_type n) {
    bytes_ -= n * kSize;
    return *this;
  }
  friend ElementIterator operator+(ElementIterator it, difference_type n) { return it += n; }
  friend ElementIterator operator+(difference_type n, ElementIterator it) { return it += n; }
  friend ElementIterator operator-(ElementIterator it, difference_type n) { return it -= n; }
  friend difference_type operator-(ElementIterator a, ElementIterator b) {
    return (a.bytes_ - b.bytes_) / kSize;
  }
  friend bool operator==(ElementIterator a, ElementIterator b) { return a.bytes_ == b.bytes_; }
  friend bool operator!=(ElementIterator a, ElementIterator b) { return a.bytes_ != b.bytes_; }
  friend bool operator<(ElementIterator a, ElementIterator b) { return a.bytes_ < b.bytes_; }
  friend bool operator>(ElementIterator a, ElementIterator b) { return a.bytes_ > b.bytes_; }
  friend bool operator<=(ElementIterator a, ElementIterator b) { return a.bytes_ <= b.bytes_; }
  friend bool operator>=(ElementIterator a, ElementIterator b) { return a.bytes_ >= b.bytes_; }

 private:
  static constexpr difference_type kSize = static_cast<difference_type>(sizeof(T));
  const uint8_t* bytes_;
};

// Depth of the value being read on this thread, and the bytes of its
// message not yet promised to a reservation (see kMaxReservedElements). The
// serializer itself is stateless and shared, so neither can live in it.
thread_local int t_nesting_depth = 0;
thread_local size_t t_reservable_bytes = 0;

class NestingLevel {
 public:
  explicit NestingLevel(const ByteStreamReader* stream) {
    if (t_nesting_depth++ == 0) {
      t_reservable_bytes = stream->BytesRemaining();
    }
  }
  ~NestingLevel() {
    if (--t_nesting_depth == 0) {
      t_reservable_bytes = 0;
    }
  }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
};

// How many of `count` elements, each taking at least `min_bytes` of the
// message, to reserve before reading them. The caller has checked that the
// rest of the message can hold them.
size_t Reservation(size_t count, size_t min_bytes) {
  const size_t bytes = count * min_bytes;
  if (bytes <= t_reservable_bytes) {
    t_reservable_bytes -= bytes;
    return count;
  }
  return std::min(count, kMaxReservedElements);
}

// A short read gives 0.
template <typename T>
T ReadScalar(ByteStreamReader* stream) {
  if (const uint8_t* bytes = stream->ReadInPlace(sizeof(T))) {
    return LoadLittleEndian<T>(bytes);
  }
  ByteStreamReader::ReportInvalidRead();
  return T();
}

template <typename T>
void WriteScalar(T value, ByteStreamWriter* stream) {
  uint8_t bytes[sizeof(T)];
  StoreLittleEndian(value, bytes);
  stream->WriteBytes(bytes, sizeof(T));
}

// Consumes everything that is left: what follows a value that does not fit
// in the message belongs to that value.
MESSAGING_NOINLINE void SkipRest(ByteStreamReader* stream) {
  (void)stream->ReadInPlace(stream->BytesRemaining());  // passed over, not read
}

// A too-deep value is stepped over by reading it through the serializer's
// own ReadValueOfType, so that a derived serializer's tags keep their meaning,
// and discarding the result. Only the base lists and maps would recurse; the
// skip counts their elements instead. A custom value whose body reads nested
// values comes back through ReadValue into a skip of its own, so the stack
// grows only with custom values inside custom values, and that is bounded too.
struct SkipFrame {
  const ByteStreamReader* stream = nullptr;
  // Values of the skipped value still to be consumed, itself included.
  uint64_t pending = 0;
  // The tag just read and what was left right after it: a list or map tag
  // that reaches the base class in exactly this state is the skipped value's
  // own, whether the derived class passed it on or read it the same way.
  uint8_t type = 0;
  size_t remaining_after_tag = 0;
  bool armed = false;
};

thread_local SkipFrame* t_skip = nullptr;
thread_local int t_skip_nesting = 0;
// Skips inside skips, one per custom value nested in a skipped custom value;
// small, so that the stack stays close to what kMaxNestingDepth promises.
constexpr int kMaxSkipNesting = 16;

// Makes `frame` the current skip for its lifetime and then restores the outer
// one, also when a derived serializer's read leaves by an exception: the next
// decode on this thread must not find a frame that is gone.
class SkipScope {
 public:
  explicit SkipScope(SkipFrame* frame) : outer_(t_skip) {
    t_skip = frame;
    ++t_skip_nesting;
  }
  ~SkipScope() {
    --t_skip_nesting;
    t_skip = outer_;
  }
  SkipScope(const SkipScope&) = delete;
  SkipScope& operator=(const SkipScope&) = delete;

 private:
  SkipFrame* outer_;
};

// Counts the elements of the skipped value's own list or map instead of
// reading them; false for any other read, which proceeds as usual.
bool DeferToSkip(const StandardCodecSerializer& serializer,
                 uint8_t type,
                 ByteStreamReader* stream) {
  SkipFrame* frame = t_skip;
  if (frame == nullptr || !frame->armed || frame->stream != stream || frame->type != type ||
      frame->remaining_after_tag != stream->BytesRemaining()) {
    return false;
  }
  frame->armed = false;
  const uint64_t count = serializer.ReadSize(stream);
  frame->pending += type == kTagMap ? count * 2 : count;
  return true;
}

MESSAGING_NOINLINE void SkipValue(const StandardCodecSerializer& serializer,
                                  ByteStreamReader* stream) {
  if (t_skip_nesting >= kMaxSkipNesting) {
    // Custom values nested inside one another this deep: what is left of the
    // message cannot be read reliably.
    ByteStreamReader::ReportInvalidRead();
    SkipRest(stream);
    return;
  }
  SkipFrame frame;
  frame.stream = stream;
  frame.pending = 1;
  SkipScope scope(&frame);
  while (frame.pending > 0) {
    // Every pending value takes at least its tag byte.
    if (frame.pending > stream->BytesRemaining()) {
      ByteStreamReader::ReportInvalidRead();
      SkipRest(stream);
      break;
    }
    --frame.pending;
    frame.type = stream->ReadByte();
    frame.remaining_after_tag = stream->BytesRemaining();
    frame.armed = true;
    (void)serializer.ReadValueOfType(frame.type, stream);  // read only to be passed over
    frame.armed = false;
  }
}

MESSAGING_NOINLINE void SkipTooDeepValue(const StandardCodecSerializer& serializer,
                                         ByteStreamReader* stream) {
  if (t_skip == nullptr) {  // one line per too-deep value, not per custom value inside it
    WriteDiagnosticLine("Value nested deeper than " +
                        std::to_string(StandardCodecSerializer::kMaxNestingDepth) +
                        " levels in StandardCodecSerializer::ReadValue");
  }
  SkipValue(serializer, stream);
}

// Builds the string in place in the value, saving a move of the text.
MESSAGING_NOINLINE EncodableValue ReadStringValue(const StandardCodecSerializer& serializer,
                                                  ByteStreamReader* stream) {
  size_t length = serializer.ReadSize(stream);
  // In place: that is the whole bounds check.
  if (const uint8_t* bytes = stream->ReadInPlace(length)) {
    return EncodableValue(std::in_place_type<std::string>, reinterpret_cast<const char*>(bytes),
                          length);
  }
  ByteStreamReader::ReportInvalidRead();
  return EncodableValue(std::in_place_type<std::string>);
}

template <typename T>
MESSAGING_NOINLINE std::vector<T> ReadTypedList(const StandardCodecSerializer& serializer,
                                                ByteStreamReader* stream) {
  size_t count = serializer.ReadSize(stream);
  if constexpr (sizeof(T) > 1) {
    stream->SkipToAlignment(sizeof(T));  // Even for an empty list.
  }
  // In place: that is the whole bounds check.
  if (count <= std::numeric_limits<size_t>::max() / sizeof(T)) {
    if (const uint8_t* bytes = stream->ReadInPlace(count * sizeof(T))) {
      // Where the elements lie at their own alignment in memory (as they do
      // whenever the message itself is aligned) and in the host's byte
      // order, the list is one block copy of the message's bytes into its
      // storage; elsewhere it is filled element by element, in one pass too.
      if constexpr (!kBigEndianHost) {
        if (reinterpret_cast<uintptr_t>(bytes) % alignof(T) == 0) {
          const T* first = reinterpret_cast<const T*>(bytes);
          return std::vector<T>(first, first + count);
        }
      }
      return std::vector<T>(ElementIterator<T>(bytes),
                            ElementIterator<T>(bytes + count * sizeof(T)));
    }
  }
  ByteStreamReader::ReportInvalidRead();
  return std::vector<T>();
}

EncodableValueList ReadList(const StandardCodecSerializer& serializer, ByteStreamReader* stream) {
  size_t count = serializer.ReadSize(stream);
  EncodableValueList list;
  // Each element takes at least its tag byte. Checking before every element
  // also stops a list whose earlier elements used up the message, instead of
  // producing one null and one diagnostic line per missing element.
  if (count > stream->BytesRemaining()) {
    ByteStreamReader::ReportInvalidRead();
    return list;
  }
  list.reserve(Reservation(count, 1));
  for (size_t left = count; left > 0; --left) {
    if (left > stream->BytesRemaining()) {
      ByteStreamReader::ReportInvalidRead();
      break;
    }
    list.push_back(serializer.ReadValue(stream));
  }
  return list;
}

EncodableValueMap ReadMap(const StandardCodecSerializer& serializer, ByteStreamReader* stream) {
  size_t count = serializer.ReadSize(stream);
  // Each entry takes at least two tag bytes; see ReadList.
  if (count > stream->BytesRemaining() / 2) {
    ByteStreamReader::ReportInvalidRead();
    return EncodableValueMap();
  }
  std::vector<EncodableValueMap::value_type> entries;
  entries.reserve(Reservation(count, 2));
  for (size_t left = count; left > 0; --left) {
    if (left > stream->BytesRemaining() / 2) {
      ByteStreamReader::ReportInvalidRead();
      break;
    }
    EncodableValue key = serializer.ReadValue(stream);
    EncodableValue value = serializer.ReadValue(stream);
    entries.emplace_back(std::move(key), std::move(value));
  }
  // Writers send keys in ascending order, so the map usually only confirms
  // it. A repeated key keeps its first value.
  return EncodableValueMap(std::move(entries));
}

// The most that a value's tag, size and alignment padding take.
constexpr size_t kMaxHeaderBytes = 1 + 5 + 7;
// Payloads from this size on are announced to the writer before the value is
// written, so that its buffer grows once for them; below it, the buffer's
// own doubling costs less than asking.
constexpr size_t kAnnouncedPayload = 1024;

void AnnouncePayload(size_t bytes, ByteStreamWriter* stream) {
  if (bytes >= kAnnouncedPayload) {
    stream->Reserve(kMaxHeaderBytes + bytes);
  }
}

template <typename T>
void WriteTypedList(const StandardCodecSerializer& serializer,
                    uint8_t tag,
                    const std::vector<T>& list,
                    ByteStreamWriter* stream) {
  AnnouncePayload(list.size() * sizeof(T), stream);
  stream->WriteByte(tag);
  serializer.WriteSize(list.size(), stream);
  if constexpr (sizeof(T) > 1) {
    stream->PadToAlignment(sizeof(T));  // Even for an empty list.
  }
  if (list.empty()) {
    return;
  }
  if constexpr (kBigEndianHost && sizeof(T) > 1) {
    for (T element : list) {
      WriteScalar(element, stream);
    }
  } else {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()), list.size() * sizeof(T));
  }
}

MESSAGING_NOINLINE void ReportUnknownType(uint8_t type) {
  WriteDiagnosticLine("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                      std::to_string(type));
}

}  // namespace

StandardCodecSerializer::StandardCodecSerializer() = default;

StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::Shared() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  if (t_nesting_depth >= kMaxNestingDepth) {
    SkipTooDeepValue(*this, stream);
    return EncodableValue();
  }
  NestingLevel level(stream);
  uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  if ((type == kTagList || type == kTagMap) && t_skip != nullptr &&
      DeferToSkip(*this, type, stream)) {
    // Empty, but of the kind asked for: a derived class may use it as such.
    return type == kTagList ? EncodableValue(EncodableValueList())
                            : EncodableValue(EncodableValueMap());
  }
  switch (type) {
    case kTagNull:
      return EncodableValue();
    case kTagTrue:
      return EncodableValue(true);
    case kTagFalse:
      return EncodableValue(false);
    case kTagInt32:
      return EncodableValue(ReadScalar<int32_t>(stream));
    case kTagInt64:
      return EncodableValue(ReadScalar<int64_t>(stream));
    case kTagDouble:
      stream->SkipToAlignment(8);
      return EncodableValue(ReadScalar<double>(stream));
    case kTagLargeInt:
    case kTagString:
      return ReadStringValue(*this, stream);
    case kTagUint8List:
      return EncodableValue(ReadTypedList<uint8_t>(*this, stream));
    case kTagInt32List:
      return EncodableValue(ReadTypedList<int32_t>(*this, stream));
    case kTagInt64List:
      return EncodableValue(ReadTypedList<int64_t>(*this, stream));
    case kTagDoubleList:
      return EncodableValue(ReadTypedList<double>(*this, stream));
    case kTagList:
      return EncodableValue(ReadList(*this, stream));
    case kTagMap:
      return EncodableValue(ReadMap(*this, stream));
    case kTagFloatList:
      return EncodableValue(ReadTypedList<float>(*this, stream));
    default:
      ReportUnknownType(type);
      return EncodableValue();
  }
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  switch (value.index()) {
    case EncodableValue::kNull:
      stream->WriteByte(kTagNull);
      break;
    case EncodableValue::kBool:
      stream->WriteByte(std::get<bool>(value) ? kTagTrue : kTagFalse);
      break;
    case EncodableValue::kInt32:
      stream->WriteByte(kTagInt32);
      WriteScalar(std::get<int32_t>(value), stream);
      break;
    case EncodableValue::kInt64:
      stream->WriteByte(kTagInt64);
      WriteScalar(std::get<int64_t>(value), stream);
      break;
    case EncodableValue::kDouble:
      stream->WriteByte(kTagDouble);
      stream->PadToAlignment(8);
      WriteScalar(std::get<double>(value), stream);
      break;
    case EncodableValue::kString: {
      const std::string& text = std::get<std::string>(value);
      AnnouncePayload(text.size(), stream);
      stream->WriteByte(kTagString);
      WriteSize(text.size(), stream);
      if (!text.empty()) {
        stream->WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
      }
      break;
    }
    case EncodableValue::kUint8List:
      WriteTypedList(*this, kTagUint8List, std::get<std::vector<uint8_t>>(value), stream);
      break;
    case EncodableValue::kInt32List:
      WriteTypedList(*this, kTagInt32List, std::get<std::vector<int32_t>>(value), stream);
      break;
    case EncodableValue::kInt64List:
      WriteTypedList(*this, kTagInt64List, std::get<std::vector<int64_t>>(value), stream);
      break;
    case EncodableValue::kDoubleList:
      WriteTypedList(*this, kTagDoubleList, std::get<std::vector<double>>(value), stream);
      break;
    case EncodableValue::kList: {
      const auto& list = std::get<EncodableValueList>(value);
      stream->WriteByte(kTagList);
      WriteSize(list.size(), stream);
      for (const EncodableValue& element : list) {
        WriteValue(element, stream);
      }
      break;
    }
    case EncodableValue::kMap: {
      const auto& map = std::get<EncodableValueMap>(value);
      stream->WriteByte(kTagMap);
      WriteSize(map.size(), stream);
      for (const auto& entry : map) {
        WriteValue(entry.first, stream);
        WriteValue(entry.second, stream);
      }
      break;
    }
    case EncodableValue::kCustom:
      stream->WriteByte(kTagNull);
      WriteDiagnosticLine(
          "Unhandled custom type in StandardCodecSerializer::WriteValue. "
          "Custom types require codec extensions.");
      break;
    case EncodableValue::kFloatList:
      WriteTypedList(*this, kTagFloatList, std::get<std::vector<float>>(value), stream);
      break;
  }
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  uint8_t first = stream->ReadByte();
  if (first < 254) {
    return first;
  }
  if (first == 254) {
    return ReadScalar<uint16_t>(stream);
  }
  return ReadScalar<uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) const {
  if (size < 254) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= 0xffff) {
    stream->WriteByte(254);
    WriteScalar(static_cast<uint16_t>(size), stream);
  } else {
    stream->WriteByte(255);
    WriteScalar(static_cast<uint32_t>(size), stream);
  }
}

}  // namespace flutter
