// The embedder's records as C++ lays them out, against the C view of the same
// header.
#include "tests/embedder/embedder_layout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "window/embedder/flutter_windows.h"

namespace velora {
namespace {

// Converts to any member type: T{AnyMember, ...} compiles for up to as many
// initializers as the aggregate T has members (an anonymous union counts as
// one). Declared only: it is used in unevaluated contexts.
struct AnyMember {
  template <typename T>
  operator T() const;
};
template <size_t>
using AnyMemberAt = AnyMember;

template <typename T, typename Indices, typename = void>
struct InitializesWith : std::false_type {};
template <typename T, size_t... I>
struct InitializesWith<T, std::index_sequence<I...>, std::void_t<decltype(T{AnyMemberAt<I>{}...})>>
    : std::true_type {};

// Whether T has exactly `count` members: all of them can be initialised, one
// more cannot. (Fewer than all would not tell, and clang rightly warns.)
template <typename T, size_t count>
constexpr bool HasExactlyMembers() {
  if constexpr (std::is_class_v<T>) {
    return InitializesWith<T, std::make_index_sequence<count>>::value &&
           !InitializesWith<T, std::make_index_sequence<count + 1>>::value;
  } else {
    return count == 0;
  }
}

struct ListedMember {
  std::string_view record;
  bool own_member;  // false for a further member of an anonymous union
};
#define NO_TYPE(type)
#define LISTED_FIELD(record, field) {#record, true},
#define LISTED_ALTERNATIVE(record, field) {#record, false},
constexpr ListedMember kListedMembers[] = {
    VELORA_EMBEDDER_LAYOUT(NO_TYPE, LISTED_FIELD, LISTED_ALTERNATIVE)};
#undef NO_TYPE
#undef LISTED_FIELD
#undef LISTED_ALTERNATIVE

constexpr size_t ListedMembers(std::string_view record) {
  size_t count = 0;
  for (const ListedMember& member : kListedMembers) {
    if (member.own_member && member.record == record) {
      ++count;
    }
  }
  return count;
}

std::vector<EmbedderLayoutEntry> SeenByCxx() {
#define CXX_TYPE(type) {#type, "", 0, sizeof(type), alignof(type)},
#define CXX_FIELD(record, field) \
  {#record, #field, offsetof(record, field), sizeof(record::field), 0},
  return {VELORA_EMBEDDER_LAYOUT(CXX_TYPE, CXX_FIELD, CXX_FIELD)};
#undef CXX_TYPE
#undef CXX_FIELD
}

std::string Describe(const EmbedderLayoutEntry& entry) {
  return std::string(entry.type) + (entry.field[0] ? "." : "") + entry.field + ": offset " +
         std::to_string(entry.offset) + ", size " + std::to_string(entry.size) + ", alignment " +
         std::to_string(entry.alignment);
}

TEST(EmbedderLayoutTest, CAndCxxAgreeOnEverySizeAlignmentAndOffset) {
  size_t count = 0;
  const EmbedderLayoutEntry* seen_by_c = EmbedderLayoutSeenByC(&count);
  const std::vector<EmbedderLayoutEntry> seen_by_cxx = SeenByCxx();
  ASSERT_EQ(count, seen_by_cxx.size());
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(Describe(seen_by_c[i]), Describe(seen_by_cxx[i]));
  }
}

// The list names every member of every record (and none of an enumeration):
// as many as the record's aggregate initialisation takes.
TEST(EmbedderLayoutTest, TheListNamesEveryMemberOfEveryRecord) {
  std::vector<std::string> mismatched;
#define CHECK_TYPE(type)                                  \
  if (!HasExactlyMembers<type, ListedMembers(#type)>()) { \
    mismatched.push_back(#type);                          \
  }
#define IGNORE_FIELD(record, field)
  VELORA_EMBEDDER_LAYOUT(CHECK_TYPE, IGNORE_FIELD, IGNORE_FIELD)
#undef CHECK_TYPE
#undef IGNORE_FIELD
  EXPECT_EQ(mismatched, std::vector<std::string>{});
}

}  // namespace
}  // namespace velora
