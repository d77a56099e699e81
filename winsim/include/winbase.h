// Kernel objects: events, waits, handles, sleeping.
#pragma once
#include <cstring>

#include "windef.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define GENERIC_ALL 0x10000000u
#define CREATE_EVENT_MANUAL_RESET 0x00000001u
#define CREATE_EVENT_INITIAL_SET 0x00000002u
#define SYNCHRONIZE 0x00100000u
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x1F0003u

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
HANDLE WINAPI CreateEventExW(LPSECURITY_ATTRIBUTES attributes, LPCWSTR name, DWORD flags, DWORD desiredAccess);
HANDLE WINAPI CreateEventExA(LPSECURITY_ATTRIBUTES attributes, LPCSTR name, DWORD flags, DWORD desiredAccess);
#ifdef UNICODE
#define CreateEvent CreateEventW
#define CreateEventEx CreateEventExW
#else
#define CreateEvent CreateEventA
#define CreateEventEx CreateEventExA
#endif
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// As WaitForSingleObject. winsim queues no asynchronous procedure calls, so an alertable wait
// never returns WAIT_IO_COMPLETION.
DWORD WINAPI WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable);
BOOL WINAPI CloseHandle(HANDLE handle);
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

// The performance counter, in ticks of QueryPerformanceFrequency (10 MHz): the clock of the
// time stamps in a duplication's frame information.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);
ULONGLONG WINAPI GetTickCount64();
// Debugger output; winsim writes it to standard error.
void WINAPI OutputDebugStringA(LPCSTR text);
void WINAPI OutputDebugStringW(LPCWSTR text);
#ifdef UNICODE
#define OutputDebugString OutputDebugStringW
#else
#define OutputDebugString OutputDebugStringA
#endif

#define ZeroMemory(destination, length) std::memset((destination), 0, (length))
#define SecureZeroMemory ZeroMemory
#define _countof(array) (sizeof(array) / sizeof((array)[0]))
