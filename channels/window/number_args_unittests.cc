#include "channels/window/number_args.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

ArgRead<double> ReadDouble(const EncodableValue& value) {
  EncodableValue arguments(EncodableMap{{EncodableValue("k"), value}});
  return ReadDoubleArgument(&arguments, "k");
}

ArgRead<int32_t> ReadInt(const EncodableValue& value) {
  EncodableValue arguments(EncodableMap{{EncodableValue("k"), value}});
  return ReadIntArgument(&arguments, "k");
}

TEST(ReadDoubleArgument, TakesEveryNumber) {
  EXPECT_EQ(ReadDouble(EncodableValue(2.5)).value, 2.5);
  EXPECT_EQ(ReadDouble(EncodableValue(int32_t{-7})).value, -7.0);
  EXPECT_EQ(ReadDouble(EncodableValue(int64_t{1} << 40)).value, 1099511627776.0);
}

TEST(ReadDoubleArgument, OtherTypesAreWrong) {
  for (const EncodableValue& value :
       {EncodableValue(), EncodableValue(true), EncodableValue("1"),
        EncodableValue(std::vector<double>{1.0}), EncodableValue(EncodableList{}),
        EncodableValue(EncodableMap{}), EncodableValue(std::vector<uint8_t>{1})}) {
    ArgRead<double> read = ReadDouble(value);
    EXPECT_TRUE(read.wrong_type);
    EXPECT_FALSE(read.value);
  }
}

TEST(ReadDoubleArgument, MissingIsNotAnError) {
  EncodableValue empty_map{EncodableMap{}};
  EncodableValue list{EncodableList{EncodableValue(1.0)}};
  EncodableValue number{3.0};
  const EncodableValue* all[] = {nullptr, &empty_map, &list, &number};
  for (const EncodableValue* arguments : all) {
    ArgRead<double> read = ReadDoubleArgument(arguments, "k");
    EXPECT_FALSE(read.wrong_type);
    EXPECT_FALSE(read.value);
  }
}

TEST(ReadIntArgument, TakesEveryNumber) {
  EXPECT_EQ(ReadInt(EncodableValue(int32_t{14})).value, 14);
  EXPECT_EQ(ReadInt(EncodableValue(int64_t{14})).value, 14);
  EXPECT_EQ(ReadInt(EncodableValue(14.9)).value, 14);
  EXPECT_EQ(ReadInt(EncodableValue(-14.9)).value, -14);
}

TEST(ReadIntArgument, SaturatesBeyondInt32) {
  EXPECT_EQ(ReadInt(EncodableValue(int64_t{1} << 40)).value, INT32_MAX);
  EXPECT_EQ(ReadInt(EncodableValue(-(int64_t{1} << 40))).value, INT32_MIN);
  EXPECT_EQ(ReadInt(EncodableValue(1e300)).value, INT32_MAX);
  EXPECT_EQ(ReadInt(EncodableValue(std::nan(""))).value, 0);
}

TEST(ReadIntArgument, OtherTypesAreWrong) {
  for (const EncodableValue& value : {EncodableValue(), EncodableValue(false), EncodableValue("14"),
                                      EncodableValue(std::vector<int32_t>{14})}) {
    ArgRead<int32_t> read = ReadInt(value);
    EXPECT_TRUE(read.wrong_type);
    EXPECT_FALSE(read.value);
  }
}

}  // namespace
