#pragma once
// Thin, non-owning wrappers over the standard controls of the main window: each method is
// one SendMessage (or one call) on the control's handle. The window owns the controls.
#include <windows.h>

#include <string>

namespace tallowmere::shell {

class Control {
public:
    Control() = default;
    explicit Control(HWND hwnd) : hwnd_(hwnd) {}
    HWND Handle() const { return hwnd_; }
    void Enable(bool enabled) const { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
    void Show(bool visible) const { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
    bool Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    void SetFont(HFONT font) const { SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
    void SetText(const std::wstring& text) const { SetWindowTextW(hwnd_, text.c_str()); }
    std::wstring Text() const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
        return text;
    }

protected:
    HWND hwnd_ = nullptr;
};

class Edit : public Control {
public:
    using Control::Control;
};

class Static : public Control {
public:
    using Control::Control;
};

class Button : public Control {
public:
    using Control::Control;
};

class ListBox : public Control {
public:
    using Control::Control;
    void Clear() const { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
    int Add(const std::wstring& line) const {
        return static_cast<int>(SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())));
    }
    int Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }
    int Selected() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)); }
    void Select(int index) const { SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    void SetTopIndex(int index) const { SendMessageW(hwnd_, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); }
    void SetItemData(int index, LPARAM data) const {
        SendMessageW(hwnd_, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
    LPARAM ItemData(int index) const { return SendMessageW(hwnd_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0); }
    void SetItemHeight(int height) const { SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0)); }
    void SetRedraw(bool redraw) const { SendMessageW(hwnd_, WM_SETREDRAW, redraw ? TRUE : FALSE, 0); }
    // Room for items more lines holding bytes of text, before they are added.
    void ReserveStorage(std::size_t items, std::size_t bytes) const {
        SendMessageW(hwnd_, LB_INITSTORAGE, static_cast<WPARAM>(items), static_cast<LPARAM>(bytes));
    }
    std::wstring ItemText(int index) const {
        const auto length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == LB_ERR) return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const auto copied =
            SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
        return text;
    }
};

class ComboBox : public Control {
public:
    using Control::Control;
    void Clear() const { SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0); }
    int Add(const std::wstring& item) const {
        return static_cast<int>(SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
    }
    int Count() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
    int Selected() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
    void Select(int index) const { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    // index -1: the selection field, which sets the closed height of a drop-down list.
    void SetItemHeight(int index, int height) const {
        SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(index), height);
    }
    int ItemHeight(int index) const {
        return static_cast<int>(SendMessageW(hwnd_, CB_GETITEMHEIGHT, static_cast<WPARAM>(index), 0));
    }
    std::wstring ItemText(int index) const {
        const auto length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR) return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const auto copied =
            SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
        return text;
    }
};

}  // namespace tallowmere::shell
