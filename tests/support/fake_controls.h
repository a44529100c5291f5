// In-memory window for the dialog's operations: lists of cells, edit texts, enabled states,
// progress positions and a record of every box shown, with scripted answers.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/port_settings.h"

struct ShownBox {
    enum Kind { Info, Error, Question, CarefulQuestion } kind;
    int textId;
    std::string insert;
    std::string second = "";
    bool operator==(const ShownBox& other) const {
        return kind == other.kind && textId == other.textId && insert == other.insert &&
               second == other.second;
    }
};

class FakeControls : public DialogControls {
public:
    struct Row {
        std::vector<std::string> cells;
        bool checked = false;
    };

    int RowCount(int list) override { return static_cast<int>(lists[list].size()); }
    void InsertRow(int list, int row) override {
        auto& rows = lists[list];
        rows.insert(rows.begin() + row, Row{std::vector<std::string>(11), false});
    }
    void SetCell(int list, int row, int column, const std::string& text) override {
        if (row < RowCount(list)) lists[list][row].cells.at(column) = text;
    }
    std::string Cell(int list, int row, int column) override {
        if (row < 0 || row >= RowCount(list)) return {};
        return lists[list][row].cells.at(column);
    }
    void DeleteRow(int list, int row) override { lists[list].erase(lists[list].begin() + row); }
    void DeleteAllRows(int list) override { lists[list].clear(); }
    bool IsChecked(int list, int row) override { return lists[list].at(row).checked; }
    void SetChecked(int list, int row, bool checked) override {
        lists[list].at(row).checked = checked;
    }
    void ScrollList(int list, int dy) override { scrolls[list].push_back(dy); }

    std::string EditText(int edit) override { return edits[edit]; }
    void SetEditText(int edit, const std::string& text) override { edits[edit] = text; }
    void SetControlText(int control, int textId) override { texts[control] = textId; }
    void EnableControl(int control, bool enabled) override { enabled_[control] = enabled; }
    void SetProgress(int bar, int position) override { progress[bar].push_back(position); }
    int SelectedPort() override { return selectedPort; }
    // As the real field: selecting replaces its text (with the entry's, left out here).
    void SelectPort(int index) override {
        selectedPort = index;
        portText.clear();
    }
    std::string PortText() override { return portText; }
    void SetPortText(const std::string& text) override {
        selectedPort = -1;
        portText = text;
    }

    void Tell(int textId, const std::string& insert, const std::string& second) override {
        boxes.push_back({ShownBox::Info, textId, insert, second});
    }
    void TellError(int textId, const std::string& insert) override {
        boxes.push_back({ShownBox::Error, textId, insert});
    }
    bool Ask(int textId) override {
        boxes.push_back({ShownBox::Question, textId, ""});
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool AskNoByDefault(int textId, const std::string& insert) override {
        boxes.push_back({ShownBox::CarefulQuestion, textId, insert});
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool AskSavePath(const char* initialName, std::string& path) override {
        savePathAsked = true;
        saveName = initialName;
        return Answer(savePath, path);
    }
    bool AskOpenPath(std::string& path) override {
        openPathAsked = true;
        return Answer(openPath, path);
    }

    bool IsEnabled(int control) const {
        auto it = enabled_.find(control);
        return it != enabled_.end() && it->second;
    }
    int ProgressNow(int bar) { return progress[bar].empty() ? 0 : progress[bar].back(); }

    std::map<int, std::vector<Row>> lists;
    std::map<int, std::vector<int>> scrolls;
    std::map<int, std::string> edits;
    std::map<int, int> texts;
    std::map<int, std::vector<int>> progress;
    std::map<int, bool> enabled_;
    int selectedPort = -1;
    std::string portText;  // typed into the port field
    std::vector<ShownBox> boxes;
    std::deque<bool> answers;  // Yes (true) when empty
    std::string savePath;      // empty: the operator cancels
    bool savePathAsked = false;
    std::string saveName;  // offered by the last save dialog
    std::string openPath;  // empty: the operator cancels
    bool openPathAsked = false;

private:
    static bool Answer(const std::string& given, std::string& path) {
        if (given.empty()) return false;
        path = given;
        return true;
    }
};

class FakeSettings : public PortSettingsStore {
public:
    bool OpenKey() override { return keyExists && (open = true); }
    bool CreateKey() override {
        if (!canCreate) return false;
        keyExists = open = true;
        return true;
    }
    bool ReadPort(int32_t& index) override {
        if (!hasValue) return false;
        index = value;
        return true;
    }
    bool WritePort(int32_t index) override {
        if (!canWrite) return false;
        value = index;
        hasValue = true;
        return true;
    }
    void CloseKey() override { open = false; }

    bool keyExists = false;
    bool hasValue = false;
    int32_t value = 0;
    bool canCreate = true;
    bool canWrite = true;
    bool open = false;
};
