#include "ui.h"

#include <commctrl.h>

#include "res/dialogs.h"

#include <set>

namespace driver {

// Cross-process messages are answered in microseconds; this only catches a
// program that no longer pumps messages.
static const UINT kMessageLimitMs = 5000;
static const DWORD kPaintLimitMs = 5000;

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND> windows;
};
}  // namespace

static BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid)
        search->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid)
{
    WindowSearch search = {pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

HWND FindWindowByCaption(DWORD pid, const std::string &caption)
{
    for (HWND window : TopLevelWindows(pid))
        if (WindowTitle(window) == caption)
            return window;
    return NULL;
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string WindowTitle(HWND window)
{
    char title[1024] = "";
    GetWindowTextA(window, title, sizeof(title));
    return title;
}

static bool SendWithLimit(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR *result)
{
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageLimitMs,
                               result) != 0;
}

bool ItemText(HWND dialog, int id, std::string *text)
{
    HWND item = GetDlgItem(dialog, id);
    if (item == NULL)
        return false;
    char buffer[1024] = "";
    DWORD_PTR length = 0;
    if (!SendWithLimit(item, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer), &length))
        return false;
    buffer[sizeof(buffer) - 1] = '\0';
    *text = buffer;
    return true;
}

static bool IsDialog(HWND window)
{
    return ClassName(window) == "#32770";
}

bool IsMessageBox(HWND window)
{
    HWND text = GetDlgItem(window, 0xFFFF);
    return IsDialog(window) && text != NULL && ClassName(text) == "Static" &&
           GetDlgItem(window, IDC_PROGRESS) == NULL;
}

bool IsRestartDialog(HWND window)
{
    HWND frame = GetDlgItem(window, IDC_RESTART_FRAME);
    return IsDialog(window) && frame != NULL && ClassName(frame) == "Button" &&
           (GetWindowLongA(frame, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

static BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param)
{
    MessageBoxView *view = reinterpret_cast<MessageBoxView *>(param);
    std::string cls = ClassName(child);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        view->iconControl = child;
        DWORD_PTR icon = 0;
        view->hasIcon = SendWithLimit(child, STM_GETICON, 0, 0, &icon) && icon != 0;
    } else if (cls == "Button" && IsWindowVisible(child)) {
        view->buttonIds.push_back(GetDlgCtrlID(child));
        view->buttonTexts.push_back(WindowTitle(child));
    }
    return TRUE;
}

int SafestButton(const MessageBoxView &box)
{
    for (int id : {IDNO, IDCANCEL, IDOK})
        for (int shown : box.buttonIds)
            if (shown == id)
                return id;
    return box.buttonIds.empty() ? IDCANCEL : box.buttonIds.front();
}

bool PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button == NULL || !IsWindowVisible(button))
        return false;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}

bool PressKey(HWND dialog, WORD virtualKey)
{
    UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    if (!PostMessageA(dialog, WM_KEYDOWN, virtualKey, down))
        return false;
    // The key-down may end the dialog (Escape, Enter) before the key-up is
    // posted; the key was pressed all the same.
    return PostMessageA(dialog, WM_KEYUP, virtualKey, up) || !IsWindow(dialog);
}

bool CloseFromFrame(HWND window)
{
    return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

namespace {
struct RestartChildren {
    RestartDialogView *view;
    bool messageSeen;
};
}  // namespace

static BOOL CALLBACK ReadRestartChild(HWND child, LPARAM param)
{
    RestartChildren *children = reinterpret_cast<RestartChildren *>(param);
    RestartDialogView *view = children->view;
    std::string cls = ClassName(child);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    int id = GetDlgCtrlID(child);
    if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        view->hasIcon = view->hasIcon || (SendWithLimit(child, STM_GETICON, 0, 0, &icon) && icon != 0);
    } else if (cls == "Static" && id == 0xFFFF && !children->messageSeen) {
        children->messageSeen = true;
        view->messageStyle = style;
    } else if (id == IDC_RESTART_FRAME) {
        view->frameClass = cls;
        view->frameStyle = style;
        view->frameText = WindowTitle(child);
    } else if (cls == "Button" && IsWindowVisible(child)) {
        view->buttonIds.push_back(id);
        view->buttonTexts.push_back(WindowTitle(child));
    }
    return TRUE;
}

