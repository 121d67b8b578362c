#include "channels/window/number_args.h"

#include "channels/window/window_placement.h"

ArgRead<double> ReadDoubleArgument(const flutter::EncodableValue* arguments, const char* key) {
  ArgRead<double> read;
  if (const flutter::EncodableValue* value = FindArgument(arguments, key)) {
    if (const double* d = std::get_if<double>(value)) {
      read.value = *d;
    } else if (const int32_t* i = std::get_if<int32_t>(value)) {
      read.value = *i;
    } else if (const int64_t* l = std::get_if<int64_t>(value)) {
      read.value = static_cast<double>(*l);
    } else {
      read.wrong_type = true;
    }
  }
  return read;
}

ArgRead<int32_t> ReadIntArgument(const flutter::EncodableValue* arguments, const char* key) {
  ArgRead<int32_t> read;
  if (const flutter::EncodableValue* value = FindArgument(arguments, key)) {
    if (const int32_t* i = std::get_if<int32_t>(value)) {
      read.value = *i;
    } else if (const int64_t* l = std::get_if<int64_t>(value)) {
      read.value = *l < INT32_MIN   ? INT32_MIN
                   : *l > INT32_MAX ? INT32_MAX
                                    : static_cast<int32_t>(*l);
    } else if (const double* d = std::get_if<double>(value)) {
      read.value = TruncateToInt(*d);
    } else {
      read.wrong_type = true;
    }
  }
  return read;
}
