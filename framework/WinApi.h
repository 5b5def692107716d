// The one place that includes the Windows headers. Macros whose names
// collide with the framework's and the engine's own names are removed here,
// so the rest of the code calls the wide functions by their explicit names.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#undef DrawText
#undef GetObject
#undef LoadBitmap
#undef LoadIcon
#undef LoadCursor
#undef CreateWindow
#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef GetClassName
#undef GetMessage
#undef PostMessage
#undef SendMessage
#undef DispatchMessage
#undef PeekMessage
#undef CreateFont
#undef TextOut
#undef MessageBox
#undef FindWindow
#undef RegisterClass
#undef GetCurrentTime
#undef ExitWindows
#undef GetWindowText
#undef SetWindowText
#undef CreateDialog
#undef Yield
#undef GetFileAttributes
#undef CreateDirectory
#undef RemoveDirectory
#undef FindFirstFile
#undef FindNextFile
#undef LoadImage
#undef LoadString
#undef GetCommandLine
#undef GetModuleFileName
#undef GetWindowLong
#undef SetWindowLong
#undef GetClassLong
#undef SetClassLong
#undef CallWindowProc
#undef DefWindowProc
#undef RegisterWindowMessage
#undef GetProp
#undef SetProp
#undef RemoveProp
#undef EnumProps
#undef GetTextMetrics
#undef GetTextExtentPoint32
#undef ExtTextOut
#undef EnumFonts
#undef CreateFontIndirect
#undef SystemParametersInfo
#undef GetVersionEx
#undef FormatMessage
#undef OutputDebugString
#undef CharLower
#undef CharUpper
#undef StartDoc
#undef ChooseFont
#undef ChooseColor
#undef GetOpenFileName
#undef GetSaveFileName
#undef FindText
#undef ReplaceText
#undef AppendMenu
#undef InsertMenu
#undef ModifyMenu
#undef GetMenuString
#undef InsertMenuItem
#undef GetMenuItemInfo
#undef SetMenuItemInfo
#undef CreateEvent
#undef CreateMutex
#undef CreateSemaphore
#undef OpenEvent
#undef GetUserName
#undef GetComputerName
#undef GetClassInfo
#undef GetClassInfoEx
#undef UnregisterClass
#undef CreateWindowEx
#undef SetWindowsHookEx
#undef SendMessageTimeout
#undef PostThreadMessage
#undef IsDialogMessage
#undef TranslateAccelerator
#undef LoadAccelerators
#undef LoadMenu
#undef LoadResource
#undef FindResource
#undef EnumChildWindows

#ifndef GET_X_LPARAM
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#endif

// Wide text helpers between the framework's String and the Windows API.
#include "System.h"
inline const wchar_t* WStr(const String& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline String FromW(const wchar_t* s) { return s ? String(reinterpret_cast<const Char*>(s)) : String(); }
inline String FromW(const wchar_t* s, std::size_t n) { return String(reinterpret_cast<const Char*>(s), n); }
