#include "tests/support/calendar_fakes.h"

#include <winstring.h>

#include "winrt/appointments.h"

namespace kr_test {
namespace {

using namespace winrt;

// clang-format off
#define KR_UNUSED_SLOT(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }
// clang-format on

// The statics, the store, both operations, the list and its appointments in one
// object: the store request completes at once, the search as the script says;
// as an appointment it is the one GetAt fetched last.
class FakeCalendar final : public FakeObject<FakeCalendar,
                                             IAppointmentManagerStatics2,
                                             IAsyncOperation<IAppointmentStore*>,
                                             IAppointmentStore,
                                             IAsyncOperation<AppointmentList*>,
                                             IAsyncInfo,
                                             AppointmentList,
                                             IAppointment> {
 public:
  FakeCalendar(FakeRuntimeLog* log, CalendarScript* script) : FakeObject(log), script_(script) {}
  void* Find(REFIID iid) {
    return iid == kIidAppointmentManagerStatics2
               ? static_cast<void*>(static_cast<IAppointmentManagerStatics2*>(this))
           : iid == kIidAsyncInfo ? static_cast<IAsyncInfo*>(this)
                                  : nullptr;
  }
  HRESULT STDMETHODCALLTYPE RequestStoreAsync(int32_t access,
                                              IAsyncOperation<IAppointmentStore*>** op) override {
    ++script_->requests;
    status_ = AsyncStatus::kCompleted;
    const HRESULT hr = access == kAllCalendarsReadOnly ? script_->request_error : E_INVALIDARG;
    return (*op = SUCCEEDED(hr) ? Ref(this) : nullptr, hr);
  }
  HRESULT STDMETHODCALLTYPE FindAppointmentsAsync(DateTime start,
                                                  TimeSpan length,
                                                  IAsyncOperation<AppointmentList*>** op) override {
    script_->range_start = start.universal_time;
    script_->range_length = length.duration;
    status_ = script_->search_pending ? AsyncStatus::kStarted : AsyncStatus::kCompleted;
    return (*op = Ref(this), S_OK);
  }
  HRESULT STDMETHODCALLTYPE
  put_Completed(AsyncOperationCompletedHandler<IAppointmentStore*>* handler) override {
    return Complete(handler, kIidStoreHandler, &store_handler_);
  }
  HRESULT STDMETHODCALLTYPE
  put_Completed(AsyncOperationCompletedHandler<AppointmentList*>* handler) override {
    const HRESULT hr = Complete(handler, kIidListHandler, &list_handler_);
    script_->search_waited = script_->search_pending && SUCCEEDED(hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetResults(IAppointmentStore** store) override {
    return (*store = Ref(this), S_OK);
  }
  HRESULT STDMETHODCALLTYPE GetResults(AppointmentList** list) override {
    return status_ == AsyncStatus::kCompleted ? (*list = Ref(this), S_OK) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override {
    return (*status = status_, S_OK);
  }
  HRESULT STDMETHODCALLTYPE Cancel() override {
    ++log_->cancel_calls;
    status_ = AsyncStatus::kCanceled;
    return list_handler_ ? list_handler_->Invoke(this, status_) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, IAppointment** item) override {
    return index < script_->found.size() ? (fetched_ = index, *item = Ref(this), S_OK)
                                         : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_StartTime(DateTime* value) override {
    return (*value = {script_->found[fetched_].second}, S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_Subject(HSTRING* value) override {
    const std::wstring& subject = script_->found[fetched_].first;
    *value = nullptr;
    return subject.empty() ? S_OK : ::WindowsCreateString(subject.c_str(), subject.size(), value);
  }
  HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
    return (*size = script_->found.size(), S_OK);
  }
  KR_UNUSED_SLOT(ShowAppointmentDetailsAsync, HSTRING, IInspectable**)
  KR_UNUSED_SLOT(ShowAppointmentDetailsWithDateAsync, HSTRING, DateTime, IInspectable**)
  KR_UNUSED_SLOT(ShowEditNewAppointmentAsync, IAppointment*, IInspectable**)
  KR_UNUSED_SLOT(get_ChangeTracker, IInspectable**)
  KR_UNUSED_SLOT(CreateAppointmentCalendarAsync, HSTRING, IInspectable**)
  KR_UNUSED_SLOT(GetAppointmentCalendarAsync, HSTRING, IInspectable**)
  KR_UNUSED_SLOT(GetAppointmentAsync, HSTRING, IInspectable**)
  KR_UNUSED_SLOT(GetAppointmentInstanceAsync, HSTRING, DateTime, IInspectable**)
  KR_UNUSED_SLOT(FindAppointmentCalendarsAsync, IInspectable**)
  KR_UNUSED_SLOT(FindAppointmentCalendarsAsyncWithOptions, UINT32, IInspectable**)
  KR_UNUSED_SLOT(get_Completed, AsyncOperationCompletedHandler<IAppointmentStore*>**)
  KR_UNUSED_SLOT(get_Completed, AsyncOperationCompletedHandler<AppointmentList*>**)
  KR_UNUSED_SLOT(get_Id, UINT32*)
  KR_UNUSED_SLOT(get_ErrorCode, HRESULT*)
  KR_UNUSED_SLOT(Close)
  KR_UNUSED_SLOT(IndexOf, IAppointment*, UINT32*, boolean*)
  KR_UNUSED_SLOT(GetMany, UINT32, UINT32, IAppointment**, UINT32*)
  KR_UNUSED_SLOT(put_StartTime, DateTime)
  KR_UNUSED_SLOT(get_Duration, TimeSpan*)
  KR_UNUSED_SLOT(put_Duration, TimeSpan)
  KR_UNUSED_SLOT(get_Location, HSTRING*)
  KR_UNUSED_SLOT(put_Location, HSTRING)

 private:
  template <typename T>
  T* Ref(T* self) {
    return (AddRef(), self);
  }
  // Keeps |handler| through the IID of its instance, as a marshalling runtime
  // asks for it, and calls it at once unless the operation still runs.
  template <typename Handler>
  HRESULT Complete(Handler* handler, REFIID iid, ComPtr<Handler>* kept) {
    HRESULT hr = handler->QueryInterface(iid, kept->put_void());
    return FAILED(hr) || status_ == AsyncStatus::kStarted ? hr : (*kept)->Invoke(this, status_);
  }

  CalendarScript* const script_;
  size_t fetched_ = 0;
  std::atomic<AsyncStatus> status_{AsyncStatus::kCompleted};
  ComPtr<AsyncOperationCompletedHandler<IAppointmentStore*>> store_handler_;
  ComPtr<AsyncOperationCompletedHandler<AppointmentList*>> list_handler_;
};

}  // namespace

ComPtr<IInspectable> MakeFakeAppointmentManager(CalendarScript* script) {
  ComPtr<IInspectable> manager;
  manager.attach(static_cast<IAppointmentManagerStatics2*>(
      FakeCalendar::Create(&script->log, script).detach()));
  return manager;
}

}  // namespace kr_test
