// The rows list answers the list-box messages as the system's owner-drawn,
// variable-height list box with extended selection does.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "ui/controls/RowListBox.h"

namespace {

// A parent that sizes rows by their data and records deletions and notices.
struct Parent {
    std::vector<ULONG_PTR> deleted;
    std::vector<WORD> notices;
    int drawn = 0;
};
Parent* parentState = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
            static_cast<UINT>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemData % 100);
        return TRUE;
    case WM_DELETEITEM:
        parentState->deleted.push_back(reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->itemData);
        return TRUE;
    case WM_DRAWITEM:
        ++parentState->drawn;
        return TRUE;
    case WM_COMMAND:
        parentState->notices.push_back(HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

class RowListBoxTest : public testing::Test {
protected:
    void SetUp() override {
        parentState = &state;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = instance;
        wc.lpszClassName = L"RowListBoxTestParent";
        RegisterClassW(&wc);
        ASSERT_TRUE(RowListBox::RegisterWindowClass(instance));
        parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 nullptr, instance, nullptr);
        list = CreateWindowExW(0, RowListBox::kClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0,
                               300, 100, parent, reinterpret_cast<HMENU>(7), instance, nullptr);
        ASSERT_TRUE(list);
    }
    void TearDown() override {
        if (IsWindow(parent))
            DestroyWindow(parent);
        parentState = nullptr;
    }
    LRESULT Send(UINT message, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(list, message, w, l); }
    int Add(ULONG_PTR data) { return static_cast<int>(Send(LB_ADDSTRING, 0, static_cast<LPARAM>(data))); }
    RECT Rect(int row) {
        RECT r{};
        Send(LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    std::vector<int> Selected() {
        std::vector<int> rows(100);
        rows.resize(Send(LB_GETSELITEMS, rows.size(), reinterpret_cast<LPARAM>(rows.data())));
        return rows;
    }

    Parent state;
    HWND parent = nullptr;
    HWND list = nullptr;
};

}  // namespace

TEST_F(RowListBoxTest, RowsHeightsAndDeletion) {
    // Data 120 measures 20, 230 measures 30 and so on.
    for (ULONG_PTR data : {120, 230, 340, 450, 560})
        Add(data);
    EXPECT_EQ(Send(LB_GETCOUNT), 5);
    EXPECT_EQ(Send(LB_GETITEMDATA, 2), 340);
    EXPECT_EQ(Send(LB_GETITEMHEIGHT, 1), 30);
    EXPECT_EQ(Rect(0).top, 0);
    EXPECT_EQ(Rect(2).top, 50);
    EXPECT_EQ(Rect(4).top, 140);
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_EQ(Rect(4).right, client.right);
    EXPECT_EQ(LOWORD(Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 55))), 2);
    EXPECT_EQ(Send(LB_GETITEMDATA, 9), LB_ERR);

    // A new height moves the rows below; new data changes nothing else.
    Send(LB_SETITEMHEIGHT, 0, 5);
    EXPECT_EQ(Rect(2).top, 35);
    Send(LB_SETITEMDATA, 0, 777);
    EXPECT_EQ(Send(LB_GETITEMDATA, 0), 777);
    EXPECT_EQ(Send(LB_GETITEMHEIGHT, 0), 5);

    // Deleting tells the parent which data went; the rows below move up.
    EXPECT_EQ(Send(LB_DELETESTRING, 1), 4);
    EXPECT_EQ(state.deleted, (std::vector<ULONG_PTR>{230}));
    EXPECT_EQ(Send(LB_GETITEMDATA, 1), 340);
    EXPECT_EQ(Rect(1).top, 5);
    Send(LB_RESETCONTENT);
    EXPECT_EQ(Send(LB_GETCOUNT), 0);
    EXPECT_EQ(state.deleted, (std::vector<ULONG_PTR>{230, 777, 340, 450, 560}));
    // Rows still held when the window goes are deleted too.
    Add(101);
    DestroyWindow(parent);
    EXPECT_EQ(state.deleted.back(), 101u);
}

TEST_F(RowListBoxTest, SelectionCaretAndNotices) {
    for (int i = 0; i < 30; ++i)
        Add(110);  // ten pixels each: thirty rows do not fit
    Send(LB_SETSEL, TRUE, 3);
    Send(LB_SELITEMRANGEEX, 6, 8);
    EXPECT_EQ(Selected(), (std::vector<int>{3, 6, 7, 8}));
    EXPECT_EQ(Send(LB_GETSEL, 7), 1);
    EXPECT_EQ(Send(LB_GETSEL, 4), 0);
    Send(LB_SELITEMRANGEEX, 7, 6);  // reversed: deselects
    EXPECT_EQ(Selected(), (std::vector<int>{3, 8}));
    EXPECT_EQ(Send(LB_GETSELCOUNT), 2);
    Send(LB_SETSEL, TRUE, -1);
    EXPECT_EQ(Send(LB_GETSELCOUNT), 30);
    Send(LB_SETSEL, FALSE, -1);

    // A click selects one row and tells the parent; a double click too.
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 25));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(5, 25));
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    EXPECT_EQ(Send(LB_GETCARETINDEX), 2);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 25));
    EXPECT_EQ(state.notices, (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK}));

    // The selected rows go together, the highest first; the caret follows.
    Send(LB_SETSEL, TRUE, 0);
    Send(LB_SETSEL, TRUE, 29);
    state.deleted.clear();
    Send(LB_SETITEMDATA, 29, 329);
    Send(LB_SETITEMDATA, 2, 302);
    Send(LB_SETITEMDATA, 0, 300);
    EXPECT_EQ(Send(LB_DELETESELECTED), 27);
    EXPECT_EQ(state.deleted, (std::vector<ULONG_PTR>{329, 302, 300}));
    EXPECT_EQ(Send(LB_GETSELCOUNT), 0);
    EXPECT_TRUE(Send(LB_GETCARETINDEX) >= 0 && Send(LB_GETCARETINDEX) < 27);

    // Scrolling by row; the top row and the scroll bar agree.
    Send(LB_SETTOPINDEX, 20);
    EXPECT_EQ(Send(LB_GETTOPINDEX), 17) << "the last rows fill the view, no further";
    EXPECT_EQ(GetScrollPos(list, SB_VERT), 170);
    Send(LB_SETTOPINDEX, 4);
    EXPECT_EQ(Send(LB_GETTOPINDEX), 4);
    EXPECT_EQ(Rect(4).top, 0);
}

