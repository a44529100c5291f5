#include "cli/headless_controls.h"

#include <utility>

#include "app/progress.h"
#include "cli/console.h"
#include "cli/string_table.h"
#include "text/code_page.h"

namespace {

// The dialog's texts are code page 949.
std::string Utf8From(const std::string& text) { return ConvertText(text, CP_KOREAN, CP_UTF8_TEXT); }

constexpr int kBarWidth = 30;

}  // namespace

HeadlessControls::HeadlessControls(bool answerYes, std::string savePath, std::string openPath,
                                   bool showProgress)
    : m_answerYes(answerYes),
      m_answerCarefulYes(answerYes),
      m_savePath(std::move(savePath)),
      m_openPath(std::move(openPath)),
      m_showProgress(showProgress) {}

HeadlessControls::~HeadlessControls() { EndProgress(); }

void HeadlessControls::Say(const std::string& line) {
    EndProgress();
    WriteText(Stream::Err, line + "\n");
}

int HeadlessControls::RowCount(int list) { return m_lists[list].Count(); }

void HeadlessControls::InsertRow(int list, int row) { m_lists[list].Insert(row); }

void HeadlessControls::SetCell(int list, int row, int column, const std::string& text) {
    m_lists[list].Set(row, column, text);
}

std::string HeadlessControls::Cell(int list, int row, int column) {
    return m_lists[list].Get(row, column);
}

void HeadlessControls::DeleteRow(int list, int row) { m_lists[list].Erase(row); }

void HeadlessControls::DeleteAllRows(int list) { m_lists[list].Clear(); }

// "[#########.....................]  30%", drawn anew over itself when the percentage moves.
void HeadlessControls::SetProgress(int, int position) {
    if (!m_showProgress || position <= 0) return;
    const int percent = position >= PROGRESS_MAX ? 100 : position * 100 / PROGRESS_MAX;
    if (percent == m_percentShown) return;
    m_percentShown = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                            std::string(static_cast<size_t>(kBarWidth - filled), '.');
    const std::string number = std::to_string(percent);
    WriteText(Stream::Err, "\r[" + bar + "] " + std::string(3 - number.size(), ' ') + number + "%");
}

void HeadlessControls::EndProgress() {
    if (m_percentShown < 0) return;
    m_percentShown = -1;
    WriteText(Stream::Err, "\r" + std::string(kBarWidth + 7, ' ') + "\r");
}

void HeadlessControls::Tell(int textId, const std::string& insert, const std::string& second) {
    m_told.push_back(textId);
    Say(BoxLine(textId, Utf8From(insert), Utf8From(second)));
}

void HeadlessControls::TellError(int textId, const std::string& insert) {
    m_told.push_back(textId);
    Say(BoxLine(textId, insert));
}

bool HeadlessControls::Ask(int textId) {
    Say(BoxLine(textId));
    return m_answerYes;
}

bool HeadlessControls::AskNoByDefault(int textId, const std::string& insert) {
    Say(BoxLine(textId, Utf8From(insert)));
    if (!m_answerCarefulYes) m_declinedCareful = textId;
    return m_answerCarefulYes;
}

bool HeadlessControls::AskSavePath(const char*, std::string& path) {
    path = m_savePath;
    return !path.empty();
}

bool HeadlessControls::AskOpenPath(std::string& path) {
    path = m_openPath;
    return !path.empty();
}
