// quillo_fake_shell.dll: a stand-in for the shell's window list, as an
// in-process COM server registered in a test prefix under the ShellWindows
// class id. Wine's own list cannot be walked, so the test scripts this one
// and the program reaches it through the real COM runtime.
//
// %QUILLO_FAKE_SHELL_SCRIPT% names a UTF-8 file, read at every creation,
// one line each:
//   create-fails CODE          the creation itself fails
//   no-list                    the object created lacks IShellWindows
//   count-fails CODE [TEXT]    Count fails, leaving TEXT as the error's description
//   window URL                 a browser window showing URL
//   window-without-browser     a window that lacks IWebBrowser2
//   window-closed              Item answers S_FALSE and no window
//   item-fails CODE [TEXT]     Item fails for the window at this place
//   url-fails CODE [TEXT]      a browser window whose LocationURL fails
// CODE is hexadecimal; TEXT may hold \r, \n and \t. Every call and every
// change in the number of live objects is appended to %QUILLO_FAKE_SHELL_LOG%
// ("count", "item 2 vt 3", "url 2", "live 0", ...).
//
// Only what the program uses works; every other method answers E_NOTIMPL.

#include <windows.h>

#include <exdisp.h>
#include <oaidl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// {9BA05972-F6A8-11CF-A442-00A0C90A8F39}
const CLSID kShellWindows = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
// {85CB6900-4D95-11CF-960C-0080C7F4EE85}
const IID kIShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
// {D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}
const IID kIWebBrowser2 = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

LONG live = 0;

std::wstring Variable(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

void Log(const std::string& line) {
  const std::wstring path = Variable(L"QUILLO_FAKE_SHELL_LOG");
  if (path.empty()) return;
  std::FILE* file = _wfopen(path.c_str(), L"ab");
  if (file == nullptr) return;
  std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
}

void Born() { Log("live " + std::to_string(InterlockedIncrement(&live))); }
void Died() { Log("live " + std::to_string(InterlockedDecrement(&live))); }

std::wstring Utf16(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                          static_cast<int>(utf8.size()), out.data(),
                                                          static_cast<int>(out.size()))));
  return out;
}

struct Outcome {
  HRESULT code = S_OK;
  std::wstring description;  // left in the thread's error information
};

