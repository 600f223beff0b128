// windriver: reads and drives the top-level windows of another program, for the
// end-to-end tests. Run it under Wine beside the program under test (same
// WINEPREFIX and DISPLAY); it talks to the windows with ordinary messages.
//
// Usage: windriver [OPTIONS] COMMAND [ARGS...] [";" COMMAND [ARGS...]]...
//
// Options (before the first command):
//   --timeout MS   how long `wait` and `gone` wait, default 10000
//   --pid PID      only windows of this Windows process id
//   --exe NAME     only windows of a process whose image file name is NAME
//                  (case-insensitive, for example devselect.exe); a NAME with a
//                  backslash is the image's full path (Z:\tmp\t1\devselect.exe),
//                  which keeps apart test runs that share one Wine prefix (its
//                  windows are visible to all of them, whatever their display)
//   --class NAME   only windows of this class ("#32770": dialogs, message boxes)
//   --font FACE,PT the dialog font for "rect_dlu" when the window's own font
//                  cannot be read from another process (the usual case under
//                  Wine); default "MS Shell Dlg,8"
//
// Commands run in order, separated by a ";" argument, against the current
// window (the one the last `wait` found):
//   wait CAPTION      wait for a visible, enabled top-level window with exactly
//                     this caption; it becomes the current window
//   dump              print the current window and its controls as one JSON line
//   wavedevices       print the names of the wave output devices, by device
//                     number, as one JSON array (needs no window)
//   settext ID TEXT   set the text of control ID (WM_SETTEXT; an edit then
//                     notifies EN_CHANGE as when typed)
//   select ID ROW     select row ROW (-1: none) of a list box or combo box and
//                     notify the window (LBN_SELCHANGE / CBN_SELCHANGE)
//   click ID          click button ID. A push button's click is sent to the
//                     window as WM_COMMAND BN_CLICKED without waiting for it
//                     (it may open another modal window or end the dialog); a
//                     check box or radio button gets BM_CLICK, the mouse's own
//                     path (state change, then BN_CLICKED), and the driver waits
//                     until its state has changed. Either way it is handled
//                     before anything the driver sends next
//   command ID [CODE] WM_COMMAND with control id ID and notification CODE
//                     (default BN_CLICKED) to the window, sent as click is
//   key KEY           post a key press (WM_KEYDOWN, WM_KEYUP) to the focused
//                     control of the window's thread, or to the window; KEY is
//                     esc, enter, tab, space or a decimal virtual-key code;
//                     posted like typed keys, so follow it with `gone` (or a
//                     `sleep`) rather than a dump that expects its effect
//   close             WM_SYSCOMMAND SC_CLOSE (what the close box does), sent as
//                     click is
//   wmclose           post WM_CLOSE
//   gone              wait until the current window is destroyed or hidden
//   sleep MS          pause
//
// Exit code: 0 all commands done; 1 a wait timed out; 2 bad usage; 3 no
// current window or no control with that id. Errors go to stderr.
//
// Dump (one line, UTF-8):
//   {"hwnd":N,"caption":S,"class":S,"style":N,"exstyle":N,"pid":N,
//    "rect":[left,top,right,bottom] screen pixels,"client":[w,h],
//    "base_units":[x,y] dialog base units of the window's font, or of --font,
//    "base_units_from":"window"|"font",
//    "owner_class":S,"owner_caption":S (empty when the window has no owner),
//    "controls":[{"id":N (-1 for 0xFFFF),"class":S,"text":S,"style":N,"exstyle":N,
//      "enabled":B,"visible":B,
//      "checked":N (buttons only: 0, 1 or 2),
//      "items":[S...],"selection":N (list boxes and combo boxes only),
//      "rect_px":[x,y,w,h] in the window's client coordinates,
//      "rect_dlu":[x,y,w,h] the same in dialog units, rounded (a combo box's
//        height is that of its closed field, not of the template)}]}
// Controls are listed in Z order, which for a dialog is the template order.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "tests/tools/json_out.h"

