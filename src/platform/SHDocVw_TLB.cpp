#include "platform/SHDocVw_TLB.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/Codepage.h"
#include "platform/OpenTabList.h"
#include "platform/ShellWindows.h"
#include "platform/browser/BrowserSessions.h"

namespace quillo::shdocvw {
namespace {

// Holds one reference to a COM object and releases it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* object) : object_(object) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (object_ != nullptr) object_->Release();
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T** put() { return &object_; }  // only on an empty ComRef
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// The message area's size: a text that does not fit is not fetched.
constexpr DWORD kMessageArea = 256;

// What a failed call left in the thread's error information. It is cleared
// before every call, so an older error's text is never taken for this one.
std::string TakeErrorDescription() {
  ComRef<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  BSTR description = nullptr;
  if (FAILED(info->GetDescription(&description)) || description == nullptr) return {};
  const std::u16string text(reinterpret_cast<const char16_t*>(description),
                            SysStringLen(description));
  SysFreeString(description);
  return cp932::FromUtf16(text);
}

void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

shell::CallResult Outcome(HRESULT result) {
  shell::CallResult outcome;
  outcome.code = static_cast<std::int32_t>(result);
  if (outcome.failed()) outcome.description = TakeErrorDescription();
  return outcome;
}

class Browser final : public shell::WebBrowser {
 public:
  explicit Browser(IWebBrowser2* browser) : browser_(browser) {}

  shell::CallResult locationUrl(std::u16string& url) override {
    ClearErrorInfo();
    BSTR location = nullptr;
    const HRESULT result = browser_->get_LocationURL(&location);
    if (location != nullptr) {
      url.assign(reinterpret_cast<const char16_t*>(location), SysStringLen(location));
      SysFreeString(location);
    }
    return Outcome(result);
  }

 private:
  ComRef<IWebBrowser2> browser_;
};

class Window final : public shell::ShellItem {
 public:
  explicit Window(IDispatch* window) : window_(window) {}

  std::unique_ptr<shell::WebBrowser> browser() override {
    IWebBrowser2* browser = nullptr;
    if (FAILED(window_->QueryInterface(kIidIWebBrowser2, reinterpret_cast<void**>(&browser))) ||
        browser == nullptr) {
      return nullptr;
    }
    return std::make_unique<Browser>(browser);
  }

 private:
  ComRef<IDispatch> window_;
};

class WindowList final : public shell::ShellWindowList {
 public:
  explicit WindowList(IShellWindows* list) : list_(list) {}

  shell::CallResult count(std::int32_t& count) override {
    ClearErrorInfo();
    long value = 0;
    const HRESULT result = list_->get_Count(&value);
    count = static_cast<std::int32_t>(value);
    return Outcome(result);
  }

  shell::CallResult item(std::int32_t index, std::unique_ptr<shell::ShellItem>& item) override {
    VARIANT position;
    VariantInit(&position);
    V_VT(&position) = VT_I4;
    V_I4(&position) = index;
    ClearErrorInfo();
    IDispatch* window = nullptr;
    const HRESULT result = list_->Item(position, &window);
    // The shell answers S_FALSE and no window for one that has just closed.
    if (window != nullptr) item = std::make_unique<Window>(window);
    return Outcome(result);
  }

 private:
  ComRef<IShellWindows> list_;
};

class WindowsShell final : public shell::ShellApi {
 public:
  // Today's shell lists File Explorer windows only: the running browsers'
  // tabs follow its windows.
  std::size_t listCount() override { return 2; }

  shell::CallResult createWindowList(std::size_t index,
                                     std::unique_ptr<shell::ShellWindowList>& list) override {
    if (index > 0) {
      list = shell::MakeOpenTabList([] { return browser::ListOpenTabs(); });
      return {};
    }
    IShellWindows* windows = nullptr;
    const HRESULT result = CoShellWindows::Create(&windows);
    if (windows != nullptr) list = std::make_unique<WindowList>(windows);
    // A creation's failure is told by its code alone.
    shell::CallResult outcome;
    outcome.code = static_cast<std::int32_t>(result);
    return outcome;
  }

  std::string systemMessage(std::int32_t code) override {
    char area[kMessageArea] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, area, kMessageArea, nullptr);
    // The text is in the system's ANSI code page, which is 932 only on a
    // Japanese system.
    return cp932::FromLocale(std::string_view(area, length));
  }

  std::string toCodePage(std::u16string_view address) override { return cp932::FromUtf16(address); }
};

}  // namespace

HRESULT CoShellWindows::Create(IShellWindows** list) {
  *list = nullptr;
  ComRef<IUnknown> object;
  const HRESULT result = CoCreateInstance(kClassShellWindows, nullptr, kShellWindowsContext,
                                          kIidIUnknown, reinterpret_cast<void**>(object.put()));
  if (FAILED(result) || !object) return result;
  if (FAILED(object->QueryInterface(kIidIShellWindows, reinterpret_cast<void**>(list)))) {
    *list = nullptr;
  }
  return result;
}

}  // namespace quillo::shdocvw

namespace quillo::shell {

ShellApi& SystemShell() {
  static shdocvw::WindowsShell api;
  return api;
}

}  // namespace quillo::shell
