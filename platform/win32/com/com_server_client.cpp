#include "platform/win32/com/com_server_client.h"

#include <windows.h>
#include <wrl/client.h>

#include <array>

#include "platform/text.h"
#include "platform/win32/com/dispatch_call.h"
#include "platform/win32/com/other_bitness.h"
#include "platform/win32/system_error.h"

namespace quorel::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// The client object's interface, and the interface of the objects it opens.
constexpr IID kClientIid = {
    0xA98252EA, 0x17D9, 0x11D1, {0xA1, 0x81, 0x00, 0x00, 0xF8, 0x77, 0x3C, 0xDC}};
constexpr IID kObjectIid = {
    0x4FF34438, 0x4C87, 0x11D1, {0xA2, 0x04, 0x00, 0x00, 0xF8, 0x77, 0x3C, 0xDC}};

// The client object's members by dispatch id.
constexpr DISPID kConnect = 1;
constexpr DISPID kDisconnect = 2;
constexpr DISPID kOpenId = 7;
constexpr DISPID kIsConnected = 10;

// A call whose result is used, made as late binding makes it: method or property alike.
constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

std::string Quoted(std::u16string_view text) {
  return "„" + text::ToUtf8(text) + "“";
}

// "Objekt „1||ABC“ der Klasse „MX.ParPersEdv“"
std::string ObjectName(std::u16string_view className, std::u16string_view id) {
  return "Objekt " + Quoted(id) + " der Klasse " + Quoted(className);
}

// "32-Bit"
std::string Bits(int bits) {
  return std::to_string(bits) + "-Bit";
}

// The class is there, but only for programs of the other bitness, and nothing runs it out of
// process: what is registered, and which build of the program can use it.
[[noreturn]] void ThrowOtherBitness(std::u16string_view progId,
                                    const OtherBitnessRegistration& other) {
  const std::string own = Bits(kOwnBits), theirs = Bits(kOtherBits);
  const std::string why =
      other.surrogate ? "Der für ihn eingerichtete DLL-Surrogat kann ihn nicht ausführen."
                      : "Kein DLL-Surrogat ist für ihn eingerichtet, der ihn in einem eigenen "
                        "Prozess ausführen könnte.";
  throw platform::ServerError(
      "Der Datenbank-Client ist nur für " + theirs + "-Programme registriert: Das Client-Objekt " +
      Quoted(progId) + " (Klasse " + text::ToUtf8(other.classIdText) + ", Bibliothek " +
      Quoted(other.library) + ") kann in diesem " + own + "-Programm nicht geladen werden. " + why +
      " Verwenden Sie das " + theirs + "-Quorel, oder installieren Sie den Datenbank-Client " +
      "für " + own + "-Programme.");
}

// Creating the object failed because the class is not there: not registered, or its library
// is missing.
bool MeansNotInstalled(HRESULT status) {
  switch (status) {
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
    case REGDB_E_KEYMISSING:
    case CO_E_DLLNOTFOUND:
    case CO_E_APPNOTFOUND:
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
      return true;
    default:
      return false;
  }
}

class ComServerObject final : public platform::ServerObject {
 public:
  ComServerObject(ComPtr<IDispatch> object, std::u16string className, std::u16string id)
      : object_(std::move(object)), className_(std::move(className)), id_(std::move(id)) {}

  std::u16string Property(std::u16string_view name) override {
    const std::string missing = "Das " + Name() + " hat keine Eigenschaft " + Quoted(name) + ".";
    const auto id = DispatchId(*object_.Get(), name);
    if (!id) throw platform::PropertyNotFoundError(missing);
    try {
      return VariantText(*Invoke(*object_.Get(), *id, kGet));
    } catch (const DispatchError& error) {
      if (error.code() == DISP_E_MEMBERNOTFOUND) throw platform::PropertyNotFoundError(missing);
      throw platform::ServerError("Die Eigenschaft " + Quoted(name) + " (" + Name() +
                                  ") kann nicht als Text gelesen werden: " + error.reason());
    }
  }