bool ReadRestartDialog(HWND window, RestartDialogView *view)
{
    *view = RestartDialogView();
    view->window = window;
    view->visible = IsWindowVisible(window) != 0;
    view->title = WindowTitle(window);
    view->style = GetWindowLongA(window, GWL_STYLE);
    if (!GetWindowRect(window, &view->rect) || !ItemText(window, 0xFFFF, &view->message))
        return false;
    RestartChildren children = {view, false};
    EnumChildWindows(window, ReadRestartChild, reinterpret_cast<LPARAM>(&children));
    return IsWindow(window) != 0;
}

// The 32x32 pixels of the screen at (x, y), as 0x00RRGGBB.
static bool ScreenPixels(int x, int y, std::vector<DWORD> *pixels)
{
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (bitmap != NULL) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, 32, 32, screen, x, y, SRCCOPY) != 0;
        GdiFlush();
        if (ok)
            pixels->assign(static_cast<DWORD *>(bits), static_cast<DWORD *>(bits) + 32 * 32);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

// The 32x32 pixels of a system icon as this process loads it, as 0xAARRGGBB.
static bool IconPixels(LPCSTR name, std::vector<DWORD> *pixels)
{
    HICON icon = LoadIconA(NULL, name);
    ICONINFO info;
    if (icon == NULL || !GetIconInfo(icon, &info))
        return false;
    bool ok = false;
    BITMAP bitmap;
    if (info.hbmColor != NULL && GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap) &&
        bitmap.bmWidth == 32 && bitmap.bmHeight == 32) {
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = 32;
        format.bmiHeader.biHeight = -32;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        pixels->assign(32 * 32, 0);
        HDC screen = GetDC(NULL);
        ok = GetDIBits(screen, info.hbmColor, 0, 32, pixels->data(), &format, DIB_RGB_COLORS) == 32;
        ReleaseDC(NULL, screen);
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return ok;
}

namespace {
struct SystemIcon {
    const char *name;
    LPCSTR id;
    std::vector<DWORD> pixels;
};
}  // namespace

// A visible window above box in Z order that overlaps area, described;
// "" when nothing lies over it.
static std::string WindowAbove(HWND box, const RECT &area)
{
    for (HWND window = GetTopWindow(NULL); window != NULL && window != box;
         window = GetWindow(window, GW_HWNDNEXT)) {
        RECT rect;
        RECT overlap;
        if (IsWindowVisible(window) && GetWindowRect(window, &rect) && IntersectRect(&overlap, &rect, &area))
            return ClassName(window) + " \"" + WindowTitle(window) + "\"";
    }
    return "";
}

