#ifndef KESTRUNE_CHANNELS_WINDOW_NUMBER_ARGS_H_
#define KESTRUNE_CHANNELS_WINDOW_NUMBER_ARGS_H_

#include <cstdint>

#include <flutter/encodable_value.h>
#include "input/channel_args.h"

// Numeric arguments of the window channels. The interface sends a number
// written without a decimal point as an int32 or int64, so a double key takes
// every integer and an int key takes a double, truncated toward zero. Other
// present types are wrong.

// A double from a double, int32 or int64.
ArgRead<double> ReadDoubleArgument(const flutter::EncodableValue* arguments, const char* key);

// An int32 from an int32, an int64 or a double (truncated toward zero); values
// beyond int32 saturate and NaN reads as 0.
ArgRead<int32_t> ReadIntArgument(const flutter::EncodableValue* arguments, const char* key);

#endif  // KESTRUNE_CHANNELS_WINDOW_NUMBER_ARGS_H_
