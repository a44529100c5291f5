// The dialog's controls as the operations see them, on the real window.
#pragma once

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <map>

#include "app/controls.h"
#include "app/list_rows.h"
#include "app/win32/repaint_pace.h"

class Win32Controls : public DialogControls {
public:
    explicit Win32Controls(HWND dialog = nullptr) : m_dialog(dialog) {}
    void Attach(HWND dialog) {
        m_dialog = dialog;
        m_controls.clear();
    }

    // A transfer sets rows, cells and progress after every item, but the window catches up
    // at a pace (RepaintPace: the progress bars and the lists each their own) and at Flush, so
    // that list views do their layout, scroll bars and painting once for many rows instead of
    // once a row. Flush runs after every command and before every box, so the operator always
    // sees the finished state.
    void Flush();
    // EN_CHANGE of an edit: unless the change is our own, its text is no longer known.
    void EditChanged(int edit);
    // LVN_GETDISPINFOW of an owner-data list: the text of the cell asked for.
    void FillDisplayInfo(NMLVDISPINFOW& info);

    int RowCount(int list) override;
    void InsertRow(int list, int row) override;
    void SetCell(int list, int row, int column, const std::string& text) override;
    std::string Cell(int list, int row, int column) override;
    void DeleteRow(int list, int row) override;
    void DeleteAllRows(int list) override;
    bool IsChecked(int list, int row) override;
    void SetChecked(int list, int row, bool checked) override;
    void ScrollList(int list, int dy) override;

    std::string EditText(int edit) override;
    void SetEditText(int edit, const std::string& text) override;
    void SetControlText(int control, int textId) override;
    void EnableControl(int control, bool enabled) override;
    void SetProgress(int bar, int position) override;
    int SelectedPort() override;
    void SelectPort(int index) override;
    std::string PortText() override;
    void SetPortText(const std::string& text) override;

    void Tell(int textId, const std::string& insert, const std::string& second) override;
    void TellError(int textId, const std::string& insert) override;
    bool Ask(int textId) override;
    bool AskNoByDefault(int textId, const std::string& insert) override;
    bool AskSavePath(const char* initialName, std::string& path) override;
    bool AskOpenPath(std::string& path) override;

    // The history window's: a box whose "%1" is a path and whose "%d" and "%s" are `first` and
    // `second` (all UTF-8): OK, with a stop icon for an error, else an exclamation.
    void TellWithPath(int textId, const std::string& path, const std::string& first,
                      const std::string& second, bool isError);

private:
    // What a list view has not been shown yet.
    struct ListState {
        bool ownerData = false;  // rows kept in `rows`, cells given on request
        bool looked = false;     // ownerData is known
        bool suspended = false;  // redrawing is off until the next Flush
        int staleFrom = -1;      // rows changed since the last Flush, -1 for none
        int staleTo = -1;
        bool shrunk = false;   // rows deleted: the whole view is drawn again
        long long scroll = 0;  // pixels to scroll at the next Flush
        ListRows rows;
    };

    HWND Control(int id);
    std::wstring WindowText(int control);
    LRESULT Send(int control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    int Box(int textId, const std::wstring& insert, UINT style, const std::wstring& second = L"");
    ListState& List(int list);
    void Changed(int list, ListState& state, int from, int to);
    void FlushList(int list, ListState& state);
    void Paced();
    void FlushProgress();

    HWND m_dialog;
    std::map<int, ListState> m_lists;
    std::map<int, int> m_progress;  // positions not yet shown, by bar
    std::map<int, HWND> m_controls;
    std::map<int, std::string> m_knownEdits;  // what each edit shows, as far as known
    int m_settingEdit = 0;                    // the edit whose text is being set
    RepaintPace m_listPace;
    RepaintPace m_progressPace;
};
