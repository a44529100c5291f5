// The dialog's window without a window: the lists keep their rows in memory, every box is a
// line on standard error in its Korean text, a question takes the answer given on the command
// line, and the file dialogs return the paths given there. The text ids of the boxes shown
// are kept, so that the program can tell how an operation ended.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/list_rows.h"

class HeadlessControls : public DialogControls {
public:
    // `savePath` and `openPath` are UTF-8; `showProgress` draws a progress line on standard
    // error while a transfer runs.
    HeadlessControls(bool answerYes, std::string savePath, std::string openPath, bool showProgress);
    ~HeadlessControls() override;

    // The Tell and TellError boxes shown so far, questions left out.
    const std::vector<int>& Told() const { return m_told; }
    void ClearTold() { m_told.clear(); }
    // A line of the program's own on standard error, after any progress line.
    void Say(const std::string& line);

    int RowCount(int list) override;
    void InsertRow(int list, int row) override;
    void SetCell(int list, int row, int column, const std::string& text) override;
    std::string Cell(int list, int row, int column) override;
    void DeleteRow(int list, int row) override;
    void DeleteAllRows(int list) override;
    // No operation of the console program ticks a row.
    bool IsChecked(int, int) override { return false; }
    void SetChecked(int, int, bool) override {}
    void ScrollList(int, int) override {}

    std::string EditText(int edit) override { return m_edits[edit]; }
    void SetEditText(int edit, const std::string& text) override { m_edits[edit] = text; }
    void SetControlText(int, int) override {}
    void EnableControl(int, bool) override {}
    void SetProgress(int bar, int position) override;
    int SelectedPort() override { return -1; }
    void SelectPort(int) override {}
    std::string PortText() override { return {}; }
    void SetPortText(const std::string&) override {}

    void Tell(int textId, const std::string& insert = "", const std::string& second = "") override;
    void TellError(int textId, const std::string& insert = "") override;
    bool Ask(int textId) override;
    // Answered as the command says: Yes with --yes, unless it keeps unarchived records.
    bool AskNoByDefault(int textId, const std::string& insert) override;
    void SetCarefulAnswer(bool yes) { m_answerCarefulYes = yes; }
    // The text of such a question that was answered No; 0 for none.
    int DeclinedCarefulQuestion() const { return m_declinedCareful; }
    bool AskSavePath(const char* initialName, std::string& path) override;
    bool AskOpenPath(std::string& path) override;

private:
    void EndProgress();

    std::map<int, ListRows> m_lists;
    std::map<int, std::string> m_edits;
    std::vector<int> m_told;
    bool m_answerYes;
    bool m_answerCarefulYes;
    int m_declinedCareful = 0;
    std::string m_savePath;
    std::string m_openPath;
    bool m_showProgress;
    int m_percentShown = -1;  // -1: no progress line on the terminal
};
