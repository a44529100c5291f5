#include "history/win32/action_dialog.h"

#include "app/win32/wide_text.h"
#include "measurement/local_clock.h"
#include "measurement/verdicts.h"
#include "res/resource.h"
#include "site/site_setting.h"

namespace {

struct ActionAsk {
    HistoryView& model;
    size_t index;
    Measurement row;
    ActionState state;
    ArchiveStatus status;
    bool recorded = false;
};

std::string Utf8Text(int textId) { return NarrowFrom(LoadText(textId), CP_UTF8); }

void SetText(HWND dialog, int id, const std::string& utf8) {
    SetDlgItemTextW(dialog, id, WideFrom(utf8, CP_UTF8).c_str());
}

bool RetestIsSafe(const ActionAsk& ask) {
    return ask.state.retest && ask.state.retest->verdict == Verdict::Safe;
}

void Fill(HWND dialog, const ActionAsk& ask) {
    const Measurement& m = ask.row;
    SetText(dialog, IDC_ACTION_MEASUREMENT,
            FillNumbered(Utf8Text(IDS_ACTION_MEASUREMENT),
                         {m.measuredAt, m.userName.empty() ? "-" : m.userName, m.standardName,
                          std::to_string(m.value), VerdictText(m.verdict)}));
    const std::optional<Measurement>& retest = ask.state.retest;
    SetText(dialog, IDC_ACTION_RETEST,
            retest ? FillNumbered(Utf8Text(IDS_ACTION_RETEST_LINE),
                                  {retest->measuredAt, std::to_string(retest->value),
                                   VerdictText(retest->verdict)})
                   : Utf8Text(IDS_ACTION_RETEST_NONE));
    EnableWindow(GetDlgItem(dialog, IDC_ACTION_RETEST_SAFE), RetestIsSafe(ask));
    if (ask.state.action) {
        // The edit shows lines the Windows way; the archive keeps them with "\n".
        std::wstring text = WideFrom(ask.state.action->text, CP_UTF8);
        for (size_t at = 0; (at = text.find(L'\n', at)) != std::wstring::npos; at += 2)
            text.insert(at, 1, L'\r');
        SetDlgItemTextW(dialog, IDC_ACTION_TEXT, text.c_str());
    }
}

std::string EditText(HWND dialog) {
    HWND edit = GetDlgItem(dialog, IDC_ACTION_TEXT);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    std::wstring lines;
    for (wchar_t c : text)
        if (c != L'\r') lines += c;
    while (!lines.empty() && (lines.back() == L'\n' || lines.back() == L' ')) lines.pop_back();
    return NarrowFrom(lines, CP_UTF8);
}

// Records `text` and ends the dialog; an empty text is no action: the edit keeps the focus.
void Record(HWND dialog, ActionAsk& ask, const std::string& text) {
    if (text.empty()) {
        MessageBeep(MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_ACTION_TEXT));
        return;
    }
    ask.status = ask.model.RecordAction(ask.index, {text, ThisPc().user, LocalNowSeconds()});
    ask.recorded = static_cast<bool>(ask.status);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK ActionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* ask = reinterpret_cast<ActionAsk*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Fill(dialog, *reinterpret_cast<ActionAsk*>(lParam));
            SetFocus(GetDlgItem(dialog, IDC_ACTION_TEXT));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (!ask) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    Record(dialog, *ask, EditText(dialog));
                    return TRUE;
                case IDC_ACTION_RETEST_SAFE:
                    if (RetestIsSafe(*ask))
                        Record(dialog, *ask,
                               FillNumbered(Utf8Text(IDS_ACTION_RETEST_SAFE),
                                            {ask->state.retest->measuredAt,
                                             std::to_string(ask->state.retest->value)}));
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

ArchiveStatus AskForAction(HWND owner, HistoryView& model, size_t index, bool& recorded) {
    recorded = false;
    const Measurement* row = model.Row(index);
    const ActionState* state = model.ActionOf(index);
    if (!row || !state || !NeedsAction(row->verdict)) return {};
    ActionAsk ask{model, index, *row, *state, {}};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HISTORY_ACTION), owner,
                    ActionProc, reinterpret_cast<LPARAM>(&ask));
    recorded = ask.recorded;
    return ask.status;
}
