#include "records/record_cells.h"

#include <cstdlib>

#include "app/list_csv.h"
#include "app/list_file_reader.h"
#include "measurement/record_words.h"
#include "measurement/time_text.h"
#include "records/record_texts.h"
#include "text/code_page.h"

const char* const RECORD_CELL_NAMES[RECORD_CELLS] = {
    "No.",
    "\xEC\x8B\x9C\xEA\xB0\x84",  // 시간
    "\xEC\x9D\xB4\xEB\xA6\x84",  // 이름
    "ID1",
    "ID2",
    "\xEC\xB8\xA1\xEC\xA0\x95\xEA\xB8\xB0\xEC\xA4\x80",  // 측정기준
    "\xEC\x95\x88\xEC\xA0\x84\xEC\xA7\x80\xEC\x88\x98",  // 안전지수
    "\xEC\x9C\x84\xED\x97\x98\xEC\xA7\x80\xEC\x88\x98",  // 위험지수
    "\xEC\xB8\xA1\xEC\xA0\x95\xEA\xB0\x92",              // 측정값
    "\xEA\xB2\xB0\xEA\xB3\xBC",                          // 결과
};

namespace {

enum Cell { kNumber, kTime, kName, kId1, kId2, kStandard, kSafe, kDanger, kValue, kVerdict };
static_assert(kId2 == RECORD_CELL_ID2, "the ID2 cell");

struct Words {
    const char* am;
    const char* pm;
    const char* verdicts[4];  // in the order of Verdict
};

const Words& WordsOf(CellEncoding encoding) {
    static const Words kKorean{
        WORD_AM, WORD_PM, {VERDICT_SAFE, VERDICT_CAUTION, VERDICT_DIRTY, VERDICT_NONE}};
    static const Words kUtf8{
        WORD_AM_UTF8,
        WORD_PM_UTF8,
        {VERDICT_SAFE_UTF8, VERDICT_CAUTION_UTF8, VERDICT_DIRTY_UTF8, VERDICT_NONE}};
    return encoding == CellEncoding::Korean ? kKorean : kUtf8;
}

// A number cell that may be empty; false when it is neither empty nor valid.
bool OptionalNumber(const std::string& cell, CellRule rule, std::optional<int64_t>& number) {
    if (cell.empty()) {
        number.reset();
        return true;
    }
    if (!IsValidCell(cell, rule)) return false;
    number = std::strtoll(cell.c_str(), nullptr, 10);
    return true;
}

// `enum Verdict`: records/record_texts.h has a function of that name, the record list's verdict.
bool ReadVerdict(const std::string& cell, const Words& words, enum Verdict& verdict) {
    for (int i = 0; i < 4; ++i)
        if (cell == words.verdicts[i]) {
            verdict = static_cast<enum Verdict>(i);
            return true;
        }
    return false;
}

// "hh:mm:ss" of the 12-hour clock and its day half.
bool TwentyFourHour(int clockHour, bool afternoon, int& hour) {
    if (clockHour < 1 || clockHour > 12) return false;
    hour = clockHour % 12 + (afternoon ? 12 : 0);
    return true;
}

std::string NumberText(const std::optional<int64_t>& number) {
    return number ? std::to_string(*number) : std::string();
}

}  // namespace

bool TwentyFourHourText(const std::string& recordTime, CellEncoding encoding, std::string& text) {
    const Words& words = WordsOf(encoding);
    const size_t clockEnd = 19;  // "YYYY-MM-DD hh:mm:ss"
    if (recordTime.size() <= clockEnd + 1 || recordTime[clockEnd] != ' ') return false;
    const std::string half = recordTime.substr(clockEnd + 1);
    if (half != words.am && half != words.pm) return false;
    std::string clock = recordTime.substr(0, clockEnd);
    const char tens = clock[11], ones = clock[12];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return false;
    int hour = 0;
    if (!TwentyFourHour((tens - '0') * 10 + (ones - '0'), half == words.pm, hour)) return false;
    clock[11] = static_cast<char>('0' + hour / 10);
    clock[12] = static_cast<char>('0' + hour % 10);
    if (!SecondsFromTimeText(clock)) return false;
    text = std::move(clock);
    return true;
}

