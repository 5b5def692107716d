#include "acUtilsWin.h"

#include <shellapi.h>

#include "FileIO.h"
#include "Forms.h"
#include "Graphics.h"
#include "TypInfo.h"
#include "acMessageBox.h"

// ---------------------------------------------------------------------------
// Unit state

namespace {

using TIsDebuggerPresent = BOOL(WINAPI*)();

HMODULE gKernel32 = nullptr;
TIsDebuggerPresent gIsDebuggerPresent = nullptr;
TIsWow64Process gIsWow64Process = nullptr;

template <class F>
F ProcAddress(HMODULE module, const char* name) {
    // Entry points come back as FARPROC; go through a plain pointer to the
    // function type we know they have.
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool DwmCompositionEnabled() {
    HMODULE dwm = ::LoadLibraryW(L"dwmapi.dll");
    if (!dwm) return false;
    using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
    BOOL enabled = FALSE;
    auto query = ProcAddress<TDwmIsCompositionEnabled>(dwm, "DwmIsCompositionEnabled");
    const bool on = query && SUCCEEDED(query(&enabled)) && enabled;
    ::FreeLibrary(dwm);
    return on;
}

TIsWow64Process ExportedIsWow64Process(HMODULE kernel32) {
    return ProcAddress<TIsWow64Process>(kernel32, "IsWow64Process");
}

}  // namespace

bool Wow64WithoutComposition = false;
bool (*AeroEnabledQuery)() = &DwmCompositionEnabled;
TIsWow64Process (*Wow64EntryPointQuery)(HMODULE) = &ExportedIsWow64Process;
TBitmap* SharedBitmap = nullptr;

void acUtilsInitialization() {
    if (!gKernel32) gKernel32 = ::LoadLibraryW(L"kernel32.dll");
    if (gKernel32) {
        if (!gIsDebuggerPresent) gIsDebuggerPresent = ProcAddress<TIsDebuggerPresent>(gKernel32, "IsDebuggerPresent");
        gIsWow64Process = Wow64EntryPointQuery ? Wow64EntryPointQuery(gKernel32) : nullptr;
    }
    if (RunsUnderWow64() && !(AeroEnabledQuery && AeroEnabledQuery())) Wow64WithoutComposition = true;
}

void acUtilsFinalization() {
    if (SharedBitmap) {
        SharedBitmap->Free();
        SharedBitmap = nullptr;
    }
    gIsDebuggerPresent = nullptr;
    gIsWow64Process = nullptr;
    if (gKernel32) {
        ::FreeLibrary(gKernel32);
        gKernel32 = nullptr;
    }
}

// ---------------------------------------------------------------------------
// System

namespace {

bool CaptionLogFont(LOGFONTW& lf) {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return false;
    lf = ncm.lfCaptionFont;
    return true;
}

}  // namespace

Integer CaptionFontHeight() {
    LOGFONTW lf;
    return CaptionLogFont(lf) ? lf.lfHeight : 0;
}

HFONT CreateCaptionFont() {
    LOGFONTW lf;
    return CaptionLogFont(lf) ? ::CreateFontIndirectW(&lf) : nullptr;
}

void MakeMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT Result, TMessage& M) {
    M.Msg = Msg;
    M.WParam = WParam;
    M.LParam = LParam;
    M.Result = Result;
}

bool SysAnimationEnabled() {
    ANIMATIONINFO ai = {};
    ai.cbSize = sizeof(ai);
    return ::SystemParametersInfoW(SPI_GETANIMATION, sizeof(ai), &ai, 0) && ai.iMinAnimate != 0;
}

void SetSysAnimation(bool Value) {
    ANIMATIONINFO ai = {};
    ai.cbSize = sizeof(ai);
    ai.iMinAnimate = Value ? -1 : 0;
    ::SystemParametersInfoW(SPI_SETANIMATION, sizeof(ai), &ai, 0);
}

bool IsWinXPOrLater() {
    OSVERSIONINFOW vi = {};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!::GetVersionExW(&vi)) return false;
    return vi.dwMajorVersion > 5 || (vi.dwMajorVersion == 5 && vi.dwMinorVersion > 0);
}

bool IsDebugged() { return gIsDebuggerPresent ? gIsDebuggerPresent() != FALSE : true; }