enum { kExitOk = 0, kExitTimeout = 1, kExitUsage = 2, kExitNoTarget = 3 };
enum { kTextUnits = 4096, kMaxControls = 256 };

static DWORD g_timeout_ms = 10000;
static DWORD g_want_pid = 0;
static const wchar_t *g_want_exe = NULL;
static const wchar_t *g_want_class = NULL;
static HWND g_current = NULL;
static wchar_t g_font_face[LF_FACESIZE] = L"MS Shell Dlg";
static int g_font_points = 8;

// ---- output -----------------------------------------------------------------

static void Fail(const char *what, const wchar_t *detail) {
  char buf[kTextUnits * 3];
  buf[0] = 0;
  if (detail != NULL) WideCharToMultiByte(CP_UTF8, 0, detail, -1, buf, sizeof(buf), NULL, NULL);
  buf[sizeof(buf) - 1] = 0;
  fprintf(stderr, "windriver: %s%s%s\n", what, detail ? ": " : "", buf);
  fflush(stderr);
}

// ---- finding windows ----------------------------------------------------------

static bool ProcessImageNameIs(DWORD pid, const wchar_t *name) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  bool match = false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry)) {
    if (entry.th32ProcessID != pid) continue;
    // szExeFile may carry a path under Wine; compare the file-name part.
    const wchar_t *base = entry.szExeFile;
    for (const wchar_t *p = entry.szExeFile; *p; ++p) {
      if (*p == L'\\' || *p == L'/') base = p + 1;
    }
    match = _wcsicmp(base, name) == 0;
    break;
  }
  CloseHandle(snap);
  return match;
}

static bool ProcessImagePathIs(DWORD pid, const wchar_t *path) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == NULL) return false;
  wchar_t image[kTextUnits];
  DWORD size = kTextUnits;
  bool match = QueryFullProcessImageNameW(process, 0, image, &size) && _wcsicmp(image, path) == 0;
  CloseHandle(process);
  return match;
}

static bool ProcessImageIs(DWORD pid, const wchar_t *name) {
  return wcschr(name, L'\\') != NULL ? ProcessImagePathIs(pid, name) : ProcessImageNameIs(pid, name);
}

struct FindRequest {
  const wchar_t *caption;
  HWND found;
};

static BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
  FindRequest *request = (FindRequest *)param;
  if (!IsWindowVisible(hwnd)) return TRUE;
  wchar_t text[kTextUnits];
  if (GetWindowTextW(hwnd, text, kTextUnits) < 0) return TRUE;
  if (wcscmp(text, request->caption) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (g_want_pid != 0 && pid != g_want_pid) return TRUE;
  if (g_want_exe != NULL && !ProcessImageIs(pid, g_want_exe)) return TRUE;
  if (g_want_class != NULL) {
    wchar_t cls[256];
    if (GetClassNameW(hwnd, cls, 256) == 0 || wcscmp(cls, g_want_class) != 0) return TRUE;
  }
  request->found = hwnd;
  return FALSE;
}

static int CommandWait(const wchar_t *caption) {
  DWORD start = GetTickCount();
  for (;;) {
    FindRequest request = {caption, NULL};
    EnumWindows(FindTopLevel, (LPARAM)&request);
    // A dialog is shown after WM_INITDIALOG has run; a disabled one is behind
    // a modal window of its own.
    if (request.found != NULL && IsWindowEnabled(request.found)) {
      g_current = request.found;
      return kExitOk;
    }
    if (GetTickCount() - start > g_timeout_ms) {
      Fail("timed out waiting for window", caption);
      return kExitTimeout;
    }
    Sleep(50);
  }
}

static int CommandGone(void) {
  if (g_current == NULL) return kExitOk;
  DWORD start = GetTickCount();
  while (IsWindow(g_current) && IsWindowVisible(g_current)) {
    if (GetTickCount() - start > g_timeout_ms) {
      Fail("timed out waiting for the window to go", NULL);
      return kExitTimeout;
    }
    Sleep(50);
  }
  g_current = NULL;
  return kExitOk;
}

