#include "messaging/encodable_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "codec_test_support.h"

namespace flutter {
namespace {

std::vector<std::string> KeyStrings(const EncodableValueMap& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map) {
    keys.push_back(std::get<std::string>(entry.first));
  }
  return keys;
}

TEST(EncodableValueTest, ConstructorsChooseTheKindFromTheStorageType) {
  EXPECT_EQ(EncodableValue().index(), EncodableValue::kNull);
  EXPECT_EQ(EncodableValue(true).index(), EncodableValue::kBool);
  EXPECT_EQ(EncodableValue(int32_t{7}).index(), EncodableValue::kInt32);
  EXPECT_EQ(EncodableValue(7).index(), EncodableValue::kInt32);
  EXPECT_EQ(EncodableValue(int64_t{7}).index(), EncodableValue::kInt64);
  EXPECT_EQ(EncodableValue(0.5).index(), EncodableValue::kDouble);
  EXPECT_EQ(EncodableValue(std::string("a")).index(), EncodableValue::kString);
  EXPECT_EQ(EncodableValue(std::vector<uint8_t>{1}).index(), EncodableValue::kUint8List);
  EXPECT_EQ(EncodableValue(std::vector<int32_t>{1}).index(), EncodableValue::kInt32List);
  EXPECT_EQ(EncodableValue(std::vector<int64_t>{1}).index(), EncodableValue::kInt64List);
  EXPECT_EQ(EncodableValue(std::vector<double>{1}).index(), EncodableValue::kDoubleList);
  EXPECT_EQ(EncodableValue(EncodableValueList{}).index(), EncodableValue::kList);
  EXPECT_EQ(EncodableValue(EncodableValueMap{}).index(), EncodableValue::kMap);
  EXPECT_EQ(EncodableValue(CustomValue(5)).index(), EncodableValue::kCustom);
  EXPECT_EQ(EncodableValue(std::vector<float>{1}).index(), EncodableValue::kFloatList);

  // A C string is text, never bool, both when constructing and assigning.
  EncodableValue text("width");
  ASSERT_EQ(text.index(), EncodableValue::kString);
  EXPECT_EQ(std::get<std::string>(text), "width");
  EncodableValue assigned;
  assigned = "height";
  EXPECT_EQ(std::get<std::string>(assigned), "height");
}

TEST(EncodableValueTest, AccessByKind) {
  EncodableValue value(int64_t{42});
  EXPECT_EQ(std::get_if<int32_t>(&value), nullptr);  // No conversion between widths.
  ASSERT_NE(std::get_if<int64_t>(&value), nullptr);
  EXPECT_EQ(*std::get_if<int64_t>(&value), 42);
  EXPECT_THROW(std::get<int32_t>(value), std::bad_variant_access);

  EncodableValue null_arguments;
  EXPECT_EQ(std::get_if<EncodableValueMap>(&null_arguments), nullptr);
  EXPECT_TRUE(null_arguments.IsNull());
}

TEST(EncodableValueTest, CopiesAreDeep) {
  EncodableValue original(EncodableValueMap{
      {EncodableValue("list"), EncodableValue(EncodableValueList{EncodableValue("a")})},
      {EncodableValue("custom"), EncodableValue(CustomValue(std::string("object")))},
  });
  EncodableValue copy = original;
  auto& copy_map = std::get<EncodableValueMap>(copy);
  std::get<EncodableValueList>(copy_map[EncodableValue("list")]).push_back(EncodableValue(1));
  *std::get<CustomValue>(copy_map[EncodableValue("custom")]).TryGet<std::string>() = "changed";

  const auto& original_map = std::get<EncodableValueMap>(original);
  EXPECT_EQ(std::get<EncodableValueList>(*FindValue(original_map, "list")).size(), 1u);
  const CustomValue& custom = std::get<CustomValue>(*FindValue(original_map, "custom"));
  ASSERT_NE(custom.TryGet<std::string>(), nullptr);
  EXPECT_EQ(*custom.TryGet<std::string>(), "object");
  EXPECT_EQ(custom.TryGet<int>(), nullptr);
  EXPECT_EQ(custom.type(), typeid(std::string));
}

TEST(EncodableValueTest, KindsOrderByIndexBeforeContent) {
  // One value of every kind, in index order, each "large" for its kind so that
  // only the kind can decide.
  EncodableValue custom(CustomValue(1));
  std::vector<EncodableValue> ascending = {
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(std::numeric_limits<int32_t>::max()),
      EncodableValue(std::numeric_limits<int64_t>::min()),
      EncodableValue(-1e300),
      EncodableValue(""),
      EncodableValue(std::vector<uint8_t>{}),
      EncodableValue(std::vector<int32_t>{}),
      EncodableValue(std::vector<int64_t>{}),
      EncodableValue(std::vector<double>{}),
      EncodableValue(EncodableValueList{}),
      EncodableValue(EncodableValueMap{}),
      custom,
      EncodableValue(std::vector<float>{}),
  };
  for (size_t i = 0; i < ascending.size(); ++i) {
    EXPECT_EQ(ascending[i].index(), i);
    for (size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] < ascending[j], i < j) << i << " vs " << j;
    }
  }
  // int32 and int64 never compare by number.
  EXPECT_TRUE(EncodableValue(5) < EncodableValue(int64_t{1}));
  EXPECT_FALSE(EncodableValue(int64_t{1}) < EncodableValue(5));
}

