#ifndef KESTRUNE_EMBEDDER_ENCODABLE_VALUE_H_
#define KESTRUNE_EMBEDDER_ENCODABLE_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace flutter {

// Forward declared so the list and map alternatives can hold values of the
// very type being defined.
class EncodableValue;

}  // namespace flutter

// Map keys are ordered through this specialization rather than operator<:
// with C++20's rewritten comparisons, any `<` between two EncodableValues makes
// the standard library check whether the list alternative is three-way
// comparable, which depends on that same check and fails to compile. It has to
// be declared before EncodableMap is instantiated as part of the variant.
template <>
struct std::less<flutter::EncodableValue> {
  bool operator()(const flutter::EncodableValue& lhs, const flutter::EncodableValue& rhs) const;
};

namespace flutter {

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

namespace internal {

// The order of alternatives is also the order of map keys of different types.
using EncodableValueVariant = std::variant<std::monostate,
                                           bool,
                                           int32_t,
                                           int64_t,
                                           double,
                                           std::string,
                                           std::vector<uint8_t>,
                                           std::vector<int32_t>,
                                           std::vector<int64_t>,
                                           std::vector<double>,
                                           EncodableList,
                                           EncodableMap,
                                           std::vector<float>>;

}  // namespace internal

// A value the standard message codec can carry. It is a std::variant, so
// std::get, std::get_if and std::holds_alternative work on it directly.
//
// The C++ type chosen at construction is what goes on the wire: an int32_t is
// sent as a 32-bit integer and an int64_t as a 64-bit one, whatever the value.
//
// Values compare with == and !=. Ordering, which EncodableMap needs, is
// std::less<EncodableValue>: alternatives in declaration order, then values;
// NaN sorts after every other number so hostile keys cannot break a map.
class EncodableValue : public internal::EncodableValueVariant {
 public:
  using Variant = internal::EncodableValueVariant;
  using Variant::Variant;
  using Variant::operator=;

  EncodableValue() = default;

  // Keeps string literals from ever selecting bool, whatever conversion
  // rules the standard library applies to variant.
  EncodableValue(const char* string) : Variant(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    Variant::operator=(std::string(string));
    return *this;
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // Returns an integer of either width as int64_t, since the sender decides
  // the width and small values commonly arrive as int32. Throws
  // std::bad_variant_access if the value is not an integer.
  int64_t LongValue() const {
    if (const int32_t* value = std::get_if<int32_t>(this)) {
      return *value;
    }
    return std::get<int64_t>(*this);
  }

  friend bool operator==(const EncodableValue& lhs, const EncodableValue& rhs) {
    return static_cast<const Variant&>(lhs) == static_cast<const Variant&>(rhs);
  }
};

namespace internal {

// Three-way comparisons returning <0, 0 or >0; none of them uses `<` on an
// EncodableValue (see std::less above).

template <typename T>
int CompareOrdered(const T& lhs, const T& rhs) {
  return lhs < rhs ? -1 : (rhs < lhs ? 1 : 0);
}

template <typename T>
int CompareFloating(T lhs, T rhs) {
  const bool lhs_nan = lhs != lhs;
  const bool rhs_nan = rhs != rhs;
  if (lhs_nan || rhs_nan) {
    return CompareOrdered(lhs_nan, rhs_nan);
  }
  return CompareOrdered(lhs, rhs);
}

template <typename Sequence, typename ElementCompare>
int CompareSequences(const Sequence& lhs, const Sequence& rhs, ElementCompare compare) {
  auto lhs_it = lhs.begin();
  auto rhs_it = rhs.begin();
  for (; lhs_it != lhs.end() && rhs_it != rhs.end(); ++lhs_it, ++rhs_it) {
    if (int result = compare(*lhs_it, *rhs_it); result != 0) {
      return result;
    }
  }
  return CompareOrdered(lhs.size(), rhs.size());
}

inline int CompareEncodableValues(const EncodableValue& lhs, const EncodableValue& rhs) {
  if (lhs.index() != rhs.index()) {
    return CompareOrdered(lhs.index(), rhs.index());
  }
  return std::visit(
      [&rhs](const auto& lhs_value) -> int {
        using T = std::decay_t<decltype(lhs_value)>;
        const T& rhs_value = std::get<T>(rhs);
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, double>) {
          return CompareFloating(lhs_value, rhs_value);
        } else if constexpr (std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          return CompareSequences(lhs_value, rhs_value,
                                  [](auto a, auto b) { return CompareFloating(a, b); });
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          return CompareSequences(lhs_value, rhs_value, CompareEncodableValues);
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          return CompareSequences(lhs_value, rhs_value, [](const auto& a, const auto& b) {
            int result = CompareEncodableValues(a.first, b.first);
            return result != 0 ? result : CompareEncodableValues(a.second, b.second);
          });
        } else {
          // bool, integers, strings and integer lists order naturally.
          return CompareOrdered(lhs_value, rhs_value);
        }
      },
      static_cast<const EncodableValue::Variant&>(lhs));
}

}  // namespace internal

}  // namespace flutter

inline bool std::less<flutter::EncodableValue>::operator()(
    const flutter::EncodableValue& lhs,
    const flutter::EncodableValue& rhs) const {
  return flutter::internal::CompareEncodableValues(lhs, rhs) < 0;
}

#endif  // KESTRUNE_EMBEDDER_ENCODABLE_VALUE_H_
