#ifndef KESTRUNE_WINRT_PINTERFACE_IID_H_
#define KESTRUNE_WINRT_PINTERFACE_IID_H_

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "winrt/guid.h"
#include "winrt/sha1.h"

// Instances of generic Windows Runtime interfaces and delegates
// (IAsyncOperation<T>, TypedEventHandler<A, B>, IVectorView<T>...) have no IID
// in any header: the IID is the RFC 4122 version-5 UUID of the instance's type
// signature, e.g. "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};b1)", in
// the namespace 11f47ad5-7b73-42c0-abae-878b1e16adee.

// The IID of the generic instance whose type signature is |signature| (UTF-8,
// exactly as the type system spells it: lower-case braced GUIDs, no spaces).
constexpr Guid PinterfaceIid(std::string_view signature) {
  // The namespace GUID in RFC 4122 (big-endian) byte order.
  constexpr std::array<uint8_t, 16> kNamespace = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                                  0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};
  Sha1 hasher;
  hasher.Update(kNamespace);
  hasher.Update(signature);
  const Sha1Digest h = hasher.Digest();

  // The first 16 digest bytes read as a big-endian GUID, then stamped with
  // version 5 and the RFC 4122 variant.
  Guid iid{};
  iid.data1 = uint32_t{h[0]} << 24 | uint32_t{h[1]} << 16 | uint32_t{h[2]} << 8 | uint32_t{h[3]};
  iid.data2 = static_cast<uint16_t>(h[4] << 8 | h[5]);
  iid.data3 = static_cast<uint16_t>(((h[6] << 8 | h[7]) & 0x0fff) | 0x5000);
  for (int i = 0; i < 8; ++i) {
    iid.data4[i] = h[8 + i];
  }
  iid.data4[0] = static_cast<uint8_t>((iid.data4[0] & 0x3f) | 0x80);
  return iid;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower case, without braces.
std::string GuidText(const Guid& guid);

// Type-signature builders. A |*_iid_text| argument is a hyphenated GUID
// without braces in either case; the builders write it lower-case in braces,
// as the hash expects.

// "pinterface({piid};arg1;arg2...)": an instance of a generic interface or of a
// generic delegate. Each argument is already a signature ("b1", "string", the
// result of another builder...).
std::string PinterfaceSignature(std::string_view piid_text,
                                std::initializer_list<std::string_view> args);

// "rc(Full.Class.Name;{iid})": a runtime class argument, named with its default
// interface. When that default interface is itself a generic instance, pass its
// "pinterface(...)" signature instead of an IID text; it is copied unchanged.
std::string RuntimeClassSignature(std::string_view class_name, std::string_view default_iid_text);

// "{iid}": a non-generic interface argument.
std::string InterfaceSignature(std::string_view iid_text);

// "enum(Full.Enum.Name;i4)", or ";u4)" for a [flags] enum.
std::string EnumSignature(std::string_view enum_name, bool flags = false);

#endif  // KESTRUNE_WINRT_PINTERFACE_IID_H_
