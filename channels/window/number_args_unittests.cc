#include "channels/window/number_args.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// A missing key or no map at all reads as none: see the window channels' answers.
TEST(NumberArguments, EveryNumberIsReadAndSaturatesOtherTypesAreWrong) {
  const struct {
    EncodableValue value;
    std::optional<double> as_double;
    std::optional<int32_t> as_int;
  } rows[] = {
      {EncodableValue(2.5), 2.5, 2},
      {EncodableValue(-(int64_t{1} << 40)), -1099511627776.0, INT32_MIN},
      {EncodableValue(1e300), 1e300, INT32_MAX},
      {EncodableValue(true), std::nullopt, std::nullopt},
      {EncodableValue(EncodableMap{}), std::nullopt, std::nullopt},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EncodableValue arguments(EncodableMap{{EncodableValue("k"), rows[i].value}});
    ArgRead<double> as_double = ReadDoubleArgument(&arguments, "k");
    ArgRead<int32_t> as_int = ReadIntArgument(&arguments, "k");
    EXPECT_EQ(as_double.value, rows[i].as_double) << "row " << i;
    EXPECT_EQ(as_double.wrong_type, !rows[i].as_double) << "row " << i;
    EXPECT_EQ(as_int.value, rows[i].as_int) << "row " << i;
    EXPECT_EQ(as_int.wrong_type, !rows[i].as_int) << "row " << i;
  }
  EncodableValue nan_argument(EncodableMap{{EncodableValue("k"), EncodableValue(NAN)}});
  EXPECT_EQ(ReadIntArgument(&nan_argument, "k").value, 0);
}

}  // namespace
