#include "box.h"

namespace {

// The dialog box class every MessageBox window has.
const char kDialogClass[] = "#32770";
// The id of the text control of a message box.
const int kTextId = 0xFFFF;
// Never wait longer than this for a target's window to answer.
const UINT kAnswerMs = 2000;

struct BoxSearch {
  DWORD processId;
  HWND visible;
};

BOOL CALLBACK VisitTopWindow(HWND window, LPARAM context) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  char className[32] = {};
  GetClassNameA(window, className, sizeof(className));
  if (lstrcmpA(className, kDialogClass) != 0 || !IsWindowVisible(window)) {
    return TRUE;
  }
  search->visible = window;
  return FALSE;
}

struct ChildSummary {
  Report* buttons;  // id:hex-text of each visible button, comma-separated
  DWORD buttonCount;
  bool iconShown;
  char scratch[512];
};

void PutItem(Report* list, int id, const char* text, DWORD length) {
  if (list->used != 0) PutText(list, ",");
  if (id < 0) {
    PutText(list, "-");
    id = -id;
  }
  PutDecimal(list, static_cast<ULONGLONG>(id));
  PutText(list, ":");
  PutBytesHex(list, text, length);
}

BOOL CALLBACK VisitChild(HWND child, LPARAM context) {
  ChildSummary* summary = reinterpret_cast<ChildSummary*>(context);
  char className[32] = {};
  GetClassNameA(child, className, sizeof(className));
  bool visible = IsWindowVisible(child) != FALSE;
  if (lstrcmpiA(className, "Button") == 0 && visible) {
    int length = GetWindowTextA(child, summary->scratch,
                                sizeof(summary->scratch));
    PutItem(summary->buttons, GetDlgCtrlID(child), summary->scratch,
            static_cast<DWORD>(length > 0 ? length : 0));
    ++summary->buttonCount;
  } else if (lstrcmpiA(className, "Static") == 0 && visible) {
    // An icon static only draws when an icon was set in it.
    DWORD_PTR icon = 0;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON &&
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG,
                            kAnswerMs, &icon) &&
        icon != 0) {
      summary->iconShown = true;
    }
  }
  return TRUE;
}

Report g_buttons;
char g_text[4096];

}  // namespace

HWND FindBox(DWORD processId) {
  BoxSearch search = {processId, nullptr};
  EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.visible;
}

void DescribeBox(HWND box, Report* report, RECT* rect) {
  int length = GetWindowTextA(box, g_text, sizeof(g_text));
  PutLineBytes(report, "box_caption_hex", g_text,
               static_cast<DWORD>(length > 0 ? length : 0));
  PutLineHex(report, "box_owner",
             reinterpret_cast<ULONG_PTR>(GetWindow(box, GW_OWNER)));
  GetWindowRect(box, rect);
  PutText(report, "box_rect=");
  LONG corners[4] = {rect->left, rect->top, rect->right, rect->bottom};
  for (int i = 0; i < 4; ++i) {
    if (i != 0) PutText(report, ",");
    PutDecimal(report, static_cast<ULONGLONG>(corners[i] < 0 ? 0 : corners[i]));
  }
  PutText(report, "\n");

  // WM_GETTEXT with a time limit: a stuck target must not stall the driver.
  DWORD_PTR copied = 0;
  HWND textControl = GetDlgItem(box, kTextId);
  bool found = textControl != nullptr &&
               SendMessageTimeoutA(textControl, WM_GETTEXT, sizeof(g_text),
                                   reinterpret_cast<LPARAM>(g_text),
                                   SMTO_ABORTIFHUNG, kAnswerMs, &copied);
  PutLineDecimal(report, "box_text_found", found ? 1 : 0);
  PutLineBytes(report, "box_text_hex", g_text,
               found ? static_cast<DWORD>(copied) : 0);

  ChildSummary summary = {};
  summary.buttons = &g_buttons;
  g_buttons.used = 0;
  EnumChildWindows(box, VisitChild, reinterpret_cast<LPARAM>(&summary));
  PutText(report, "box_buttons=");
  PutRaw(report, g_buttons.text, g_buttons.used);
  PutText(report, "\n");
  PutLineDecimal(report, "box_button_count", summary.buttonCount);
  PutLineDecimal(report, "box_icon_shown", summary.iconShown ? 1 : 0);
}

void PressOk(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}
