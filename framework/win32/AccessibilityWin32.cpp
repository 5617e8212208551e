// What screen readers get from the Win32 backend beyond the dialog manager's
// own: a control's name and description set through the system's annotation
// service, where the template's control order does not put the right text
// before it, and the status line, marked live and announced on change.
#include <windows.h>
// after windows.h, which they need
#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <string>

#include "AfxBackend.h"
#include "AnnotationCallsWin32.h"
#include "BackendWin32.h"

using namespace afxwin32;

const GUID kAnnotationName = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
const GUID kAnnotationDescription = {
    0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};
const GUID kAnnotationLiveSetting = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};

namespace {

const CLSID kAccPropServicesClass = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID kAccPropServicesInterface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};

constexpr DWORD kOwnObject = static_cast<DWORD>(OBJID_CLIENT);

// The service, made on first use on the user-interface thread and kept for
// the program's life; nullptr where the system has none.
IAccPropServices* Service() {
  static IAccPropServices* const service = []() -> IAccPropServices* {
    // COM for this thread; an apartment that someone else chose serves too.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    void* made = nullptr;
    if (FAILED(CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                kAccPropServicesInterface, &made))) {
      return nullptr;
    }
    return static_cast<IAccPropServices*>(made);
  }();
  return service;
}

HRESULT SystemSetText(HWND hWnd, const GUID& property, const wchar_t* text) {
  IAccPropServices* service = Service();
  if (!service) return E_NOINTERFACE;
  return service->SetHwndPropStr(hWnd, kOwnObject, CHILDID_SELF, property, text);
}

HRESULT SystemSetNumber(HWND hWnd, const GUID& property, int value) {
  IAccPropServices* service = Service();
  if (!service) return E_NOINTERFACE;
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  return service->SetHwndProp(hWnd, kOwnObject, CHILDID_SELF, property, number);
}

HRESULT SystemClear(HWND hWnd, const GUID* properties, int count) {
  IAccPropServices* service = Service();
  if (!service) return E_NOINTERFACE;
  return service->ClearHwndProps(hWnd, kOwnObject, CHILDID_SELF, properties, count);
}

const AnnotationCalls kSystemCalls = {SystemSetText, SystemSetNumber, SystemClear, NotifyWinEvent};
const AnnotationCalls* g_calls = &kSystemCalls;

void Remember(HWND control) {
  DialogState* state = StateOf(GetParent(control));
  if (state && std::find(state->annotated.begin(), state->annotated.end(), control) ==
                   state->annotated.end()) {
    state->annotated.push_back(control);
  }
}

}  // namespace

const AnnotationCalls& SystemAnnotationCalls() { return kSystemCalls; }
void UseAnnotationCalls(const AnnotationCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }
const AnnotationCalls& AnnotationCallsInUse() { return *g_calls; }

namespace afxwin32 {

void MarkStatusLine(HWND control) {
  g_calls->setNumber(control, kAnnotationLiveSetting, kLivePolite);
  if (DialogState* state = StateOf(GetParent(control))) state->statusLines.push_back(control);
  Remember(control);
}

void AnnounceIfStatusLine(HWND control) {
  DialogState* state = StateOf(GetParent(control));
  if (!state || std::find(state->statusLines.begin(), state->statusLines.end(), control) ==
                    state->statusLines.end()) {
    return;
  }
  g_calls->notify(kEventLiveRegionChanged, control, OBJID_CLIENT, CHILDID_SELF);
}

void ForgetAnnotations(const DialogState& state) {
  static const GUID kAll[] = {kAnnotationName, kAnnotationDescription, kAnnotationLiveSetting};
  for (HWND control : state.annotated) g_calls->clear(control, kAll, 3);
}

}  // namespace afxwin32

namespace afxbackend {

void LabelControl(HWND control, HWND label, HWND description) {
  if (label) g_calls->setText(control, kAnnotationName, ToWide(Text(label)).c_str());
  if (description) {
    g_calls->setText(control, kAnnotationDescription, ToWide(Text(description)).c_str());
  }
  if (label || description) Remember(control);
}

}  // namespace afxbackend