TEST(EncodableValueTest, SameKindComparesByContent) {
  EXPECT_FALSE(EncodableValue() < EncodableValue());
  EXPECT_TRUE(EncodableValue(false) < EncodableValue(true));
  EXPECT_TRUE(EncodableValue(-2) < EncodableValue(1));
  EXPECT_TRUE(EncodableValue(int64_t{-5}) < EncodableValue(int64_t{3}));
  EXPECT_TRUE(EncodableValue(-0.5) < EncodableValue(0.25));

  // Strings and byte lists: bytewise unsigned, a proper prefix first.
  EXPECT_TRUE(EncodableValue("") < EncodableValue("a"));
  EXPECT_TRUE(EncodableValue("ab") < EncodableValue("abc"));
  EXPECT_TRUE(EncodableValue("abc") < EncodableValue("abd"));
  EXPECT_TRUE(EncodableValue("Z") < EncodableValue("a"));
  EXPECT_TRUE(EncodableValue("\x7f") < EncodableValue("\xc3\xa9"));  // Not signed char order.
  EXPECT_TRUE(EncodableValue(std::vector<uint8_t>{1, 2}) <
              EncodableValue(std::vector<uint8_t>{1, 2, 0}));
  EXPECT_TRUE(EncodableValue(std::vector<uint8_t>{0x7f}) <
              EncodableValue(std::vector<uint8_t>{0x80}));

  // Element-wise lists, a proper prefix first.
  auto list = [](std::initializer_list<int> items) {
    EncodableValueList values;
    for (int item : items) {
      values.push_back(EncodableValue(item));
    }
    return EncodableValue(values);
  };
  EXPECT_TRUE(list({}) < list({0}));
  EXPECT_TRUE(list({1, 2}) < list({1, 3}));
  EXPECT_TRUE(list({1, 2}) < list({1, 2, 0}));
  EXPECT_FALSE(list({1, 3}) < list({1, 2, 0}));
  EXPECT_TRUE(EncodableValue(std::vector<int32_t>{-1}) < EncodableValue(std::vector<int32_t>{0}));
  EXPECT_TRUE(EncodableValue(std::vector<int64_t>{1, 2}) <
              EncodableValue(std::vector<int64_t>{1, 2, 3}));
  EXPECT_TRUE(EncodableValue(std::vector<double>{0.5}) < EncodableValue(std::vector<double>{0.75}));
  EXPECT_TRUE(EncodableValue(std::vector<float>{}) < EncodableValue(std::vector<float>{-1.0f}));
  // Nested lists compare with the value comparison: a null element is below
  // any bool.
  EXPECT_TRUE(EncodableValue(EncodableValueList{EncodableValue()}) <
              EncodableValue(EncodableValueList{EncodableValue(false)}));

  // Maps: entries in key order, key before value, shorter map first.
  EncodableValueMap a = {{EncodableValue("a"), EncodableValue(1)}};
  EncodableValueMap a2 = {{EncodableValue("a"), EncodableValue(2)}};
  EncodableValueMap b = {{EncodableValue("b"), EncodableValue(0)}};
  EncodableValueMap ab = {{EncodableValue("a"), EncodableValue(1)},
                          {EncodableValue("b"), EncodableValue(0)}};
  EXPECT_TRUE(EncodableValue(a) < EncodableValue(a2));
  EXPECT_TRUE(EncodableValue(a2) < EncodableValue(b));
  EXPECT_TRUE(EncodableValue(a) < EncodableValue(ab));
  EXPECT_FALSE(EncodableValue(ab) < EncodableValue(a));
  EXPECT_TRUE(EncodableValue(EncodableValueMap{}) < EncodableValue(a));
}

