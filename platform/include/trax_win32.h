// The Windows calls that the TRAX programs and libraries use, under their Windows names,
// types and semantics. On Windows this header includes the real API and adds only the
// platform extensions below (trax_platform.dll implements those); elsewhere the platform
// library (trax_platform) implements every call on POSIX.
//
// Handles are small positive integers from one process-wide handle table; a bad or closed
// handle makes a call fail with ERROR_INVALID_HANDLE and never crashes. The last error is
// one thread-local value shared by every library of the process.
#ifndef TRAX_WIN32_H
#define TRAX_WIN32_H

#if defined(_WIN32)
// The standard library's min and max stay usable.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#ifdef __cplusplus
#define TRAX_PLATFORM_EXTERN_C extern "C"
#else
#define TRAX_PLATFORM_EXTERN_C
#endif
#ifdef TRAX_PLATFORM_BUILD
#define TRAX_PLATFORM_API TRAX_PLATFORM_EXTERN_C __declspec(dllexport)
#else
#define TRAX_PLATFORM_API TRAX_PLATFORM_EXTERN_C __declspec(dllimport)
#endif
#else

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define TRAX_PLATFORM_EXTERN_C extern "C"
#else
#define TRAX_PLATFORM_EXTERN_C
#endif
#define WINAPI
#define WINBASEAPI TRAX_PLATFORM_EXTERN_C __attribute__((visibility("default")))
#define TRAX_PLATFORM_API WINBASEAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef size_t SIZE_T;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef void *HANDLE;
typedef void *HWND;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef LONG *LPLONG;
typedef BYTE *LPBYTE;
typedef void *LPSECURITY_ATTRIBUTES;
typedef void *LPOVERLAPPED;
typedef DWORD REGSAM;
typedef struct TRAX_HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef DWORD(WINAPI *LPTHREAD_START_ROUTINE)(LPVOID param);

#define TRUE 1
#define FALSE 0
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Windows error codes used by the platform and the framework
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_DATA 13L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_ENVIRONMENT 10L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_SEM_TIMEOUT 121L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_INVALID_ADDRESS 487L
#define ERROR_MAPPED_ALIGNMENT 1132L
#define ERROR_NOT_OWNER 288L
#define ERROR_TOO_MANY_POSTS 298L
#define ERROR_TIMEOUT 1460L

// Threads, synchronisation, handles
WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stackSize,
                                      LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                                      LPDWORD threadId);
WINBASEAPI HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES sa, LONG initialCount,
                                          LONG maximumCount, LPCSTR name);
WINBASEAPI BOOL WINAPI ReleaseSemaphore(HANDLE sem, LONG releaseCount, LPLONG previousCount);
/// Auto- or manual-reset event. A named event is shared by every process of the same user
/// that opens the name; see the platform README for the cross-process rules.
WINBASEAPI HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, BOOL initialState,
                                      LPCSTR name);
WINBASEAPI BOOL WINAPI SetEvent(HANDLE event);
WINBASEAPI BOOL WINAPI ResetEvent(HANDLE event);
/// Waits for a thread, semaphore, event or mutex; ms is INFINITE, 0 or a time-out. A
/// mutex whose owner ended without releasing it is taken with WAIT_ABANDONED.
WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD ms);
/// Waits until any one of count events is signalled (waitAll must be FALSE); returns
/// WAIT_OBJECT_0 + index of the event whose wake-up was sent first (unnamed events count
/// as earliest, then the lowest index), WAIT_TIMEOUT or WAIT_FAILED.
WINBASEAPI DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                               DWORD ms);
WINBASEAPI BOOL WINAPI CloseHandle(HANDLE handle);
/// Makes every thread of the process pass a full memory barrier before it returns: a thread
/// that frees what others read without fences can then see whether they still use it.
WINBASEAPI void WINAPI FlushProcessWriteBuffers(void);
WINBASEAPI void WINAPI Sleep(DWORD ms);
WINBASEAPI DWORD WINAPI GetCurrentThreadId(void);
WINBASEAPI DWORD WINAPI GetCurrentProcessId(void);
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD error);

