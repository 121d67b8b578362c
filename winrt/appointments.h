#ifndef KESTRUNE_WINRT_APPOINTMENTS_H_
#define KESTRUNE_WINRT_APPOINTMENTS_H_

// Windows.ApplicationModel.Appointments, as far as the calendar sync reads it:
// the appointment manager's statics, the store and the appointment. mingw-w64
// ships none of this namespace. Each table is declared up to the last slot the
// calendar calls; the earlier slots keep their real signatures so the slot
// numbers stay right, with the types the calendar never touches as
// IInspectable.

#include <windows.h>
#include <inspectable.h>

#include <bit>
#include <cstdint>

#include "winrt/abi.h"
#include "winrt/collections.h"
#include "winrt/pinterface_iid.h"

namespace winrt {

inline constexpr wchar_t kAppointmentManagerClass[] =
    L"Windows.ApplicationModel.Appointments.AppointmentManager";

// AppointmentStoreAccessType.AllCalendarsReadOnly.
inline constexpr int32_t kAllCalendarsReadOnly = 1;

struct IAppointment : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_StartTime(DateTime* value) = 0;  // slot 6
  virtual HRESULT STDMETHODCALLTYPE put_StartTime(DateTime value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Duration(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Duration(TimeSpan value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Location(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Location(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Subject(HSTRING* value) = 0;  // slot 12
};

using AppointmentList = IVectorView<IAppointment*>;

struct IAppointmentStore : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_ChangeTracker(IInspectable** value) = 0;  // slot 6
  virtual HRESULT STDMETHODCALLTYPE CreateAppointmentCalendarAsync(HSTRING name,
                                                                   IInspectable** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAppointmentCalendarAsync(HSTRING calendar_id,
                                                                IInspectable** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAppointmentAsync(HSTRING local_id,
                                                        IInspectable** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAppointmentInstanceAsync(HSTRING local_id,
                                                                DateTime instance_start_time,
                                                                IInspectable** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindAppointmentCalendarsAsync(IInspectable** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  FindAppointmentCalendarsAsyncWithOptions(UINT32 options, IInspectable** result) = 0;
  // Slot 13: the appointments overlapping [range_start, range_start + range_length).
  virtual HRESULT STDMETHODCALLTYPE
  FindAppointmentsAsync(DateTime range_start,
                        TimeSpan range_length,
                        IAsyncOperation<AppointmentList*>** result) = 0;
};

struct IAppointmentManagerStatics2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE ShowAppointmentDetailsAsync(HSTRING appointment_id,
                                                                IInspectable** action) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  ShowAppointmentDetailsWithDateAsync(HSTRING appointment_id,
                                      DateTime instance_start_date,
                                      IInspectable** action) = 0;
  virtual HRESULT STDMETHODCALLTYPE ShowEditNewAppointmentAsync(IAppointment* appointment,
                                                                IInspectable** operation) = 0;
  // Slot 9; |access_type| is an AppointmentStoreAccessType.
  virtual HRESULT STDMETHODCALLTYPE
  RequestStoreAsync(int32_t access_type, IAsyncOperation<IAppointmentStore*>** operation) = 0;
};

inline constexpr GUID kIidAppointmentManagerStatics2{
    0x0a81f60d,
    0xd04f,
    0x4034,
    {0xaf, 0x72, 0xa3, 0x65, 0x73, 0xb4, 0x5f, 0xf0}};

// Type signatures of the generic instances, as the IID hash spells them.
#define KR_APPOINTMENT_STORE_SIG                                                        \
  "rc(Windows.ApplicationModel.Appointments.AppointmentStore;{a461918c-7a47-4d96-96c9-" \
  "15cd8a05a735})"
#define KR_APPOINTMENT_LIST_SIG                                                                 \
  "pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};rc(Windows.ApplicationModel.Appointments." \
  "Appointment;{dd002f2f-2bdd-4076-90a3-22c275312965}))"
#define KR_ASYNC_OPERATION_SIG(arg) "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};" arg ")"
#define KR_COMPLETED_HANDLER_SIG(arg) "pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};" arg ")"

inline constexpr char kAsyncStoreSignature[] = KR_ASYNC_OPERATION_SIG(KR_APPOINTMENT_STORE_SIG);
inline constexpr char kStoreHandlerSignature[] = KR_COMPLETED_HANDLER_SIG(KR_APPOINTMENT_STORE_SIG);
inline constexpr char kAppointmentListSignature[] = KR_APPOINTMENT_LIST_SIG;
inline constexpr char kAsyncListSignature[] = KR_ASYNC_OPERATION_SIG(KR_APPOINTMENT_LIST_SIG);
inline constexpr char kListHandlerSignature[] = KR_COMPLETED_HANDLER_SIG(KR_APPOINTMENT_LIST_SIG);

#undef KR_APPOINTMENT_STORE_SIG
#undef KR_APPOINTMENT_LIST_SIG
#undef KR_ASYNC_OPERATION_SIG
#undef KR_COMPLETED_HANDLER_SIG

// The published IIDs of these instances, against which the compiler checks the
// signatures.
static_assert(PinterfaceIid(kAsyncStoreSignature) ==
              Guid{0x63798415, 0x4d1f, 0x5fc7, {0x87, 0x29, 0x79, 0xa2, 0x82, 0xbc, 0xec, 0xa4}});
static_assert(PinterfaceIid(kStoreHandlerSignature) ==
              Guid{0xbccf6d2a, 0xab72, 0x5f23, {0xb7, 0xd5, 0x4c, 0x2c, 0x9b, 0xd4, 0x5b, 0x79}});
static_assert(PinterfaceIid(kAppointmentListSignature) ==
              Guid{0x61021758, 0x9e37, 0x5a86, {0xa8, 0x32, 0xaa, 0xb3, 0x1f, 0x32, 0x69, 0x2b}});
static_assert(PinterfaceIid(kAsyncListSignature) ==
              Guid{0xa6bb6962, 0xe2c1, 0x5da2, {0x99, 0x38, 0x15, 0xef, 0x82, 0xcb, 0xd1, 0xcc}});
static_assert(PinterfaceIid(kListHandlerSignature) ==
              Guid{0xf626345f, 0x7bfc, 0x5418, {0x9f, 0x47, 0xf1, 0xd8, 0x63, 0x06, 0xe0, 0x6b}});

// IIDs of the instances, computed by the compiler.
inline constexpr GUID kIidAsyncStore = std::bit_cast<GUID>(PinterfaceIid(kAsyncStoreSignature));
inline constexpr GUID kIidStoreHandler = std::bit_cast<GUID>(PinterfaceIid(kStoreHandlerSignature));
inline constexpr GUID kIidAppointmentList =
    std::bit_cast<GUID>(PinterfaceIid(kAppointmentListSignature));
inline constexpr GUID kIidAsyncList = std::bit_cast<GUID>(PinterfaceIid(kAsyncListSignature));
inline constexpr GUID kIidListHandler = std::bit_cast<GUID>(PinterfaceIid(kListHandlerSignature));

}  // namespace winrt

#endif  // KESTRUNE_WINRT_APPOINTMENTS_H_