// ---- reading controls ---------------------------------------------------------

static bool ClassIs(const wchar_t *cls, const wchar_t *name) { return _wcsicmp(cls, name) == 0; }

// Dialog base units of a font, measured the way dialogs measure them: average
// width of the 52 letters, and the font's height.
static void MeasureFont(const LOGFONTW *logfont, int *bx, int *by) {
  HFONT font = CreateFontIndirectW(logfont);
  if (font == NULL) return;
  HDC dc = GetDC(NULL);
  if (dc != NULL) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics;
    SIZE size;
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kLetters, 52, &size)) {
      *bx = (size.cx / 26 + 1) / 2;
      *by = metrics.tmHeight;
    }
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);
  }
  DeleteObject(font);
}

// The window's own base units where the platform gives them; else those of
// the --font face. Returns true for the window's own.
static bool MeasureBaseUnits(HWND hwnd, int *bx, int *by) {
  *bx = 0;
  *by = 0;
  RECT probe = {0, 0, 4, 8};
  if (MapDialogRect(hwnd, &probe) && probe.right > 0 && probe.bottom > 0) {
    *bx = probe.right;
    *by = probe.bottom;
    return true;
  }
  LOGFONTW logfont;
  HFONT font = (HFONT)SendMessageW(hwnd, WM_GETFONT, 0, 0);
  if (font != NULL && GetObjectW(font, sizeof(logfont), &logfont) == sizeof(logfont)) {
    MeasureFont(&logfont, bx, by);
    if (*bx > 0 && *by > 0) return true;
  }
  memset(&logfont, 0, sizeof(logfont));
  HDC screen = GetDC(NULL);
  int dpi = screen != NULL ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != NULL) ReleaseDC(NULL, screen);
  logfont.lfHeight = -MulDiv(g_font_points, dpi, 72);
  logfont.lfWeight = FW_NORMAL;
  logfont.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(logfont.lfFaceName, g_font_face, LF_FACESIZE - 1);
  MeasureFont(&logfont, bx, by);
  return false;
}

static int ToDlu(int px, int base, int units) {
  if (base <= 0) return 0;
  // Round to the nearest unit, also for negative values.
  long long scaled = (long long)px * units;
  return (int)(scaled >= 0 ? (scaled + base / 2) / base : -((-scaled + base / 2) / base));
}

static void OutItems(HWND ctl, bool combo) {
  UINT count_msg = combo ? CB_GETCOUNT : LB_GETCOUNT;
  UINT len_msg = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  UINT text_msg = combo ? CB_GETLBTEXT : LB_GETTEXT;
  UINT sel_msg = combo ? CB_GETCURSEL : LB_GETCURSEL;
  LRESULT count = SendMessageW(ctl, count_msg, 0, 0);
  if (count < 0) count = 0;
  if (count > 1000) count = 1000;
  Out(",\"items\":[");
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[kTextUnits];
    text[0] = 0;
    LRESULT len = SendMessageW(ctl, len_msg, (WPARAM)i, 0);
    if (len >= 0 && len < kTextUnits) {
      LRESULT got = SendMessageW(ctl, text_msg, (WPARAM)i, (LPARAM)text);
      if (got < 0 || got >= kTextUnits) got = 0;
      text[got] = 0;
    }
    if (i > 0) Out(",");
    OutJsonString(text);
  }
  Out("],\"selection\":");
  OutInt((int)SendMessageW(ctl, sel_msg, 0, 0));
}

struct DumpState {
  HWND parent;
  int base_x, base_y;
  int count;
};