  void Call(std::u16string_view method) override {
    const auto id = DispatchId(*object_.Get(), method);
    if (!id)
      throw platform::ServerError("Das " + Name() + " hat keine Methode " + Quoted(method) + ".");
    try {
      Invoke(*object_.Get(), *id, DISPATCH_METHOD);
    } catch (const DispatchError& error) {
      throw platform::ServerError("Die Methode " + Quoted(method) + " (" + Name() +
                                  ") ist fehlgeschlagen: " + error.reason());
    }
  }

 private:
  std::string Name() const { return ObjectName(className_, id_); }

  ComPtr<IDispatch> object_;
  std::u16string className_;
  std::u16string id_;
};

class ComServerClient final : public platform::ServerClient {
 public:
  // recordIid: the interface asked of the objects the client opens, the vendor's or, out of
  // process without the vendor's type library, the plain dispatch interface.
  ComServerClient(ComPtr<IDispatch> client, const IID& recordIid)
      : client_(std::move(client)), recordIid_(recordIid) {}

  bool Connect(std::u16string_view connectString) override {
    try {
      Bstr text(connectString);
      std::array<VARIANTARG, 1> arguments{};
      V_VT(&arguments[0]) = VT_BYREF | VT_BSTR;
      V_BSTRREF(&arguments[0]) = text.address();
      return VariantTruth(*Invoke(*client_.Get(), kConnect, kGet, arguments));
    } catch (const DispatchError& error) {
      throw platform::ServerError("Die Verbindung zum Server kann nicht aufgebaut werden: " +
                                  error.reason());
    }
  }

  bool IsConnected() override {
    try {
      return VariantTruth(*Invoke(*client_.Get(), kIsConnected, kGet));
    } catch (const DispatchError& error) {
      throw platform::ServerError(
          "Der Datenbank-Client kann nicht sagen, ob er mit dem Server verbunden ist: " +
          error.reason());
    }
  }

  void Disconnect() override {
    try {
      Invoke(*client_.Get(), kDisconnect, DISPATCH_METHOD);
    } catch (const DispatchError& error) {
      throw platform::ServerError("Die Verbindung zum Server kann nicht getrennt werden: " +
                                  error.reason());
    }
  }

  std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                 std::u16string_view id) override {
    const std::string failed = "Das " + ObjectName(className, id) + " kann nicht geöffnet werden: ";
    Bstr classText(className), idText(id);
    std::array<VARIANTARG, 2> arguments{};  // last argument first
    V_VT(&arguments[0]) = VT_BSTR;
    V_BSTR(&arguments[0]) = idText.get();
    V_VT(&arguments[1]) = VT_BSTR;
    V_BSTR(&arguments[1]) = classText.get();
    ComPtr<IDispatch> object;
    try {
      object = ObjectOf(Invoke(*client_.Get(), kOpenId, kGet, arguments), failed);
    } catch (const DispatchError& error) {
      // Whether the failure is the missing connection is for the client object to say.
      ThrowIfNotConnected(failed);
      throw platform::ServerError(failed + error.reason());
    }
    if (!object) {
      ThrowIfNotConnected(failed);
      throw platform::ObjectNotFoundError("Das " + ObjectName(className, id) + " gibt es nicht.");
    }
    return std::make_unique<ComServerObject>(std::move(object), std::u16string(className),
                                             std::u16string(id));
  }

 private:
  void ThrowIfNotConnected(const std::string& failed) {
    if (!IsConnected()) throw platform::NotConnectedError(failed + "Keine Verbindung zum Server.");
  }

  // The object interface of what an open returned; nothing for an empty handle.
  ComPtr<IDispatch> ObjectOf(Variant result, const std::string& failed) const {
    Variant value;
    if (const HRESULT status = VariantCopyInd(value.get(), result.get()); FAILED(status))
      throw DispatchError(status);
    IUnknown* unknown = nullptr;
    switch (V_VT(value.get())) {
      case VT_EMPTY:
      case VT_NULL:
        return nullptr;
      case VT_DISPATCH:
        unknown = V_DISPATCH(value.get());
        break;
      case VT_UNKNOWN:
        unknown = V_UNKNOWN(value.get());
        break;
      default:
        throw platform::ServerError(failed +
                                    "Der Datenbank-Client hat statt eines Objekts einen Wert vom "
                                    "Variant-Typ " +
                                    std::to_string(V_VT(value.get())) + " geliefert.");
    }
    if (unknown == nullptr) return nullptr;
    ComPtr<IDispatch> object;
    if (const HRESULT status =
            unknown->QueryInterface(recordIid_, reinterpret_cast<void**>(object.GetAddressOf()));
        FAILED(status))
      throw platform::ServerError(failed +
                                  "Es bietet die Objektschnittstelle des Datenbank-Clients nicht "
                                  "an. " +
                                  HresultMessage(status));
    return object;
  }

  ComPtr<IDispatch> client_;
  IID recordIid_;
};

}  // namespace