// Sets the thread's error information as a failing object would.
HRESULT Fail(const Outcome& outcome) {
  SetErrorInfo(0, nullptr);
  ICreateErrorInfo* create = nullptr;
  if (!outcome.description.empty() && SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetDescription(const_cast<LPOLESTR>(outcome.description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return outcome.code;
}

struct Window {
  enum Kind { kBrowser, kWithoutBrowser, kClosed, kItemFails, kUrlFails } kind = kBrowser;
  std::wstring url;
  Outcome failure;
};

struct Script {
  Outcome create;
  bool noList = false;
  Outcome count;
  std::vector<Window> windows;
};

Outcome ParseOutcome(std::istringstream& words) {
  Outcome outcome;
  std::string code;
  words >> code;
  outcome.code = static_cast<HRESULT>(std::stoul(code, nullptr, 16));
  std::string text;
  std::getline(words, text);
  if (!text.empty() && text[0] == ' ') text.erase(0, 1);
  std::string unescaped;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      unescaped += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      unescaped += text[i];
    }
  }
  outcome.description = Utf16(unescaped);
  return outcome;
}

Script ReadScript() {
  Script script;
  std::ifstream file(Variable(L"QUILLO_FAKE_SHELL_SCRIPT").c_str(), std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    Window window;
    if (verb == "create-fails") {
      script.create = ParseOutcome(words);
    } else if (verb == "no-list") {
      script.noList = true;
    } else if (verb == "count-fails") {
      script.count = ParseOutcome(words);
    } else if (verb == "window") {
      std::string url;
      words >> url;
      window.url = Utf16(url);
      script.windows.push_back(window);
    } else if (verb == "window-without-browser") {
      window.kind = Window::kWithoutBrowser;
      script.windows.push_back(window);
    } else if (verb == "window-closed") {
      window.kind = Window::kClosed;
      script.windows.push_back(window);
    } else if (verb == "item-fails" || verb == "url-fails") {
      window.kind = verb == "item-fails" ? Window::kItemFails : Window::kUrlFails;
      window.failure = ParseOutcome(words);
      script.windows.push_back(window);
    }
  }
  return script;
}

// A COM object with a vtable of `slots` entries, all E_NOTIMPL but for
// IUnknown's three and the few a subclass fills in. On x64 every method
// shares one calling convention and the caller cleans up, so one stub can
// stand for methods of any signature.
HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

class Object {
 public:
  Object(std::size_t slots, std::vector<IID> interfaces)
      : table_(slots, reinterpret_cast<void*>(&NotImplemented)),
        interfaces_(std::move(interfaces)) {
    table_[0] = reinterpret_cast<void*>(&QueryInterfaceThunk);
    table_[1] = reinterpret_cast<void*>(&AddRefThunk);
    table_[2] = reinterpret_cast<void*>(&ReleaseThunk);
    interface_ = {table_.data(), this};
    Born();
  }
  virtual ~Object() { Died(); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  IUnknown* unknown() { return reinterpret_cast<IUnknown*>(&interface_); }

 protected:
  // What a COM pointer points at: the vtable first, then its object.
  struct Interface {
    void** vtable;
    Object* object;
  };
  static Object* From(void* self) { return static_cast<Interface*>(self)->object; }

  std::vector<void*> table_;

 private:
  static HRESULT STDMETHODCALLTYPE QueryInterfaceThunk(void* self, REFIID iid, void** out) {
    Object* object = From(self);
    *out = nullptr;
    if (iid == IID_IUnknown) *out = self;
    for (const IID& known : object->interfaces_) {
      if (iid == known) *out = self;
    }
    if (*out == nullptr) return E_NOINTERFACE;
    InterlockedIncrement(&object->references_);
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE AddRefThunk(void* self) {
    return static_cast<ULONG>(InterlockedIncrement(&From(self)->references_));
  }
  static ULONG STDMETHODCALLTYPE ReleaseThunk(void* self) {
    Object* object = From(self);
    const LONG left = InterlockedDecrement(&object->references_);
    if (left == 0) delete object;
    return static_cast<ULONG>(left);
  }

  Interface interface_{};
  LONG references_ = 1;
  std::vector<IID> interfaces_;
};

// IWebBrowser2: IUnknown 3, IDispatch 4, IWebBrowser 25, IWebBrowserApp 20,
// IWebBrowser2 19 methods; get_LocationURL is IWebBrowser's 24th.
constexpr std::size_t kBrowserSlots = 3 + 4 + 25 + 20 + 19;
constexpr std::size_t kLocationUrlSlot = 3 + 4 + 23;

class Browser final : public Object {
 public:
  Browser(int index, const Window& window)
      : Object(kBrowserSlots, window.kind == Window::kWithoutBrowser
                                  ? std::vector<IID>{IID_IDispatch}
                                  : std::vector<IID>{IID_IDispatch, kIWebBrowser2}),
        index_(index),
        window_(window) {
    table_[kLocationUrlSlot] = reinterpret_cast<void*>(&LocationUrl);
  }

 private:
  static HRESULT STDMETHODCALLTYPE LocationUrl(void* self, BSTR* url) {
    auto* browser = static_cast<Browser*>(From(self));
    Log("url " + std::to_string(browser->index_));
    *url = nullptr;
    if (browser->window_.kind == Window::kUrlFails) return Fail(browser->window_.failure);
    *url = SysAllocString(browser->window_.url.c_str());
    return S_OK;
  }

  int index_;
  Window window_;
};

// IShellWindows: IUnknown 3, IDispatch 4, then Count, Item and nine more.
constexpr std::size_t kListSlots = 3 + 4 + 11;
constexpr std::size_t kCountSlot = 7;
constexpr std::size_t kItemSlot = 8;

class List final : public Object {
 public:
  explicit List(Script script)
      : Object(kListSlots, script.noList ? std::vector<IID>{IID_IDispatch}
                                         : std::vector<IID>{IID_IDispatch, kIShellWindows}),
        script_(std::move(script)) {
    table_[kCountSlot] = reinterpret_cast<void*>(&Count);
    table_[kItemSlot] = reinterpret_cast<void*>(&Item);
  }

 private:
  static HRESULT STDMETHODCALLTYPE Count(void* self, LONG* count) {
    auto* list = static_cast<List*>(From(self));
    Log("count");
    if (FAILED(list->script_.count.code)) return Fail(list->script_.count);
    *count = static_cast<LONG>(list->script_.windows.size());
    return S_OK;
  }

  static HRESULT STDMETHODCALLTYPE Item(void* self, VARIANT index, IDispatch** folder) {
    auto* list = static_cast<List*>(From(self));
    *folder = nullptr;
    const int at = index.vt == VT_I4 ? static_cast<int>(index.lVal) : -1;
    Log("item " + std::to_string(at) + " vt " + std::to_string(index.vt));
    if (at < 0 || at >= static_cast<int>(list->script_.windows.size())) return S_FALSE;
    const Window& window = list->script_.windows[static_cast<std::size_t>(at)];
    if (window.kind == Window::kItemFails) return Fail(window.failure);
    if (window.kind == Window::kClosed) return S_FALSE;
    *folder = reinterpret_cast<IDispatch*>((new Browser(at, window))->unknown());
    return S_OK;
  }

  Script script_;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the DLL
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    Log("create");
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Script script = ReadScript();
    if (FAILED(script.create.code)) return Fail(script.create);
    IUnknown* list = (new List(std::move(script)))->unknown();
    const HRESULT result = list->QueryInterface(iid, out);
    list->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, void**);

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != kShellWindows) {
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory.QueryInterface(iid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return live == 0 ? S_OK : S_FALSE;
}

}  // extern "C"