TEST(EncodableValueTest, NestedEqualPrefixesCompareInLinearTime) {
  // 80 levels of one-element lists around a null, equal on both sides: a
  // comparison that asked both "a < b" and "b < a" at every level would take
  // 2^80 steps here.
  EncodableValue nested;
  for (int i = 0; i < 80; ++i) {
    nested = EncodableValue(EncodableValueList{nested});
  }
  EncodableValue smaller(EncodableValueList{nested, EncodableValue(1)});
  EncodableValue larger(EncodableValueList{nested, EncodableValue(2)});
  EXPECT_TRUE(smaller < larger);
  EXPECT_FALSE(larger < smaller);
  EXPECT_FALSE(nested < nested);

  EncodableValueMap map;
  map[larger] = EncodableValue("larger");
  map[smaller] = EncodableValue("smaller");
  map[EncodableValue(EncodableValueMap{{nested, nested}})] = EncodableValue("map");
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.begin()->second, EncodableValue("smaller"));
}

TEST(EncodableValueTest, NaNKeysKeepTheMapOrdered) {
  // Numbers order numerically; NaN has no numeric order, so it goes after
  // every number and all NaNs are one key. Without that, a NaN key from the
  // wire would break the map's ordering.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(EncodableValue(1.0) < EncodableValue(nan));
  EXPECT_FALSE(EncodableValue(nan) < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(nan) < EncodableValue(-nan));
  EXPECT_TRUE(EncodableValue(std::vector<float>{1.0f}) <
              EncodableValue(std::vector<float>{std::numeric_limits<float>::quiet_NaN()}));

  EncodableValueMap map;
  for (double key : {2.0, nan, 1.0, -nan, 3.0}) {
    map.emplace(EncodableValue(key), EncodableValue(key));
  }
  ASSERT_EQ(map.size(), 4u);
  std::vector<double> keys;
  for (const auto& entry : map) {
    keys.push_back(std::get<double>(entry.first));
  }
  EXPECT_EQ(keys[0], 1.0);
  EXPECT_EQ(keys[1], 2.0);
  EXPECT_EQ(keys[2], 3.0);
  EXPECT_TRUE(std::isnan(keys[3]));
  EXPECT_NE(map.find(EncodableValue(2.0)), map.end());
  EXPECT_NE(map.find(EncodableValue(nan)), map.end());
}

TEST(EncodableValueTest, CustomValuesCompareByIdentity) {
  EncodableValue first(CustomValue(7));
  EncodableValue copy = first;
  // Same content, different objects: distinct, and ordered one way only.
  EXPECT_NE(first, copy);
  EXPECT_NE(first < copy, copy < first);
  EXPECT_EQ(first, first);
  EXPECT_FALSE(first < first);

  EncodableValueMap map;
  map[first] = EncodableValue(1);
  map[copy] = EncodableValue(2);
  EXPECT_EQ(map.size(), 2u);

  // A key is an object of the map's own: the value it was copied or moved
  // from never finds it, so the same value used again adds another key...
  map[first] = EncodableValue(3);
  EncodableValue moved(CustomValue(8));
  map.emplace(std::move(moved), EncodableValue(4));
  EXPECT_EQ(map.size(), 4u);
  EXPECT_EQ(map.count(first), 0u);
  EXPECT_EQ(map.count(moved), 0u);  // moved from on purpose
  // ...while the key itself finds its own entry, however the map has grown
  // since, and a copy of the key (another object) finds none.
  // The same holds for custom values inside list keys.
  for (int i = 0; i < 100; ++i) {
    map.emplace(EncodableValue(CustomValue(i)), EncodableValue(i));
    map.emplace(EncodableValue(std::to_string(i)), EncodableValue(i));
    map.emplace(EncodableValue(i), EncodableValue(i));
    const EncodableValue list_key(EncodableValueList{EncodableValue(CustomValue(i))});
    map[list_key] = EncodableValue(i);
  }
  ASSERT_EQ(map.size(), 404u);
  size_t keys_of_objects = 0;
  for (const auto& entry : map) {
    auto found = map.find(entry.first);
    ASSERT_NE(found, map.end());
    EXPECT_EQ(&*found, &entry);
    const bool of_objects = entry.first.index() == EncodableValue::kCustom ||
                            entry.first.index() == EncodableValue::kList;
    keys_of_objects += of_objects;
    EXPECT_EQ(map.count(EncodableValue(entry.first)), of_objects ? 0u : 1u);
  }
  EXPECT_EQ(keys_of_objects, 204u);

  // A copy of the map holds copies of its keys: the same number of entries,
  // none of them equal to the original's.
  const EncodableValueMap map_copy = map;
  EXPECT_EQ(map_copy.size(), map.size());
  EXPECT_NE(map_copy, map);
  for (const auto& entry : map_copy) {
    EXPECT_EQ(map_copy.count(entry.first), 1u);
    const bool of_objects = entry.first.index() == EncodableValue::kCustom ||
                            entry.first.index() == EncodableValue::kList;
    EXPECT_EQ(map.count(entry.first), of_objects ? 0u : 1u);
  }
}