bool RunsUnderWow64() {
    if (!gIsWow64Process) return false;
    BOOL wow64 = FALSE;
    return gIsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

void ShowError(const String& Text) {
    ShowMessageDlgPos(Application ? Application->Title : String(), Text, mtError, TMsgDlgButtons{mbOK}, -1, -1, 0);
}

void WaitProcessing(Cardinal Ms) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (Application) Application->ProcessMessages();
        const DWORD elapsed = ::GetTickCount() - start;   // unsigned: survives the wrap
        if (elapsed >= Ms) return;
        // Sleep until a message arrives or the time is up.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, Ms - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// ---------------------------------------------------------------------------
// Published properties

bool HasPublishedProp(TObject* Control, const String& Name) { return GetPropInfo(Control, Name) != nullptr; }

TObject* GetObjPropByName(TObject* Control, const String& Name) {
    const TPropInfo* info = GetPropInfo(Control, Name);
    return info && info->Kind == TTypeKind::tkClass && info->GetObj ? info->GetObj(Control) : nullptr;
}

namespace {

// The set property and the bit of the element, or nullptr.
const TPropInfo* SetElement(TObject* control, const String& propName, const String& elementName, Int64& bit) {
    const TPropInfo* info = GetPropInfo(control, propName);
    if (!info || info->Kind != TTypeKind::tkSet || !info->GetOrd) return nullptr;
    const int element = GetElementValue(*info, elementName);
    if (element < 0 || element > 31) return nullptr;
    bit = Int64{1} << element;
    return info;
}

}  // namespace

bool PropSetContains(TObject* Control, const String& PropName, const String& ElementName) {
    Int64 bit;
    const TPropInfo* info = SetElement(Control, PropName, ElementName, bit);
    return info && (info->GetOrd(Control) & bit) != 0;
}

void ChangeSetProp(TObject* Control, const String& PropName, const String& ElementName, bool Add) {
    Int64 bit;
    const TPropInfo* info = SetElement(Control, PropName, ElementName, bit);
    if (!info || !info->SetOrd) return;
    const Int64 value = info->GetOrd(Control);
    info->SetOrd(Control, Add ? (value | bit) : (value & ~bit));
}

Integer GetOrdPropByName(TObject* Control, const String& Name) {
    const TPropInfo* info = GetPropInfo(Control, Name);
    if (!info || info->Kind == TTypeKind::tkClass || !info->GetOrd) return -1;
    return static_cast<Integer>(info->GetOrd(Control));
}

void SetOrdPropByName(TObject* Control, const String& Name, Integer Value) {
    const TPropInfo* info = GetPropInfo(Control, Name);
    if (info && info->Kind != TTypeKind::tkClass && info->SetOrd) info->SetOrd(Control, Value);
}

// ---------------------------------------------------------------------------
// Files and paths

namespace {

// Fills F from the find data; false when the entry is to be skipped.
bool TakeEntry(const WIN32_FIND_DATAW& data, TSearchRec& F) {
    if (data.dwFileAttributes & F.ExcludeAttr) return false;
    F.Name = FromW(data.cFileName);
    F.Size = (static_cast<Int64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    F.Attr = data.dwFileAttributes;
    return true;
}

Integer NextMatching(TSearchRec& F) {
    WIN32_FIND_DATAW data;
    for (;;) {
        if (!::FindNextFileW(F.FindHandle, &data)) return static_cast<Integer>(::GetLastError());
        if (TakeEntry(data, F)) return 0;
    }
}

}  // namespace

Integer FileFindFirst(const String& Path, Cardinal Attr, TSearchRec& F) {
    F.ExcludeAttr = ~Attr & (faHidden | faSysFile | faDirectory);
    WIN32_FIND_DATAW data;
    F.FindHandle = ::FindFirstFileW(WStr(Path), &data);
    if (F.FindHandle == INVALID_HANDLE_VALUE) return static_cast<Integer>(::GetLastError());
    if (TakeEntry(data, F)) return 0;
    const Integer result = NextMatching(F);
    if (result != 0) FileFindClose(F);
    return result;
}

Integer FileFindNext(TSearchRec& F) {
    if (F.FindHandle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    return NextMatching(F);
}

void FileFindClose(TSearchRec& F) {
    if (F.FindHandle != INVALID_HANDLE_VALUE) {
        ::FindClose(F.FindHandle);
        F.FindHandle = INVALID_HANDLE_VALUE;
    }
}

String GetAppDir() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return String();
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const String path = FromW(buffer.c_str(), buffer.size());
    const std::size_t slash = path.find_last_of(u"\\/:");
    return slash == String::npos ? String() : path.substr(0, slash + 1);
}

HICON GetFileIcon(const String& FileName, UINT Flags) {
    if (!fileio::FileExists(FileName)) return nullptr;
    SHFILEINFOW info = {};
    if (!::SHGetFileInfoW(WStr(FileName), 0, &info, sizeof(info), Flags | SHGFI_ICON)) return nullptr;
    return info.hIcon;
}
