// The dialog's controls as the operations see them, on the real window.
#pragma once

#include <windows.h>

#include "app/controls.h"

class Win32Controls : public DialogControls {
public:
    explicit Win32Controls(HWND dialog = nullptr) : m_dialog(dialog) {}
    void Attach(HWND dialog) { m_dialog = dialog; }

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

    void Tell(int textId, const std::string& insert, const std::string& second) override;
    void TellError(int textId, const std::string& insert) override;
    bool Ask(int textId) override;
    bool AskSavePath(const char* initialName, std::string& path) override;
    bool AskOpenPath(std::string& path) override;

private:
    LRESULT Send(int control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    int Box(int textId, const std::wstring& insert, UINT style, const std::wstring& second = L"");

    HWND m_dialog;
};