static BOOL CALLBACK DumpChild(HWND ctl, LPARAM param) {
  DumpState *state = (DumpState *)param;
  // Direct children only: a combo box's inner edit and list are part of it.
  if (GetParent(ctl) != state->parent) return TRUE;
  if (state->count >= kMaxControls) return FALSE;
  if (state->count > 0) Out(",");
  ++state->count;

  wchar_t cls[256];
  if (GetClassNameW(ctl, cls, 256) == 0) cls[0] = 0;
  wchar_t text[kTextUnits];
  // WM_GETTEXT works across processes for every class.
  LRESULT got = SendMessageW(ctl, WM_GETTEXT, kTextUnits, (LPARAM)text);
  if (got < 0 || got >= kTextUnits) got = 0;
  text[got] = 0;
  LONG style = GetWindowLongW(ctl, GWL_STYLE);
  LONG exstyle = GetWindowLongW(ctl, GWL_EXSTYLE);
  int id = (int)(short)(WORD)GetDlgCtrlID(ctl);

  RECT rect;
  GetWindowRect(ctl, &rect);
  MapWindowPoints(NULL, state->parent, (POINT *)&rect, 2);
  int w = rect.right - rect.left, h = rect.bottom - rect.top;

  Out("{\"id\":");
  OutInt(id);
  Out(",\"class\":");
  OutJsonString(cls);
  Out(",\"text\":");
  OutJsonString(text);
  Out(",\"style\":");
  OutInt((unsigned long)style);
  Out(",\"exstyle\":");
  OutInt((unsigned long)exstyle);
  Out(",\"enabled\":");
  Out(IsWindowEnabled(ctl) ? "true" : "false");
  Out(",\"visible\":");
  Out(IsWindowVisible(ctl) ? "true" : "false");
  if (ClassIs(cls, L"Button")) {
    Out(",\"checked\":");
    OutInt((int)SendMessageW(ctl, BM_GETCHECK, 0, 0));
  } else if (ClassIs(cls, L"ListBox")) {
    OutItems(ctl, false);
  } else if (ClassIs(cls, L"ComboBox")) {
    OutItems(ctl, true);
  }
  Out(",\"rect_px\":[");
  OutInt(rect.left);
  Out(",");
  OutInt(rect.top);
  Out(",");
  OutInt(w);
  Out(",");
  OutInt(h);
  Out("],\"rect_dlu\":[");
  OutInt(ToDlu(rect.left, state->base_x, 4));
  Out(",");
  OutInt(ToDlu(rect.top, state->base_y, 8));
  Out(",");
  OutInt(ToDlu(w, state->base_x, 4));
  Out(",");
  OutInt(ToDlu(h, state->base_y, 8));
  Out("]}");
  return TRUE;
}

static int CommandDump(void) {
  if (g_current == NULL || !IsWindow(g_current)) {
    Fail("dump: no current window", NULL);
    return kExitNoTarget;
  }
  HWND hwnd = g_current;
  wchar_t caption[kTextUnits];
  if (GetWindowTextW(hwnd, caption, kTextUnits) <= 0) caption[0] = 0;
  wchar_t cls[256];
  if (GetClassNameW(hwnd, cls, 256) == 0) cls[0] = 0;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  RECT rect, client;
  GetWindowRect(hwnd, &rect);
  GetClientRect(hwnd, &client);
  DumpState state = {hwnd, 0, 0, 0};
  bool own_units = MeasureBaseUnits(hwnd, &state.base_x, &state.base_y);

  Out("{\"hwnd\":");
  OutInt((long long)(INT_PTR)hwnd);
  Out(",\"caption\":");
  OutJsonString(caption);
  Out(",\"class\":");
  OutJsonString(cls);
  Out(",\"style\":");
  OutInt((unsigned long)GetWindowLongW(hwnd, GWL_STYLE));
  Out(",\"exstyle\":");
  OutInt((unsigned long)GetWindowLongW(hwnd, GWL_EXSTYLE));
  Out(",\"pid\":");
  OutInt(pid);
  Out(",\"rect\":[");
  OutInt(rect.left);
  Out(",");
  OutInt(rect.top);
  Out(",");
  OutInt(rect.right);
  Out(",");
  OutInt(rect.bottom);
  Out("],\"client\":[");
  OutInt(client.right);
  Out(",");
  OutInt(client.bottom);
  Out("],\"base_units\":[");
  OutInt(state.base_x);
  Out(",");
  OutInt(state.base_y);
  Out("],\"base_units_from\":");
  Out(own_units ? "\"window\"" : "\"font\"");
  wchar_t owner_class[256] = L"", owner_caption[kTextUnits] = L"";
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner != NULL) {
    if (GetClassNameW(owner, owner_class, 256) == 0) owner_class[0] = 0;
    if (GetWindowTextW(owner, owner_caption, kTextUnits) <= 0) owner_caption[0] = 0;
  }
  Out(",\"owner_class\":");
  OutJsonString(owner_class);
  Out(",\"owner_caption\":");
  OutJsonString(owner_caption);
  Out(",\"controls\":[");
  EnumChildWindows(hwnd, DumpChild, (LPARAM)&state);
  Out("]}\n");
  OutFlush();
  return kExitOk;
}