ComServerClientFactory::ComServerClientFactory(std::u16string progId)
    : progId_(std::move(progId)) {}

std::unique_ptr<platform::ServerClient> ComServerClientFactory::Create() {
  const std::wstring progId(progId_.begin(), progId_.end());
  const auto fail = [&](HRESULT status, const CLSID* classId) {
    if (MeansNotInstalled(status)) {
      if (const auto other = OtherBitnessClass(progId_, classId))
        ThrowOtherBitness(progId_, *other);
      throw platform::ServerError(
          "Der Datenbank-Client ist nicht installiert: Das Client-Objekt " + Quoted(progId_) +
          " ist auf diesem Rechner nicht registriert, oder seine Bibliothek fehlt. " +
          HresultMessage(status));
    }
    throw platform::ServerError(
        "Das Client-Objekt " + Quoted(progId_) +
        " des Datenbank-Clients kann nicht erzeugt werden: " + HresultMessage(status));
  };
  CLSID clsid{};
  if (const HRESULT status = CLSIDFromProgID(progId.c_str(), &clsid); FAILED(status)) {
    // Registered for programs of the other bitness only: the system may still run it in a
    // surrogate; the class id is then that of the other view.
    const auto other = OtherBitnessClass(progId_, nullptr);
    if (!other) fail(status, nullptr);
    if (!other->surrogate) ThrowOtherBitness(progId_, *other);
    clsid = other->classId;
  }
  // In process when the library is of this program's bitness; otherwise a local server or a
  // surrogate of the other bitness that the system starts for it.
  ComPtr<IUnknown> object;
  if (const HRESULT status =
          CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                           reinterpret_cast<void**>(object.GetAddressOf()));
      FAILED(status))
    fail(status, &clsid);
  ComPtr<IDispatch> client;
  if (SUCCEEDED(
          object->QueryInterface(kClientIid, reinterpret_cast<void**>(client.GetAddressOf()))))
    return std::make_unique<ComServerClient>(std::move(client), kObjectIid);
  // Out of process, the vendor's interface reaches this program only where the vendor's type
  // library is registered for its bitness; the plain dispatch interface always does, and the
  // calls by dispatch id are the same on it.
  ComPtr<IClientSecurity> proxy;
  HRESULT status =
      object->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(proxy.GetAddressOf()));
  if (SUCCEEDED(status))
    status = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(client.GetAddressOf()));
  if (SUCCEEDED(status)) return std::make_unique<ComServerClient>(std::move(client), IID_IDispatch);
  throw platform::ServerError("Das Client-Objekt " + Quoted(progId_) +
                              " bietet die Schnittstelle des Datenbank-Clients nicht an; der "
                              "installierte Datenbank-Client passt nicht zu diesem Programm. " +
                              HresultMessage(E_NOINTERFACE));
}

}  // namespace quorel::win32