// Named mutexes. A mutex is owned by one thread at a time and may be taken again by its
// owner (each wait needs one ReleaseMutex). When the owning thread or its process ends
// without releasing it, the next wait gets it with WAIT_ABANDONED. A named mutex is shared
// by every process of the same user that creates or opens the name.
#define SYNCHRONIZE 0x00100000u
#define MUTEX_ALL_ACCESS 0x001F0001u
WINBASEAPI HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);
WINBASEAPI HANDLE WINAPI OpenMutexA(DWORD access, BOOL inheritHandle, LPCSTR name);
WINBASEAPI BOOL WINAPI ReleaseMutex(HANDLE mutex);

// File mappings backed by memory (not by a file): a named mapping is shared by every
// process of the same user that creates or opens the name, and lives while one of them
// holds a handle or a view of it.
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu
WINBASEAPI HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect,
                                            DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                            LPCSTR name);
WINBASEAPI HANDLE WINAPI OpenFileMappingA(DWORD access, BOOL inheritHandle, LPCSTR name);
WINBASEAPI LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh,
                                       DWORD offsetLow, SIZE_T bytes);
WINBASEAPI BOOL WINAPI UnmapViewOfFile(LPCVOID base);

// Device I/O control on a device handle (a framework path)
WINBASEAPI BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer,
                                       DWORD inBufferSize, LPVOID outBuffer, DWORD outBufferSize,
                                       LPDWORD bytesReturned, LPOVERLAPPED overlapped);

// Version information
typedef struct {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
WINBASEAPI BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

// User interface
#define MB_OK 0x00000000u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_SYSTEMMODAL 0x00001000u
#define IDOK 1
/// Writes "caption: text" to standard error and returns IDOK as if OK was pressed.
WINBASEAPI int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
/// A tone of durationMs milliseconds: rings the terminal's bell and returns when the tone
/// would end.
WINBASEAPI BOOL WINAPI Beep(DWORD frequency, DWORD durationMs);

// Read-only registry view: empty unless a test fills it (TraxRegistrySetString).
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define KEY_QUERY_VALUE 0x0001u
#define KEY_READ 0x20019u
#define KEY_ALL_ACCESS 0xF003Fu
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_DWORD 4u
WINBASEAPI LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam,
                                     PHKEY result);
WINBASEAPI LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                        LPBYTE data, LPDWORD dataSize);
WINBASEAPI LONG WINAPI RegCloseKey(HKEY key);

// Strings and memory
WINBASEAPI int WINAPI lstrlenA(LPCSTR str);
WINBASEAPI void WINAPI RtlMoveMemory(void *dest, const void *src, SIZE_T length);

/// Fills the registry view (tests only): a REG_SZ value under root\subKey.
WINBASEAPI LONG WINAPI TraxRegistrySetString(HKEY root, LPCSTR subKey, LPCSTR valueName,
                                             LPCSTR value);
/// Empties the registry view.
WINBASEAPI void WINAPI TraxRegistryClear(void);

#endif // !_WIN32

// ---- Platform extensions (not Windows calls): the seams the framework and tests use ----

/// I/O-control handler of a device handle: returns TRUE, or FALSE after SetLastError.
typedef BOOL (*TRAX_DEVICE_IOCTL)(void *context, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                  DWORD outSize, LPDWORD bytesReturned);
/// Called once when the last reference to a closed device handle goes away.
typedef void (*TRAX_DEVICE_RELEASE)(void *context);

/// Registers a device handle whose DeviceIoControl calls ioctl(context, ...). CloseHandle
/// removes it from the table; release(context) runs after the last call in progress on it
/// has returned. Returns NULL (last error set) when the table is full.
TRAX_PLATFORM_API HANDLE WINAPI TraxCreateDeviceHandle(TRAX_DEVICE_IOCTL ioctl,
                                                       TRAX_DEVICE_RELEASE release, void *context);
/// Runs fn(context of the device handle, arg) while holding a reference to the handle, so
/// that a concurrent CloseHandle cannot release the context under fn. Fails with
/// ERROR_INVALID_HANDLE for anything that is not an open device handle.
TRAX_PLATFORM_API BOOL WINAPI TraxWithDevice(HANDLE device, BOOL (*fn)(void *context, void *arg),
                                             void *arg);

