#include "tests/support/media_fakes.h"

#include <winstring.h>

namespace kr_test {

HRESULT Text(std::mutex& lock, const std::wstring& text, HSTRING* value) {
  std::lock_guard<std::mutex> guard(lock);
  return ::WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), value);
}

GUID Iid(const wchar_t* text) {
  GUID iid{};
  ::IIDFromString(text, &iid);
  return iid;
}

HRESULT FakeSession::get_SourceAppUserModelId(HSTRING* value) {
  return FAILED(id_error) ? id_error.load() : Text(lock, id_, value);
}

HRESULT FakeSession::Do(const char* command, mc::BoolOperation** operation) {
  std::lock_guard<std::mutex> guard(lock);
  commands.push_back(command);
  return Hand<mc::BoolOperation>(this, operation);
}

template <typename Done>
HRESULT FakeSession::Complete(Done* handler, const wchar_t* iid) {
  ComPtr<Done> held;
  HRESULT hr = handler->QueryInterface(Iid(iid), held.put_void());
  if (FAILED(hr)) {
    return hr;
  }
  auto invoke = [held, self = ComPtr<FakeSession>::CopyFrom(this)] {
    held->Invoke(self.get(), winrt::AsyncStatus::kCompleted);
  };
  std::unique_lock<std::mutex> guard(lock);
  if (hold) {
    held_.push_back(invoke);
  } else {
    guard.unlock();
    invoke();
  }
  return S_OK;
}

int FakeSession::Held() {
  std::lock_guard<std::mutex> guard(lock);
  return static_cast<int>(held_.size());
}

void FakeSession::ReleaseHeld() {
  std::unique_lock<std::mutex> guard(lock);
  std::vector<std::function<void()>> ready = std::move(held_);
  held_.clear();
  guard.unlock();
  for (auto& invoke : ready) {
    invoke();
  }
}

// A canceled operation's handler is dropped: the waiter has given up on it.
HRESULT FakeSession::Cancel() {
  std::unique_lock<std::mutex> guard(lock);
  std::vector<std::function<void()>> dropped = std::move(held_);
  held_.clear();
  guard.unlock();
  return S_OK;
}

void* FakeManager::Find(REFIID iid) {
  if (iid == winrt::kIidAsyncInfo) {
    return static_cast<winrt::IAsyncInfo*>(this);
  }
  return iid == Iid(L"{2050c4ee-11a0-57de-aed7-c97c70338245}")
             ? static_cast<mc::IManagerStatics*>(this)
             : nullptr;
}

HRESULT FakeManager::GetCurrentSession(mc::ISession** result) {
  std::lock_guard<std::mutex> guard(lock);
  *result = current ? ComPtr<mc::ISession>::CopyFrom(current.get()).detach() : nullptr;
  return S_OK;
}

HRESULT FakeManager::GetAt(UINT32 index, mc::ISession** item) {
  std::lock_guard<std::mutex> guard(lock);
  if (index >= sessions.size()) {
    return static_cast<HRESULT>(0x8000000B);  // E_BOUNDS
  }
  *item = ComPtr<mc::ISession>::CopyFrom(sessions[index].get()).detach();
  return S_OK;
}

HRESULT FakeManager::get_Size(UINT32* size) {
  std::lock_guard<std::mutex> guard(lock);
  *size = static_cast<UINT32>(sessions.size());
  return S_OK;
}

HRESULT FakeManager::put_Completed(Done* handler) {
  ComPtr<Done> held;
  HRESULT hr =
      handler->QueryInterface(Iid(L"{10f0074e-923d-5510-8f4a-dde37754ca0e}"), held.put_void());
  return FAILED(hr) ? hr : held->Invoke(this, winrt::AsyncStatus::kCompleted);
}

HRESULT FakeManager::GetResults(mc::IManager** results) {
  std::lock_guard<std::mutex> guard(lock);
  *results = request_null ? nullptr : ComPtr<mc::IManager>::CopyFrom(this).detach();
  return S_OK;
}

}  // namespace kr_test
