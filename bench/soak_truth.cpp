#include "bench/soak_truth.h"

#include <iomanip>
#include <sstream>

#include "res/resource.h"

namespace {

// The boxes of the two panels whose lists the PC edits.
struct PanelTexts {
    int readNotEmpty, none, readDone, writeAsk, recordsInList, recordsOnDevice, full, writeDone;
};
constexpr PanelTexts kUserTexts{IDS_USER_READ_NOT_EMPTY,
                                IDS_USER_NONE,
                                IDS_USER_READ_DONE,
                                IDS_USER_WRITE_ASK,
                                IDS_USER_WRITE_RECORDS_IN_LIST,
                                IDS_USER_WRITE_RECORDS_ON_DEVICE,
                                IDS_USER_FULL,
                                IDS_USER_WRITE_DONE};
constexpr PanelTexts kStandardTexts{IDS_STANDARD_READ_NOT_EMPTY,
                                    IDS_STANDARD_NONE,
                                    IDS_STANDARD_READ_DONE,
                                    IDS_STANDARD_WRITE_ASK,
                                    IDS_STANDARD_WRITE_RECORDS_IN_LIST,
                                    IDS_STANDARD_WRITE_RECORDS_ON_DEVICE,
                                    IDS_STANDARD_FULL,
                                    IDS_STANDARD_WRITE_DONE};

// One operation's requests against the trail of faults, and the boxes it shows.
class Conversation {
public:
    Conversation(FaultTrail& trail, std::vector<ShownBox>& boxes)
        : m_trail(trail), m_boxes(boxes) {}

