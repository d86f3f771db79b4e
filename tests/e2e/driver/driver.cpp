// driver.exe: starts a program once per line of a case file, with an exact
// command line, and reports what happened as key=value lines on standard
// output: the process id, the message box it showed (read through the
// window manager, then dismissed with OK), what it wrote to its standard
// output when asked, and its 32-bit exit code. A case that overruns its
// time limit is ended and reported as such; the next case still runs.
//
//   driver.exe CASEFILE      (the lines are described in case_line.h)
//
// Each case is a block from "begin=ID" to "end=ID". Around each case the
// driver also writes "e2e-driver:begin=ID" and "e2e-driver:end=ID" to
// standard error, where Wine writes its trace, so the trace can be cut per
// case.
#include <windows.h>

#include "box.h"
#include "case_line.h"
#include "platform/argument_text.h"
#include "report.h"

namespace {

CaseLine g_case;
Report g_report;
Report g_marker;
char g_output[4096];

ULONGLONG Since(ULONGLONG start) { return GetTickCount64() - start; }

void Marker(const char* what, const char* id) {
  PutText(&g_marker, "e2e-driver:");
  PutLineText(&g_marker, what, id);
  WriteLines(&g_marker, STD_ERROR_HANDLE);
}

void EndBlock(const char* id, const char* result) {
  PutLineText(&g_report, "result", result);
  PutLineText(&g_report, "end", id);
  WriteLines(&g_report, STD_OUTPUT_HANDLE);
}

// Waits for one line on standard input: the harness's word that it has
// taken its screenshot.
bool AwaitReply() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char c = 0;
  DWORD got = 0;
  while (ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
    if (c == '\n') return true;
  }
  return false;
}

// What the ended target wrote to its standard output; only what is there,
// so a handle still held elsewhere cannot block the driver.
void ReportOutput(HANDLE pipe) {
  DWORD total = 0;
  DWORD available = 0;
  while (total < sizeof(g_output) &&
         PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) &&
         available != 0) {
    DWORD room = static_cast<DWORD>(sizeof(g_output)) - total;
    DWORD got = 0;
    if (!ReadFile(pipe, g_output + total, available < room ? available : room,
                  &got, nullptr) ||
        got == 0) {
      break;
    }
    total += got;
  }
  PutLineBytes(&g_report, "output_hex", g_output, total);
}

// Reads the first box, lets the harness photograph it, presses OK; any later
// box is only counted and pressed.
void HandleBox(const CaseLine& line, HWND box, DWORD shown, ULONGLONG start) {
  if (shown > 1) {
    PressOk(box);
    return;
  }
  PutLineDecimal(&g_report, "box_found_ms", Since(start));
  // A round trip through the box's message loop lets it paint before it is
  // read; a screenshot also gives Wine time to reach the X server.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
  if (line.screenshot) {
    Sleep(150);
    SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
  }
  RECT rect = {};
  DescribeBox(box, &g_report, &rect);
  if (line.screenshot) {
    PutLineText(&g_report, "ready", "1");
    WriteLines(&g_report, STD_OUTPUT_HANDLE);
    PutLineText(&g_report, "shot", AwaitReply() ? "ext" : "no_reply");
  }
  if (line.pressOk) PressOk(box);
  PutLineText(&g_report, "dismiss", line.pressOk ? "ok" : "none");
  WriteLines(&g_report, STD_OUTPUT_HANDLE);
}

// CreateProcessA may write into the command line: the case line is ours.
void RunCase(CaseLine& line) {
  PutLineText(&g_report, "begin", line.id);
  if (line.error != nullptr) {
    PutLineText(&g_report, "error", line.error);
    EndBlock(line.id, "bad_case");
    return;
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (line.capture) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
      EndBlock(line.id, "pipe_failed");
      return;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
  }

  PROCESS_INFORMATION process = {};
  ULONGLONG start = GetTickCount64();
  BOOL created = CreateProcessA(
      line.hasApp ? line.app : nullptr,
      line.hasCommand ? line.command : nullptr, nullptr, nullptr,
      line.capture ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &process);
  DWORD createError = GetLastError();
  if (writeEnd != nullptr) CloseHandle(writeEnd);
  if (!created) {
    if (readEnd != nullptr) CloseHandle(readEnd);
    PutLineDecimal(&g_report, "create_error", createError);
    EndBlock(line.id, "create_failed");
    return;
  }
  PutLineDecimal(&g_report, "pid", process.dwProcessId);
  WriteLines(&g_report, STD_OUTPUT_HANDLE);

  bool timedOut = false;
  DWORD shown = 0;
  HWND lastBox = nullptr;
  for (;;) {
    if (Since(start) >= line.timeoutMs) {
      timedOut = true;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
    // Once a box is left up there is nothing more to watch for.
    if (shown != 0 && !line.pressOk) continue;
    HWND box = FindBox(process.dwProcessId);
    if (box == nullptr || box == lastBox) continue;
    lastBox = box;
    ++shown;
    HandleBox(line, box, shown, start);
  }
  PutLineDecimal(&g_report, "boxes_shown", shown);
  PutLineDecimal(&g_report, "timed_out", timedOut ? 1 : 0);

  const char* result = "exited";
  if (timedOut) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, 5000);
    result = "timeout";
  } else {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    PutLineHex(&g_report, "exit_code", code);
  }
  if (readEnd != nullptr) {
    ReportOutput(readEnd);
    CloseHandle(readEnd);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  PutLineDecimal(&g_report, "elapsed_ms", Since(start));
  EndBlock(line.id, result);
}

// The case file, whole, in a heap block; nullptr if it cannot be read.
char* ReadCaseFile(LPSTR path, DWORD* size) {
  // The path comes quoted when it has spaces.
  if (*path == '"') {
    ++path;
    LPSTR close = path;
    while (*close != 0 && *close != '"') ++close;
    *close = 0;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  *size = GetFileSize(file, nullptr);
  char* data = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, *size + 1));
  DWORD got = 0;
  bool read = data != nullptr && *size != INVALID_FILE_SIZE &&
              ReadFile(file, data, *size, &got, nullptr) && got == *size;
  CloseHandle(file);
  return read ? data : nullptr;
}

}  // namespace

extern "C" void WINAPI DriverStart() {
  DWORD size = 0;
  char* data = ReadCaseFile(FindArgumentText(GetCommandLineA()), &size);
  if (data == nullptr) {
    PutLineText(&g_report, "driver_error", "cannot read the case file");
    WriteLines(&g_report, STD_OUTPUT_HANDLE);
    ExitProcess(2);
  }
  PutLineDecimal(&g_report, "driver_pid", GetCurrentProcessId());
  WriteLines(&g_report, STD_OUTPUT_HANDLE);

  DWORD count = 0;
  const char* end = data + size;
  for (const char* cursor = data; cursor < end;) {
    const char* lineEnd = cursor;
    while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
    const char* textEnd = lineEnd;
    if (textEnd > cursor && textEnd[-1] == '\r') --textEnd;
    if (textEnd > cursor && *cursor != '#') {
      ParseCaseLine(cursor, textEnd, &g_case);
      Marker("begin", g_case.id);
      RunCase(g_case);
      Marker("end", g_case.id);
      ++count;
    }
    cursor = lineEnd + 1;
  }
  PutLineDecimal(&g_report, "driver_done", count);
  WriteLines(&g_report, STD_OUTPUT_HANDLE);
  ExitProcess(0);
}
