#ifndef KESTRUNE_WINRT_EVENT_REGISTRATION_H_
#define KESTRUNE_WINRT_EVENT_REGISTRATION_H_

#include <windows.h>

#include <functional>
#include <utility>

#include "winrt/abi.h"
#include "winrt/com_ptr.h"

namespace winrt {

// One handler registered with an event; removes it with its token when it ends.
class EventRegistration {
 public:
  using Remover = std::function<void(EventRegistrationToken)>;

  EventRegistration() noexcept = default;
  EventRegistration(Remover remover, EventRegistrationToken token) noexcept
      : remover_(std::move(remover)), token_(token) {}
  ~EventRegistration() { reset(); }

  EventRegistration(EventRegistration&& other) noexcept
      : remover_(std::exchange(other.remover_, nullptr)), token_(other.token_) {}
  EventRegistration& operator=(EventRegistration&& other) noexcept {
    if (this != &other) {
      reset();
      remover_ = std::exchange(other.remover_, nullptr);
      token_ = other.token_;
    }
    return *this;
  }
  EventRegistration(const EventRegistration&) = delete;
  EventRegistration& operator=(const EventRegistration&) = delete;

  explicit operator bool() const noexcept { return static_cast<bool>(remover_); }

  // Removes the handler now; later calls do nothing.
  void reset() noexcept {
    if (Remover remover = std::exchange(remover_, nullptr)) {
      remover(token_);
    }
  }

 private:
  Remover remover_;
  EventRegistrationToken token_{};
};

// Registers |handler| through the source's add_ method |add|; on success
// |registration| removes it through the matching remove_ method |remove| and
// keeps |source| alive until then.
template <typename Source, typename Add, typename Remove, typename Handler>
HRESULT RegisterEvent(Source* source,
                      Add add,
                      Remove remove,
                      Handler* handler,
                      EventRegistration* registration) {
  EventRegistrationToken token{};
  HRESULT hr = (source->*add)(handler, &token);
  if (FAILED(hr)) {
    return hr;
  }
  *registration = EventRegistration(
      [owner = ComPtr<Source>::CopyFrom(source), remove](EventRegistrationToken registered) {
        (owner.get()->*remove)(registered);
      },
      token);
  return S_OK;
}

}  // namespace winrt

#endif  // KESTRUNE_WINRT_EVENT_REGISTRATION_H_