// ---- acting on controls -------------------------------------------------------

static bool ParseInt(const wchar_t *text, long *value) {
  if (text == NULL || *text == 0) return false;
  wchar_t *end = NULL;
  long v = wcstol(text, &end, 10);
  if (end == NULL || *end != 0) return false;
  *value = v;
  return true;
}

static HWND Control(const wchar_t *id_text, long *id_out) {
  long id = 0;
  if (g_current == NULL || !IsWindow(g_current)) {
    Fail("no current window", NULL);
    return NULL;
  }
  if (!ParseInt(id_text, &id)) {
    Fail("bad control id", id_text);
    return NULL;
  }
  HWND ctl = GetDlgItem(g_current, (int)id);
  if (ctl == NULL) Fail("no control with id", id_text);
  if (id_out != NULL) *id_out = id;
  return ctl;
}

static int CommandSetText(const wchar_t *id_text, const wchar_t *text) {
  HWND ctl = Control(id_text, NULL);
  if (ctl == NULL) return kExitNoTarget;
  SendMessageW(ctl, WM_SETTEXT, 0, (LPARAM)text);
  return kExitOk;
}

static int CommandSelect(const wchar_t *id_text, const wchar_t *row_text) {
  long id = 0, row = 0;
  HWND ctl = Control(id_text, &id);
  if (ctl == NULL) return kExitNoTarget;
  if (!ParseInt(row_text, &row)) {
    Fail("bad row", row_text);
    return kExitUsage;
  }
  wchar_t cls[256];
  if (GetClassNameW(ctl, cls, 256) == 0) cls[0] = 0;
  WORD code;
  if (ClassIs(cls, L"ComboBox")) {
    SendMessageW(ctl, CB_SETCURSEL, (WPARAM)row, 0);
    code = CBN_SELCHANGE;
  } else if (ClassIs(cls, L"ListBox")) {
    SendMessageW(ctl, LB_SETCURSEL, (WPARAM)row, 0);
    code = LBN_SELCHANGE;
  } else {
    Fail("select: not a list box or combo box", id_text);
    return kExitNoTarget;
  }
  // The selection messages do not notify; a user's choice does.
  SendNotifyMessageW(g_current, WM_COMMAND, MAKEWPARAM((WORD)id, code), (LPARAM)ctl);
  return kExitOk;
}

static bool IsAutoCheck(LONG type) {
  return type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
}

static int CommandClick(const wchar_t *id_text) {
  long id = 0;
  HWND ctl = Control(id_text, &id);
  if (ctl == NULL) return kExitNoTarget;
  LONG type = GetWindowLongW(ctl, GWL_STYLE) & BS_TYPEMASK;
  if (!IsAutoCheck(type)) {
    // A push button's click reaches the window as BN_CLICKED; sent without
    // waiting, since it may open a modal window or end the dialog.
    SendNotifyMessageW(g_current, WM_COMMAND, MAKEWPARAM((WORD)id, BN_CLICKED), (LPARAM)ctl);
    return kExitOk;
  }
  // A check box or radio button goes the mouse's way (BM_CLICK: press,
  // release, state change, BN_CLICKED). The press holds the mouse capture; a
  // focus change arriving from the X server in between cancels it, so a
  // click that left the state as it was is made again.
  LRESULT before = SendMessageW(ctl, BM_GETCHECK, 0, 0);
  for (int attempt = 0; attempt < 5; ++attempt) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(ctl, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored);
    LRESULT after = SendMessageW(ctl, BM_GETCHECK, 0, 0);
    if (type == BS_AUTORADIOBUTTON ? after == BST_CHECKED : after != before) return kExitOk;
    Sleep(100);
  }
  Fail("click left the button's state unchanged", id_text);
  return kExitNoTarget;
}