TEST(EncodableValueTest, MapIteratesInKeyOrder) {
  EncodableValueMap texture = {
      {EncodableValue("width"), EncodableValue(1)},
      {EncodableValue("height"), EncodableValue(2)},
      {EncodableValue("textureId"), EncodableValue(3)},
      {EncodableValue("sharedHandle"), EncodableValue(4)},
  };
  EXPECT_EQ(KeyStrings(texture),
            (std::vector<std::string>{"height", "sharedHandle", "textureId", "width"}));

  // Mixed kinds order by kind first, then by content.
  EncodableValueMap mixed;
  for (const EncodableValue& key :
       {EncodableValue("b"), EncodableValue("ab"), EncodableValue(0.5), EncodableValue(int64_t{0}),
        EncodableValue(-1), EncodableValue(true), EncodableValue(""), EncodableValue("a"),
        EncodableValue(false)}) {
    mixed.emplace(key, EncodableValue());
  }
  std::vector<EncodableValue> expected = {
      EncodableValue(false),      EncodableValue(true), EncodableValue(-1),
      EncodableValue(int64_t{0}), EncodableValue(0.5),  EncodableValue(""),
      EncodableValue("a"),        EncodableValue("ab"), EncodableValue("b"),
  };
  std::vector<EncodableValue> actual;
  for (const auto& entry : mixed) {
    actual.push_back(entry.first);
  }
  EXPECT_EQ(actual, expected);
}

TEST(EncodableValueTest, MapAgreesWithAnOrderedMapThroughEveryChange) {
  // Random changes applied to both the one-block map and std::map with the
  // same comparison: after each, both hold the same entries in the same
  // order, and every change answers the same.
  using Reference = std::map<EncodableValue, EncodableValue, EncodableValueLess>;
  std::mt19937 random(23);
  auto key = [&random]() -> EncodableValue {
    const int n = static_cast<int>(random() % 24);
    switch (random() % 4) {
      case 0:
        return EncodableValue(n);
      case 1:
        return EncodableValue(int64_t{n});
      case 2:
        return EncodableValue(n * 0.5);
      default:
        return EncodableValue(std::string(static_cast<size_t>(n % 5), static_cast<char>('a' + n)));
    }
  };
  auto same = [](const EncodableValueMap& map, const Reference& reference) {
    return map.size() == reference.size() &&
           std::equal(map.begin(), map.end(), reference.begin(), [](const auto& a, const auto& b) {
             return a.first == b.first && a.second == b.second;
           });
  };
  EncodableValueMap map;
  Reference reference;
  for (int step = 0; step < 4000; ++step) {
    const EncodableValue k = key();
    const EncodableValue v(step);
    switch (random() % 9) {
      case 0:
        EXPECT_EQ(map.emplace(k, v).second, reference.emplace(k, v).second);
        break;
      case 1:
        map[k] = v;
        reference[k] = v;
        break;
      case 2:
        EXPECT_EQ(map.insert({k, v}).second, reference.insert({k, v}).second);
        break;
      case 3:
        EXPECT_EQ(map.try_emplace(EncodableValue(k), v).second,
                  reference.try_emplace(EncodableValue(k), v).second);
        break;
      case 4:
        EXPECT_EQ(map.erase(k), reference.erase(k));
        break;
      case 5:
        if (!reference.empty()) {
          const auto offset = static_cast<std::ptrdiff_t>(random() % reference.size());
          auto next = map.erase(map.begin() + offset);
          auto reference_next = reference.erase(std::next(reference.begin(), offset));
          EXPECT_EQ(next - map.begin(), std::distance(reference.begin(), reference_next));
        }
        break;
      case 6:
        if (reference.size() > 2) {
          map.erase(map.begin() + 1, map.end() - 1);
          reference.erase(std::next(reference.begin()), std::prev(reference.end()));
        }
        break;
      case 7: {
        EncodableValueMap copy;
        copy = map;
        EXPECT_EQ(copy, map);
        map = std::move(copy);
        break;
      }
      default: {
        auto found = map.find(k);
        auto reference_found = reference.find(k);
        ASSERT_EQ(found == map.end(), reference_found == reference.end());
        if (found != map.end()) {
          EXPECT_EQ(found->second, reference_found->second);
          EXPECT_EQ(map.at(k), reference.at(k));
        } else {
          EXPECT_THROW((void)map.at(k), std::out_of_range);
        }
        EXPECT_EQ(map.count(k), reference.count(k));
        break;
      }
    }
    ASSERT_TRUE(same(map, reference)) << "after step " << step;
  }
  // Built from entries in any order, the first of equal keys is kept, as
  // std::map's constructor keeps it.
  std::vector<EncodableValueMap::value_type> entries;
  for (int i = 0; i < 300; ++i) {
    entries.emplace_back(key(), EncodableValue(i));
  }
  EXPECT_TRUE(same(EncodableValueMap(entries), Reference(entries.begin(), entries.end())));
}

