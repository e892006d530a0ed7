// The few Win32 calls the stream and the transport make, for building them natively over the
// stand-in in StandIn.cpp. Only what they use, with the real names, types and values.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t HRESULT;
typedef int BOOL;
typedef uint16_t WORD;
typedef void* HANDLE;
typedef void* LPVOID;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef uintptr_t UINT_PTR;
typedef struct HWND__* HWND;
typedef struct {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
} GUID, IID;
typedef const IID& REFIID;

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define S_OK HRESULT(0)
#define E_FAIL HRESULT(0x80004005)
#define E_NOINTERFACE HRESULT(0x80004002)
#define SUCCEEDED(hr) (HRESULT(hr) >= 0)
#define FAILED(hr) (HRESULT(hr) < 0)
#define MB_ICONERROR 0x10u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL CloseHandle(HANDLE object);
DWORD WaitForSingleObject(HANDLE object, DWORD ms);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD ms);
HANDLE CreateThread(void* attributes, size_t stack, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD flags,
                    DWORD* id);
DWORD GetTickCount();
void Sleep(DWORD ms);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