    // The next request: the device acts on it unless the line hung up on it or before; true
    // when its reply arrives whole and in time.
    template <typename Act>
    bool Request(Act act) {
        const SimFault fault = m_trail.Next();
        if (fault != SimFault::HangUp) act();
        return Delivered(fault);
    }
    bool Request() {
        return Request([] {});
    }
    void Tell(int textId) { m_boxes.push_back({ShownBox::Info, textId, ""}); }
    void Ask(int textId) { m_boxes.push_back({ShownBox::Question, textId, ""}); }
    void AskNoByDefault(int textId, const std::string& insert) {
        m_boxes.push_back({ShownBox::CarefulQuestion, textId, insert});
    }

private:
    FaultTrail& m_trail;
    std::vector<ShownBox>& m_boxes;
};

std::string Number(long long value) { return std::to_string(value); }

// "2011-03-07 12:05:09 오전": a twelve-hour clock, where hour 0 reads 12 in the morning.
std::string TimeText(const uint8_t time[6]) {
    static const int kClockHour[24] = {12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                       12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    static const std::string kMorning = Cp949("오전"), kAfternoon = Cp949("오후");
    const int fields[6] = {time[0], time[1], time[2], kClockHour[time[3] % 24], time[4], time[5]};
    const char* separators[6] = {"20", "-", "-", " ", ":", ":"};
    std::ostringstream text;
    for (int i = 0; i < 6; ++i)
        text << separators[i] << std::setw(2) << std::setfill('0') << fields[i];
    text << ' ' << (time[3] < 12 ? kMorning : kAfternoon);
    return text.str();
}

// Below the safety index safe, below the danger index caution, else contaminated; "-" for a
// record whose standard has no row.
std::string VerdictText(uint16_t value, const std::vector<std::string>* standard) {
    static const std::string kSafe = Cp949("안전"), kCaution = Cp949("주의"),
                             kDirty = Cp949("오염");
    if (!standard) return "-";
    if (value < std::stol((*standard)[3])) return kSafe;
    if (value < std::stol((*standard)[4])) return kCaution;
    return kDirty;
}

const std::vector<std::string>* RowOf(const ListRows& rows, int number) {
    return number >= 1 && static_cast<size_t>(number) <= rows.size() ? &rows[number - 1] : nullptr;
}

std::vector<std::string> RecordRow(size_t number, const SimRecord& record, const PcLists& lists) {
    const std::vector<std::string>* user = RowOf(lists.users, record.user);
    const std::vector<std::string>* standard = RowOf(lists.standards, record.standard);
    std::vector<std::string> row{"", Number(static_cast<long long>(number)), TimeText(record.time)};
    for (int column = 2; column <= 4; ++column) row.push_back(user ? (*user)[column] : "");
    for (int column = 2; column <= 4; ++column) row.push_back(standard ? (*standard)[column] : "");
    row.push_back(Number(record.value));
    row.push_back(VerdictText(record.value, standard));
    return row;
}

// A read into a list: refused while it has rows, else the count and then item 1, 2, ... until
// the first lost reply.
void ExpectListRead(Conversation& talk, const PanelTexts& texts, const ListRows& device,
                    ListRows& rows) {
    if (!rows.empty()) return talk.Tell(texts.readNotEmpty);
    if (!talk.Request()) return talk.Tell(IDS_DELAY);
    if (device.empty()) return talk.Tell(texts.none);
    for (const std::vector<std::string>& row : device) {
        if (!talk.Request()) return talk.Tell(IDS_DELAY);
        rows.push_back(row);
    }
    talk.Tell(texts.readDone);
}

void ExpectRecordRead(Conversation& talk, const SimState& device, const NameBook& names,
                      PcLists& lists) {
    ExpectListRead(talk, kUserTexts, UserRows(device.users, names), lists.users);
    ExpectListRead(talk, kStandardTexts, StandardRows(device.standards, names), lists.standards);
    if (!lists.records.empty()) return talk.Tell(IDS_RECORD_READ_NOT_EMPTY);
    if (!talk.Request()) return talk.Tell(IDS_DELAY);
    if (device.records.empty()) return talk.Tell(IDS_RECORD_NONE);
    for (size_t item = device.records.size(); item >= 1; --item) {
        if (!talk.Request()) return talk.Tell(IDS_DELAY);
        lists.records.push_back(
            RecordRow(lists.records.size() + 1, device.records[item - 1], lists));
    }
    talk.Tell(IDS_RECORD_READ_DONE);
}

// A write: the question, no records on either side, the device's list deleted and found empty,
// then one append per row of the PC's list, until a lost reply or a full list.
template <typename Item>
void ExpectWrite(Conversation& talk, const PanelTexts& texts, const std::vector<Item>& written,
                 size_t capacity, const SimState& device, const PcLists& lists,
                 std::vector<Item>& items) {
    talk.Ask(texts.writeAsk);
    if (!lists.records.empty()) return talk.Tell(texts.recordsInList);
    if (!talk.Request()) return talk.Tell(IDS_DELAY_OMBRIX);
    if (!device.records.empty()) return talk.Tell(texts.recordsOnDevice);
    if (!talk.Request([&] { items.clear(); })) return talk.Tell(IDS_DELAY);
    if (!talk.Request()) return talk.Tell(IDS_DELAY);
    for (const Item& item : written) {
        const bool full = items.size() >= capacity;
        if (!talk.Request([&] {
                if (!full) items.push_back(item);
            }))
            return talk.Tell(IDS_DELAY);
        if (full) return talk.Tell(texts.full);
    }
    talk.Tell(texts.writeDone);
}

// The soak's dialog keeps no archive, so a log with records is never known to be kept: the
// operator is asked again (and answers Yes) before it is deleted.
void ExpectClear(Conversation& talk, const PcLists& lists, SimState& device) {
    talk.Ask(IDS_RECORD_CLEAR_ASK);
    if (!lists.records.empty()) return talk.Tell(IDS_RECORD_CLEAR_LIST_NOT_EMPTY);
    if (!talk.Request()) return talk.Tell(IDS_DELAY);
    if (device.records.empty()) return talk.Tell(IDS_RECORD_NONE);
    talk.AskNoByDefault(IDS_RECORD_CLEAR_NOT_ARCHIVED,
                        Number(static_cast<long long>(device.records.size())));
    if (!talk.Request([&] { device.records.clear(); })) return talk.Tell(IDS_DELAY);
    if (!talk.Request()) return talk.Tell(IDS_DELAY);
    talk.Tell(IDS_RECORD_CLEARED);
}

}  // namespace

const char* OperationName(SoakOperation operation) {
    static const char* kNames[SOAK_OPERATIONS] = {"read users",      "read standards",
                                                  "read records",    "write users",
                                                  "write standards", "clear records"};
    return kNames[static_cast<int>(operation)];
}

SimFault FaultTrail::Next() {
    if (m_dead) return SimFault::HangUp;
    const SimFault fault = m_next < m_faults.size() ? m_faults[m_next++] : SimFault::None;
    m_dead = fault == SimFault::HangUp;
    return fault;
}

ListRows UserRows(const std::vector<SimUser>& users, const NameBook& names) {
    ListRows rows;
    for (const SimUser& user : users)
        rows.push_back({"", Number(static_cast<long long>(rows.size() + 1)), names.Shown(user.name),
                        Number(user.id1), Number(user.id2)});
    return rows;
}

ListRows StandardRows(const std::vector<SimStandard>& standards, const NameBook& names) {
    ListRows rows;
    for (const SimStandard& standard : standards)
        rows.push_back({"", Number(static_cast<long long>(rows.size() + 1)),
                        names.Shown(standard.name), Number(standard.safe),
                        Number(standard.danger)});
    return rows;
}

Expected ExpectOutcome(const SoakInput& input, FaultTrail& trail, const NameBook& names) {
    Expected out{input.device, input.lists, {}};
    Conversation talk(trail, out.boxes);
    switch (input.operation) {
        case SoakOperation::ReadUsers:
            ExpectListRead(talk, kUserTexts, UserRows(input.device.users, names), out.lists.users);
            break;
        case SoakOperation::ReadStandards:
            ExpectListRead(talk, kStandardTexts, StandardRows(input.device.standards, names),
                           out.lists.standards);
            break;
        case SoakOperation::ReadRecords:
            ExpectRecordRead(talk, input.device, names, out.lists);
            break;
        case SoakOperation::WriteUsers:
            ExpectWrite(talk, kUserTexts, input.writtenUsers, MAX_USERS, input.device, input.lists,
                        out.device.users);
            break;
        case SoakOperation::WriteStandards:
            ExpectWrite(talk, kStandardTexts, input.writtenStandards, MAX_STANDARDS, input.device,
                        input.lists, out.device.standards);
            break;
        case SoakOperation::ClearRecords:
            ExpectClear(talk, input.lists, out.device);
            break;
    }
    return out;
}