/// Nanoseconds on the monotonic clock that every wait and delay of the suite uses.
TRAX_PLATFORM_API ULONGLONG WINAPI TraxMonotonicNanoseconds(void);
/// Sleeps until TraxMonotonicNanoseconds() reaches deadlineNs; a POSIX signal that
/// interrupts the sleep does not end it early.
TRAX_PLATFORM_API void WINAPI TraxSleepUntil(ULONGLONG deadlineNs);

/// While set (TRUE) for the calling thread, the handles it creates come from values above
/// those of all other handles, so that objects a library makes for its own use do not
/// change the handle numbers its caller sees. Returns the previous setting.
TRAX_PLATFORM_API BOOL WINAPI TraxSetInternalHandles(BOOL internal);

/// Takes the calling process off every named object it holds, as its end would, for a
/// process about to end without running its destructors (_exit): the last process to let
/// go of an object removes it. Views stay mapped for threads that still run, but the
/// objects must not be used any more.
TRAX_PLATFORM_API void WINAPI TraxReleaseNamedObjects(void);

/// A process named so that the name stays unique after its id is reused.
typedef struct {
    DWORD processId;
    DWORD reserved;
    ULONGLONG startTime;
} TRAX_PROCESS_STAMP;
/// The calling process's stamp.
TRAX_PLATFORM_API void WINAPI TraxGetProcessStamp(TRAX_PROCESS_STAMP *stamp);
/// TRUE while the stamped process runs; FALSE once it has ended (also by a crash).
TRAX_PLATFORM_API BOOL WINAPI TraxIsProcessRunning(const TRAX_PROCESS_STAMP *stamp);
/// Waits while *address still holds `unchanged`, until TraxWakeSharedAddress on it or ms
/// pass; works across processes for an address in a view of a named file mapping. Returns
/// FALSE (ERROR_TIMEOUT) on time-out. Wake-ups may come without a change: re-check.
TRAX_PLATFORM_API BOOL WINAPI TraxWaitOnSharedAddress(volatile LONG *address, LONG unchanged,
                                                      DWORD ms);
/// Wakes every thread of every process waiting on the address.
TRAX_PLATFORM_API void WINAPI TraxWakeSharedAddress(volatile LONG *address);

/// Emulated version for GetVersionExA: on POSIX NT 4.0 (platform 2, 4.0, build 1381) by
/// default, on Windows the version that Windows reports. A null info restores the default.
TRAX_PLATFORM_API void WINAPI TraxSetEmulatedVersion(const OSVERSIONINFOA *info);
/// Makes GetVersionExA fail (FALSE) until called again with FALSE.
TRAX_PLATFORM_API void WINAPI TraxSetVersionQueryFails(BOOL fails);

/// Replaces MessageBoxA's output: hook(caption, text, type, context) is called instead of
/// writing to standard error (on Windows: instead of showing the box) and its result is
/// returned. A null hook restores the default.
typedef int (*TRAX_MESSAGEBOX_HOOK)(LPCSTR caption, LPCSTR text, UINT type, void *context);
TRAX_PLATFORM_API void WINAPI TraxSetMessageBoxHook(TRAX_MESSAGEBOX_HOOK hook, void *context);

#if defined(_WIN32)
// The calls that must reach the platform layer on Windows too: DeviceIoControl and
// CloseHandle on a device handle go to the simulated framework (any other handle goes on to
// Windows), GetVersionExA reports the emulated version once a test has set one, and
// MessageBoxA goes to the hook once one is installed. Each forwards to the Windows call
// otherwise. The platform library itself calls Windows directly.
TRAX_PLATFORM_API BOOL WINAPI TraxDeviceIoControl(HANDLE device, DWORD ioControlCode,
                                                  LPVOID inBuffer, DWORD inBufferSize,
                                                  LPVOID outBuffer, DWORD outBufferSize,
                                                  LPDWORD bytesReturned, LPOVERLAPPED overlapped);
TRAX_PLATFORM_API BOOL WINAPI TraxCloseHandle(HANDLE handle);
TRAX_PLATFORM_API BOOL WINAPI TraxGetVersionExA(LPOSVERSIONINFOA info);
TRAX_PLATFORM_API int WINAPI TraxMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
#ifndef TRAX_PLATFORM_BUILD
#define DeviceIoControl TraxDeviceIoControl
#define CloseHandle TraxCloseHandle
#define GetVersionExA TraxGetVersionExA
#define MessageBoxA TraxMessageBoxA
#endif
#endif // _WIN32
#endif