static int CommandCommand(const wchar_t *id_text, const wchar_t *code_text) {
  long id = 0, code = BN_CLICKED;
  if (g_current == NULL || !IsWindow(g_current)) {
    Fail("no current window", NULL);
    return kExitNoTarget;
  }
  if (!ParseInt(id_text, &id) || (code_text != NULL && !ParseInt(code_text, &code))) {
    Fail("command: bad id or code", id_text);
    return kExitUsage;
  }
  HWND ctl = GetDlgItem(g_current, (int)id);
  SendNotifyMessageW(g_current, WM_COMMAND, MAKEWPARAM((WORD)id, (WORD)code), (LPARAM)ctl);
  return kExitOk;
}

static int CommandKey(const wchar_t *key) {
  if (g_current == NULL || !IsWindow(g_current)) {
    Fail("no current window", NULL);
    return kExitNoTarget;
  }
  long vk = 0;
  if (_wcsicmp(key, L"esc") == 0) vk = VK_ESCAPE;
  else if (_wcsicmp(key, L"enter") == 0) vk = VK_RETURN;
  else if (_wcsicmp(key, L"tab") == 0) vk = VK_TAB;
  else if (_wcsicmp(key, L"space") == 0) vk = VK_SPACE;
  else if (!ParseInt(key, &vk) || vk <= 0 || vk > 254) {
    Fail("bad key", key);
    return kExitUsage;
  }
  // The dialog's message loop routes keys of its controls through
  // IsDialogMessage, as it does for typed keys.
  HWND target = g_current;
  GUITHREADINFO info;
  info.cbSize = sizeof(info);
  DWORD thread = GetWindowThreadProcessId(g_current, NULL);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != NULL &&
      (info.hwndFocus == g_current || IsChild(g_current, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  UINT scan = MapVirtualKeyW((UINT)vk, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, (WPARAM)vk, (LPARAM)(1 | (scan << 16)));
  PostMessageW(target, WM_KEYUP, (WPARAM)vk, (LPARAM)(1 | (scan << 16) | (1u << 30) | (1u << 31)));
  return kExitOk;
}

static int CommandMessage(UINT msg, WPARAM wparam, bool post) {
  if (g_current == NULL || !IsWindow(g_current)) {
    Fail("no current window", NULL);
    return kExitNoTarget;
  }
  if (post) {
    PostMessageW(g_current, msg, wparam, 0);
  } else {
    SendNotifyMessageW(g_current, msg, wparam, 0);
  }
  return kExitOk;
}

// The wave output devices by number, as this process sees them: Wine orders
// them by ids made when the prefix first met them, so a test cannot know the
// order in advance.
static int CommandWaveDevices(void) {
  Out("[");
  const UINT devices = waveOutGetNumDevs();
  for (UINT device = 0; device < devices; ++device) {
    WAVEOUTCAPSW caps;
    ZeroMemory(&caps, sizeof(caps));
    if (waveOutGetDevCapsW(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR) caps.szPname[0] = 0;
    caps.szPname[MAXPNAMELEN - 1] = 0;
    if (device > 0) Out(",");
    OutJsonString(caps.szPname);
  }
  Out("]\n");
  OutFlush();
  return kExitOk;
}

// ---- command line -------------------------------------------------------------

static int RunCommand(wchar_t **args, int count) {
  const wchar_t *name = args[0];
  int result = kExitUsage;
  if (wcscmp(name, L"wait") == 0 && count == 2) {
    result = CommandWait(args[1]);
  } else if (wcscmp(name, L"dump") == 0 && count == 1) {
    result = CommandDump();
  } else if (wcscmp(name, L"settext") == 0 && count == 3) {
    result = CommandSetText(args[1], args[2]);
  } else if (wcscmp(name, L"select") == 0 && count == 3) {
    result = CommandSelect(args[1], args[2]);
  } else if (wcscmp(name, L"click") == 0 && count == 2) {
    result = CommandClick(args[1]);
  } else if (wcscmp(name, L"command") == 0 && (count == 2 || count == 3)) {
    result = CommandCommand(args[1], count == 3 ? args[2] : NULL);
  } else if (wcscmp(name, L"key") == 0 && count == 2) {
    result = CommandKey(args[1]);
  } else if (wcscmp(name, L"close") == 0 && count == 1) {
    result = CommandMessage(WM_SYSCOMMAND, SC_CLOSE, false);
  } else if (wcscmp(name, L"wmclose") == 0 && count == 1) {
    result = CommandMessage(WM_CLOSE, 0, true);
  } else if (wcscmp(name, L"gone") == 0 && count == 1) {
    result = CommandGone();
  } else if (wcscmp(name, L"wavedevices") == 0 && count == 1) {
    result = CommandWaveDevices();
  } else if (wcscmp(name, L"sleep") == 0 && count == 2) {
    long ms = 0;
    if (ParseInt(args[1], &ms) && ms >= 0) {
      Sleep((DWORD)ms);
      result = kExitOk;
    }
  } else {
    Fail("unknown command or wrong number of arguments", name);
    return kExitUsage;
  }
  return result;
}

static int Run(int argc, wchar_t **argv) {
  int i = 1;
  for (; i < argc && wcsncmp(argv[i], L"--", 2) == 0; i += 2) {
    if (i + 1 >= argc) {
      Fail("option without value", argv[i]);
      return kExitUsage;
    }
    long value = 0;
    if (wcscmp(argv[i], L"--timeout") == 0 && ParseInt(argv[i + 1], &value) && value >= 0) {
      g_timeout_ms = (DWORD)value;
    } else if (wcscmp(argv[i], L"--pid") == 0 && ParseInt(argv[i + 1], &value) && value > 0) {
      g_want_pid = (DWORD)value;
    } else if (wcscmp(argv[i], L"--exe") == 0) {
      g_want_exe = argv[i + 1];
    } else if (wcscmp(argv[i], L"--class") == 0) {
      g_want_class = argv[i + 1];
    } else if (wcscmp(argv[i], L"--font") == 0) {
      // FACE,POINTS
      const wchar_t *comma = wcsrchr(argv[i + 1], L',');
      size_t face_len = comma != NULL ? (size_t)(comma - argv[i + 1]) : 0;
      if (comma == NULL || face_len == 0 || face_len >= LF_FACESIZE || !ParseInt(comma + 1, &value) || value <= 0 ||
          value > 72) {
        Fail("bad --font, expected FACE,POINTS", argv[i + 1]);
        return kExitUsage;
      }
      wmemcpy(g_font_face, argv[i + 1], face_len);
      g_font_face[face_len] = 0;
      g_font_points = (int)value;
    } else {
      Fail("bad option", argv[i]);
      return kExitUsage;
    }
  }
  if (i >= argc) {
    Fail("no command; see the top of windriver.cpp", NULL);
    return kExitUsage;
  }
  while (i < argc) {
    int end = i;
    while (end < argc && wcscmp(argv[end], L";") != 0) ++end;
    if (end == i) {
      Fail("empty command", NULL);
      return kExitUsage;
    }
    int result = RunCommand(argv + i, end - i);
    if (result != kExitOk) return result;
    i = end + 1;
  }
  return kExitOk;
}

int main(void) {
  int argc = 0;
  wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == NULL) return kExitUsage;
  int result = Run(argc, argv);
  LocalFree(argv);
  return result;
}