TEST(EncodableValueTest, IntegerWidthsAreDistinctKeys) {
  EncodableValueMap map;
  map[EncodableValue(7)] = EncodableValue("int32");
  map[EncodableValue(int64_t{7})] = EncodableValue("int64");
  ASSERT_EQ(map.size(), 2u);
  auto found = map.find(EncodableValue(7));
  ASSERT_NE(found, map.end());
  EXPECT_EQ(std::get<std::string>(found->second), "int32");
  EXPECT_EQ(map.begin()->first.index(), EncodableValue::kInt32);
  EXPECT_EQ(std::get<std::string>(map.at(EncodableValue(int64_t{7}))), "int64");
}

TEST(EncodableValueTest, StringKeyLookup) {
  EncodableValueMap arguments = {
      {EncodableValue("Width"), EncodableValue(1)},
      {EncodableValue("widths"), EncodableValue(2)},
      {EncodableValue("height"), EncodableValue(3)},
      {EncodableValue(std::vector<uint8_t>{'x'}), EncodableValue(4)},
      {EncodableValue(5), EncodableValue(5)},
  };
  // Exact bytes only: neither the capitalised key nor an extension matches.
  EXPECT_EQ(FindValue(arguments, "width"), nullptr);
  EXPECT_EQ(FindValue(arguments, "widt"), nullptr);
  // A key of another kind with the same bytes is never found.
  EXPECT_EQ(FindValue(arguments, "x"), nullptr);
  ASSERT_NE(FindValue(arguments, "height"), nullptr);
  EXPECT_EQ(*FindValue(arguments, "height"), EncodableValue(3));
  ASSERT_NE(FindValue(arguments, "Width"), nullptr);
  EXPECT_EQ(*FindValue(arguments, "Width"), EncodableValue(1));
  EXPECT_EQ(FindValue(EncodableValueMap{}, "height"), nullptr);
  // Keys with embedded zero bytes are compared in full.
  arguments[EncodableValue(std::string("a\0b", 3))] = EncodableValue(6);
  EXPECT_EQ(FindValue(arguments, std::string_view("a\0c", 3)), nullptr);
  ASSERT_NE(FindValue(arguments, std::string_view("a\0b", 3)), nullptr);

  // The map's own lookup accepts text directly and agrees with FindValue.
  EXPECT_NE(arguments.find("height"), arguments.end());
  EXPECT_EQ(arguments.find(std::string("width")), arguments.end());
  EXPECT_EQ(arguments.count("Width"), 1u);
}

TEST(EncodableValueTest, EqualityIsByKindAndContent) {
  EXPECT_EQ(EncodableValue(), EncodableValue());
  EXPECT_NE(EncodableValue(1), EncodableValue(int64_t{1}));
  EXPECT_NE(EncodableValue(std::vector<double>{1}), EncodableValue(std::vector<float>{1}));
  EXPECT_EQ(EncodableValue(EncodableValueList{EncodableValue("a"), EncodableValue(2.5)}),
            EncodableValue(EncodableValueList{EncodableValue("a"), EncodableValue(2.5)}));
  EXPECT_NE(EncodableValue(EncodableValueMap{{EncodableValue("a"), EncodableValue(1)}}),
            EncodableValue(EncodableValueMap{{EncodableValue("a"), EncodableValue(2)}}));
}

}  // namespace
}  // namespace flutter
