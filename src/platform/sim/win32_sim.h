// Our own declarations of the Win32 names that the launcher and the start-up
// use, for hosts without Windows. Types keep their Windows widths (DWORD is
// 32 bits, WCHAR is a UTF-16 unit) so that the launcher compiles unchanged.
// The behaviour behind these declarations is scripted through sim_control.h.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef DWORD LCID;
typedef std::size_t SIZE_T;
typedef void* HANDLE;
typedef void* LPVOID;
typedef void* PVOID;
typedef char CHAR;
typedef char16_t WCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* LPCH;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BYTE* LPBYTE;
typedef struct SimWindow* HWND;
typedef struct SimModule* HINSTANCE;

#define FALSE 0
#define TRUE 1

#define CP_ACP 0
#define MB_ERR_INVALID_CHARS 0x00000008
#define LOCALE_USER_DEFAULT 0x0400
#define NORM_IGNORECASE 0x00000001
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define LOGON_WITH_PROFILE 0x00000001
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000
#define WAIT_FAILED 0xFFFFFFFF
#define MB_OK 0x00000000
#define SW_SHOWDEFAULT 10

#define ERROR_SUCCESS 0
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_NO_UNICODE_TRANSLATION 1113
#define ERROR_LOGON_FAILURE 1326

struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
typedef STARTUPINFOW* LPSTARTUPINFOW;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

// KERNEL32
int WINAPI lstrlenA(LPCSTR lpString);
int WINAPI CompareStringA(LCID Locale, DWORD dwCmpFlags, LPCSTR lpString1,
                          int cchCount1, LPCSTR lpString2, int cchCount2);
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags,
                               LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
HANDLE WINAPI GetProcessHeap();
LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
LPCH WINAPI GetEnvironmentStrings();
BOOL WINAPI FreeEnvironmentStringsA(LPCH penv);
BOOL WINAPI CloseHandle(HANDLE hObject);
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);
PVOID WINAPI SecureZeroMemory(PVOID ptr, SIZE_T cnt);

// USER32
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// ADVAPI32
BOOL WINAPI CreateProcessWithLogonW(
    LPCWSTR lpUsername, LPCWSTR lpDomain, LPCWSTR lpPassword,
    DWORD dwLogonFlags, LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
    LPSTARTUPINFOW lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation);

// The GUI entry; the launcher defines it.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance,
                   LPSTR lpCmdLine, int nShowCmd);
