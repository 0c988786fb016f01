#include "platform/win32/com/com_apartment.h"

#include <objbase.h>

#include <stdexcept>

#include "platform/win32/system_error.h"

namespace quorel::win32 {

ComApartment::ComApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // S_FALSE: already initialised on this thread, which still counts and must be undone.
  // RPC_E_CHANGED_MODE: the thread is in the multi-threaded apartment, where COM works too.
  if (result == RPC_E_CHANGED_MODE) return;
  if (FAILED(result))
    throw std::runtime_error("COM kann nicht initialisiert werden: " + HresultMessage(result));
  initialised_ = true;
}

ComApartment::~ComApartment() {
  if (initialised_) CoUninitialize();
}

}  // namespace quorel::win32