TEST_F(RowListBoxTest, BatchesOfRowsGoBetweenTheRowsAndSelectionsStayWithTheirRows) {
    for (ULONG_PTR data : {110, 120, 130, 140})
        Add(data);
    Send(LB_SETSEL, TRUE, 1);
    Send(LB_SETCARETINDEX, 2);
    RowListBox* rows = RowListBox::FromWindow(list);
    ASSERT_NE(rows, nullptr);
    auto pumpScrollBar = [] {
        for (int i = 0; i < 30; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(10);
        }
    };
    pumpScrollBar();
    // Before the first row, two between rows 1 and 2, one past the last.
    rows->InsertBatch({0, 2, 2, 4}, {205, 215, 216, 250});
    pumpScrollBar();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    GetScrollInfo(list, SB_VERT, &info);
    EXPECT_EQ(info.nMax + 1, 5 + 10 + 20 + 15 + 16 + 30 + 40 + 50) << "the scroll bar learns the new height";
    std::vector<LRESULT> data;
    for (int i = 0; i < Send(LB_GETCOUNT); ++i)
        data.push_back(Send(LB_GETITEMDATA, i));
    EXPECT_EQ(data, (std::vector<LRESULT>{205, 110, 120, 215, 216, 130, 140, 250}));
    EXPECT_EQ(Selected(), std::vector<int>{2}) << "row 120 stays selected";
    EXPECT_EQ(Send(LB_GETCARETINDEX), 5) << "the caret stays on row 130";
    // Heights measured for the new rows, positions summed again.
    EXPECT_EQ(Send(LB_GETITEMHEIGHT, 3), 15);
    EXPECT_EQ(Rect(3).top, 5 + 10 + 20);
    EXPECT_EQ(Rect(7).top, 5 + 10 + 20 + 15 + 16 + 30 + 40);
    rows->InsertBatch({}, {});
    EXPECT_EQ(Send(LB_GETCOUNT), 8);
}

namespace {

// An owner whose rows are 20 pixels high and that counts drags.
struct DragOwner : RowOwner {
    int drags = 0;
    std::vector<int> selectedAtDrag;
    HWND list = nullptr;
    int MeasureRow(ULONG_PTR) override { return 20; }
    void DrawRow(const DRAWITEMSTRUCT&) override {}
    void DeleteRow(ULONG_PTR) override {}
    void DragSelectedRows() override {
        ++drags;
        selectedAtDrag.resize(100);
        selectedAtDrag.resize(SendMessageW(list, LB_GETSELITEMS, 100, reinterpret_cast<LPARAM>(selectedAtDrag.data())));
    }
};

TEST_F(RowListBoxTest, DragsStartOnlyFromAPressOnTheSelection) {
    DragOwner owner;
    owner.list = list;
    RowListBox::FromWindow(list)->SetOwner(&owner);
    for (int i = 0; i < 5; ++i)
        Add(i + 1);
    const int away = GetSystemMetrics(SM_CYDRAG) + 30;
    auto press = [&](int y, WPARAM keys = 0) { Send(WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(10, y)); };
    auto move = [&](int y, WPARAM keys = 0) { Send(WM_MOUSEMOVE, MK_LBUTTON | keys, MAKELPARAM(10, y)); };
    auto release = [&](int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(10, y)); };

    // A press on a row that is not selected, then a move: the selection
    // grows, nothing is dragged.
    press(5);
    move(45);
    release(45);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(owner.drags, 0);

    // A plain click on a selected row, moving less than the drag distance:
    // that row alone ends up selected, on the button's release.
    press(25);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2})) << "the selection waits for the release";
    move(25 + GetSystemMetrics(SM_CYDRAG));
    release(25);
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    EXPECT_EQ(owner.drags, 0);

    // A press on the selection and a move past the drag distance drags the
    // whole selection.
    press(5);
    press(45, MK_SHIFT);
    release(45);
    ASSERT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    press(25);
    move(25 + away);
    move(25 + away + 10);
    release(25 + away + 10);
    EXPECT_EQ(owner.drags, 1) << "one drag for one gesture";
    EXPECT_EQ(owner.selectedAtDrag, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(GetCapture(), nullptr) << "the drag takes the mouse";

    // Ctrl+press on a selected row toggles it; a move after it selects on,
    // and drags nothing.
    press(45, MK_CONTROL);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1}));
    move(45 + away, MK_CONTROL);
    release(45 + away);
    EXPECT_EQ(owner.drags, 1);
}

}  // namespace