bool RecordCellReader::Name(const std::string& cell, std::string& utf8) {
    if (auto it = m_names.find(cell); it != m_names.end()) {
        utf8 = it->second;
        return true;
    }
    std::string korean;
    if (m_encoding == CellEncoding::Korean) {
        korean = cell;
        if (!ConvertTextExactly(cell, CP_KOREAN, CP_UTF8_TEXT, utf8)) return false;
    } else {
        utf8 = cell;
        if (!ConvertTextExactly(cell, CP_UTF8_TEXT, CP_KOREAN, korean)) return false;
    }
    if (!IsValidCell(korean, CellRule::Name)) return false;
    m_names.emplace(cell, utf8);
    return true;
}

int RecordCellReader::Read(const RecordCells& cells, Measurement& row) {
    std::optional<int64_t> number, value;
    if (!OptionalNumber(cells[kNumber], CellRule::Int32, number) || !number || *number < 1)
        return kNumber;
    if (!TwentyFourHourText(cells[kTime], m_encoding, row.measuredAt)) return kTime;
    if (!Name(cells[kName], row.userName)) return kName;
    if (!OptionalNumber(cells[kId1], CellRule::Int32, row.id1)) return kId1;
    if (!OptionalNumber(cells[kId2], CellRule::Int32, row.id2)) return kId2;
    if (!Name(cells[kStandard], row.standardName)) return kStandard;
    if (!OptionalNumber(cells[kSafe], CellRule::Index16, row.safetyIndex)) return kSafe;
    if (!OptionalNumber(cells[kDanger], CellRule::Index16, row.dangerIndex)) return kDanger;
    if (!OptionalNumber(cells[kValue], CellRule::Index16, value) || !value) return kValue;
    row.value = static_cast<int>(*value);
    if (!ReadVerdict(cells[kVerdict], WordsOf(m_encoding), row.verdict)) return kVerdict;
    return -1;
}

const std::string& RecordCellWriter::Name(const std::string& utf8) {
    auto it = m_names.find(utf8);
    if (it == m_names.end()) {
        const std::string text =
            m_encoding == CellEncoding::Korean ? ConvertText(utf8, CP_UTF8_TEXT, CP_KOREAN) : utf8;
        it = m_names.emplace(utf8, text).first;
    }
    return it->second;
}

void RecordCellWriter::Write(const Measurement& row, long long number, RecordCells& cells) {
    const Words& words = WordsOf(m_encoding);
    cells[kNumber] = std::to_string(number);
    const CivilTime t = CivilFromSeconds(SecondsFromTimeText(row.measuredAt).value_or(0));
    const int fields[6] = {t.year - 2000, t.month, t.day, t.hour, t.minute, t.second};
    cells[kTime] = TwelveHourTimeText(fields, words.am, words.pm);
    cells[kName] = Name(row.userName);
    cells[kId1] = NumberText(row.id1);
    cells[kId2] = NumberText(row.id2);
    cells[kStandard] = Name(row.standardName);
    cells[kSafe] = NumberText(row.safetyIndex);
    cells[kDanger] = NumberText(row.dangerIndex);
    cells[kValue] = std::to_string(row.value);
    cells[kVerdict] = words.verdicts[static_cast<int>(row.verdict)];
}

std::string RecordCsvHeader(CellEncoding encoding) {
    RecordCells names;
    for (int i = 0; i < RECORD_CELLS; ++i)
        names[static_cast<size_t>(i)] =
            encoding == CellEncoding::Utf8
                ? RECORD_CELL_NAMES[i]
                : ConvertText(RECORD_CELL_NAMES[i], CP_UTF8_TEXT, CP_KOREAN);
    return RecordCsvLine(names);
}

std::string RecordCsvLine(const RecordCells& cells) {
    std::string line;
    for (const std::string& cell : cells) {
        if (&cell != &cells[0]) line += ',';
        line += CsvCell(cell);
    }
    return line + '\n';
}
