// What the dialog's operations may do to the window. The operations see only this: the Win32
// implementation drives the real controls, an in-memory one records what happens for tests.
// Every text here is code page 949, as the operations count it; a control id names the list,
// edit, button or bar (IDC_*), a text id a string of the string table (IDS_*).
#pragma once

#include <string>

// What a control tells the dialog: a button clicked or a menu item chosen, an edit's text
// changed, or anything else (which no operation answers).
enum class ControlEvent { Clicked, TextChanged, Other };

class DialogControls {
public:
    virtual ~DialogControls() = default;

    // List views.
    virtual int RowCount(int list) = 0;
    virtual void InsertRow(int list, int row) = 0;  // empty column-0 text, unticked
    virtual void SetCell(int list, int row, int column, const std::string& text) = 0;
    virtual std::string Cell(int list, int row, int column) = 0;  // empty for a missing row
    virtual void DeleteRow(int list, int row) = 0;
    virtual void DeleteAllRows(int list) = 0;
    virtual bool IsChecked(int list, int row) = 0;
    virtual void SetChecked(int list, int row, bool checked) = 0;
    virtual void ScrollList(int list, int dy) = 0;

    // Edits, buttons, statics, bars and the port selector.
    virtual std::string EditText(int edit) = 0;
    virtual void SetEditText(int edit, const std::string& text) = 0;
    virtual void SetControlText(int control, int textId) = 0;
    virtual void EnableControl(int control, bool enabled) = 0;
    virtual void SetProgress(int bar, int position) = 0;
    // The port selector's entry shown in its field, -1 for none (nothing, or a text typed over
    // the entry); selecting -1 empties the field.
    virtual int SelectedPort() = 0;
    virtual void SelectPort(int index) = 0;
    // The text in the port selector's field, as typed or as an entry shows it; setting it
    // selects no entry.
    virtual std::string PortText() = 0;
    virtual void SetPortText(const std::string& text) = 0;

    // Modal boxes owned by the dialog; `insert` replaces the text's first "%d", "%s" or "%1",
    // `second` the next one.
    virtual void Tell(int textId, const std::string& insert = "",
                      const std::string& second = "") = 0;  // OK, exclamation
    // OK, stop icon; the insert is a file path in UTF-8.
    virtual void TellError(int textId, const std::string& insert = "") = 0;
    virtual bool Ask(int textId) = 0;  // Yes / No
    // Yes / No with No the default button, for a question whose Yes may lose data; `insert`
    // as for Tell.
    virtual bool AskNoByDefault(int textId, const std::string& insert) = 0;
    // The save-file and open-file dialogs, for CSV and text files; false when the operator
    // cancels. The path is UTF-8.
    virtual bool AskSavePath(const char* initialName, std::string& path) = 0;
    virtual bool AskOpenPath(std::string& path) = 0;
};