// Which system icon a box's icon control shows: the one all of whose fully
// opaque pixels have their colour on the screen where the control is. The
// screen holds whatever lies on top, so the box is first raised above every
// other window (a window still over the icon is reported, never misread)
// and its icon painted at once; the pixels may reach the screen a moment
// after the paint, so they are looked at again for a few seconds.
static std::string IdentifyShownIcon(HWND box, HWND control)
{
    std::vector<SystemIcon> icons = {{"warning", IDI_WARNING, {}},
                                     {"question", IDI_QUESTION, {}},
                                     {"error", IDI_ERROR, {}},
                                     {"information", IDI_INFORMATION, {}}};
    for (SystemIcon &icon : icons)
        if (!IconPixels(icon.id, &icon.pixels))
            return std::string("unknown: cannot draw the ") + icon.name + " icon";
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(control, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    std::string seen;
    ULONGLONG deadline = GetTickCount64() + kPaintLimitMs;
    do {
        RECT rect;
        std::vector<DWORD> shown;
        if (!IsWindowVisible(control) || !GetWindowRect(control, &rect) ||
            !ScreenPixels(rect.left, rect.top, &shown))
            return "unknown: the icon control is not on screen";
        std::string above = WindowAbove(box, rect);
        if (!above.empty())
            return "unknown: the window " + above + " lies over the icon";
        seen.clear();
        for (const SystemIcon &icon : icons) {
            int opaque = 0;
            int matching = 0;
            for (size_t i = 0; i < icon.pixels.size(); i++) {
                if ((icon.pixels[i] >> 24) != 0xFF)
                    continue;
                opaque++;
                matching += (shown[i] & 0xFFFFFF) == (icon.pixels[i] & 0xFFFFFF);
            }
            if (opaque > 0 && matching == opaque)
                return icon.name;
            seen += (seen.empty() ? "" : ", ") + std::to_string(matching) + "/" +
                    std::to_string(opaque) + " pixels of " + icon.name;
        }
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return "unknown: " + seen;
}

bool ReadMessageBox(HWND window, MessageBoxView *view)
{
    *view = MessageBoxView();
    view->window = window;
    view->owner = GetWindow(window, GW_OWNER);
    view->caption = WindowTitle(window);
    if (!ItemText(window, 0xFFFF, &view->text))
        return false;
    EnumChildWindows(window, ReadBoxChild, reinterpret_cast<LPARAM>(view));
    view->restartDialog = IsRestartDialog(window);
    if (view->restartDialog) {
        // Its group box is a button too, though not one to press.
        for (size_t i = 0; i < view->buttonIds.size(); i++)
            if (view->buttonIds[i] == IDC_RESTART_FRAME) {
                view->buttonIds.erase(view->buttonIds.begin() + i);
                view->buttonTexts.erase(view->buttonTexts.begin() + i);
                break;
            }
    }
    if (!view->hasIcon)
        view->shownIcon = "none";
    else if (view->restartDialog)
        view->shownIcon = "program";
    else
        view->shownIcon = IdentifyShownIcon(window, view->iconControl);
    return IsWindow(window) != 0;
}

HWND FindProgressDialog(DWORD pid)
{
    for (HWND window : TopLevelWindows(pid)) {
        HWND bar = GetDlgItem(window, IDC_PROGRESS);
        if (IsDialog(window) && bar != NULL && ClassName(bar) == PROGRESS_CLASSA)
            return window;
    }
    return NULL;
}

bool ReadProgressDialog(HWND dialog, ProgressView *view)
{
    *view = ProgressView();
    view->window = dialog;
    view->visible = IsWindowVisible(dialog) != 0;
    view->title = WindowTitle(dialog);
    if (!GetWindowRect(dialog, &view->rect))
        return false;
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    DWORD_PTR position = 0;
    DWORD_PTR low = 0;
    DWORD_PTR high = 0;
    if (bar == NULL || !ItemText(dialog, IDC_STATUS, &view->status) ||
        !ItemText(dialog, IDC_DETAIL, &view->detail) ||
        !ItemText(dialog, IDC_CANCEL_BUTTON, &view->button) ||
        !SendWithLimit(bar, PBM_GETPOS, 0, 0, &position) ||
        !SendWithLimit(bar, PBM_GETRANGE, TRUE, 0, &low) ||
        !SendWithLimit(bar, PBM_GETRANGE, FALSE, 0, &high))
        return false;
    view->position = static_cast<long>(position);
    view->low = static_cast<long>(low);
    view->high = static_cast<long>(high);
    return IsWindow(dialog) != 0;
}

bool WatchRun(Program &program, const BoxAnswer &answer, RunRecord *record, DWORD limitMs, DWORD pauseMs)
{
    *record = RunRecord();
    std::set<HWND> answered;
    HWND dialog = NULL;
    ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        // Taken before the look at the windows, so that the last look
        // follows the end.
        bool ended = WaitForSingleObject(program.handle(), 0) == WAIT_OBJECT_0;

        if (dialog == NULL || !IsWindow(dialog))
            dialog = FindProgressDialog(program.pid());
        ProgressView view;
        if (dialog != NULL && ReadProgressDialog(dialog, &view)) {
            record->progressDialogExisted = true;
            record->progressDialogShown = record->progressDialogShown || view.visible;
            record->progress.push_back(view);
        }

        for (HWND window : TopLevelWindows(program.pid())) {
            if (answered.count(window) || !IsWindowVisible(window) || !IsMessageBox(window))
                continue;
            MessageBoxView box;
            if (!ReadMessageBox(window, &box))
                continue;
            answered.insert(window);
            record->boxes.push_back(box);
            int id = answer(box);
            if (id == 0) {
                record->error = "stopped watching at the box \"" + box.text + "\"";
                return false;
            }
            if (id != kAnswered && !PressButton(window, id)) {
                record->error = "the box \"" + box.text + "\" has no button " + std::to_string(id);
                return false;
            }
        }

        if (ended) {
            record->ended = GetExitCodeProcess(program.handle(), &record->exitCode) != 0;
            return record->ended;
        }
        if (GetTickCount64() > deadline) {
            record->error = "still running after " + std::to_string(limitMs) + " ms";
            return false;
        }
        // Look again soon: a removal of a few files is over in a tenth of a
        // second, and every look is a chance to see the dialog at work.
        if (pauseMs > 0)
            WaitForSingleObject(program.handle(), pauseMs);
        else
            Sleep(dialog != NULL && view.visible ? 0 : 1);
    }
}

}  // namespace driver
