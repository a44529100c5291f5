// A day of faults: random device operations through the dialog on the in-memory window, with
// the POSIX link and the simulator on a pseudo-terminal injecting a seeded mix of faults. After
// every operation the lists on the PC and the device's lists are checked against what the
// faults leave: a completed operation equals the device, an interrupted one keeps the rows
// taken before its lost reply, and a write leaves the device with the rows it received. A
// hang-up is followed by a disconnect, the device coming back on the port, and a connect.
//
//   soak_ops [OPERATIONS [SEED [FAULT_PERCENT]]]
//
// Prints "operations N, faults injected F, wrong rows: W" and exits 1 when W is not 0.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/number_text.h"
#include "records/measurement_record.h"
#include "res/resource.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"
#include "tests/support/fake_controls.h"
#include "tests/support/sim_on_pty.h"
#include "text/code_page.h"

namespace {

namespace fs = std::filesystem;

// One request of an operation and the fault it met.
struct Sent {
    uint8_t command, sub;
    SimFault fault;
};

std::string Shown(const std::string& johab) { return ConvertText(johab, CP_JOHAB, CP_KOREAN); }

// The operator takes half a second over a delay box, as a person does: a reply that comes after
// its time-out lands meanwhile. Answered at once, it would land during the next conversation of
// the same click (a record read goes on after a failed user read) and be taken for its reply.
class Operator : public FakeControls {
public:
    void Tell(int textId, const std::string& insert, const std::string& second) override {
        FakeControls::Tell(textId, insert, second);
        if (textId == IDS_DELAY || textId == IDS_DELAY_OMBRIX) usleep(500 * 1000);
    }
};

class Soak {
public:
    Soak(uint32_t seed, int percent) : m_random(seed), m_seed(seed), m_percent(percent) {
        m_ports = fs::temp_directory_path() / ("ombrix-soak-" + std::to_string(getpid()));
        fs::remove_all(m_ports);
        fs::create_directories(m_ports);
        setenv("OMBRIX_PORTS", m_ports.c_str(), 1);
        SimState state;
        state.users = RandomUsers();
        state.standards = RandomStandards();
        Plug(state);
        m_dialog.InitMainDialog();
        Connect();
    }
    ~Soak() {
        m_dialog.OnClose();
        m_sim.reset();
        fs::remove_all(m_ports);
    }

    void RunOne() {
        if (Pick(0, 3) == 0) Measure();
        const int op = Pick(0, 5);
        const size_t first = m_sim->Server().RequestCount();
        m_ui.boxes.clear();
        switch (op) {
            case 0:
                ReadList(IDC_LIST_USER, &COmbrix_TessalyDlg::OnReadUsers);
                break;
            case 1:
                ReadList(IDC_LIST_STANDARD, &COmbrix_TessalyDlg::OnReadStandards);
                break;
            case 2:
                ReadRecords();
                break;
            case 3:
                WriteUsers();
                break;
            case 4:
                WriteStandards();
                break;
            default:
                ClearRecords();
        }
        ++m_operations;
        for (const Sent& sent : SentSince(first)) m_faults += sent.fault != SimFault::None;
        if (m_sim->Server().HungUp()) Replug();
    }

    void Report() const {
        std::printf(
            "seed %u, %d%% of requests faulty: operations %d, faults injected %d, "
            "reconnects after a hang-up %d, wrong rows: %d\n",
            m_seed, m_percent, m_operations, m_faults, m_replugs, m_wrongRows);
    }
    int WrongRows() const { return m_wrongRows; }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    std::vector<SimUser> RandomUsers() {
        std::vector<SimUser> users(static_cast<size_t>(Pick(0, 8)));
        for (SimUser& user : users)
            user = {Pick(0, 999999), Pick(0, 9999999), "U" + std::to_string(Pick(0, 99999))};
        return users;
    }
    std::vector<SimStandard> RandomStandards() {
        std::vector<SimStandard> standards(static_cast<size_t>(Pick(0, 5)));
        for (SimStandard& standard : standards)
            standard = {static_cast<uint16_t>(Pick(0, 9999)), static_cast<uint16_t>(Pick(0, 9999)),
                        "S" + std::to_string(Pick(0, 99999))};
        return standards;
    }

    // Measurements taken on the device between operations.
    void Measure() {
        SimState& state = m_sim->device.state;
        for (int i = Pick(1, 6); i > 0 && state.records.size() < 40; --i) {
            SimRecord record;
            record.user = static_cast<uint8_t>(Pick(0, static_cast<int>(state.users.size()) + 1));
            record.standard =
                static_cast<uint8_t>(Pick(0, static_cast<int>(state.standards.size()) + 1));
            record.value = static_cast<uint16_t>(Pick(0, 9999));
            const uint8_t time[6] = {11, 3, 7, 12, 5, static_cast<uint8_t>(Pick(0, 59))};
            std::copy(time, time + 6, record.time);
            state.records.push_back(record);
        }
    }

    void Plug(const SimState& state) {
        FaultPlan plan;
        plan.randomPercent = m_percent;
        plan.seed = m_seed + static_cast<uint32_t>(m_replugs);
        m_sim = std::make_unique<SimOnPty>(plan, state);
        fs::remove(m_ports / "COM1");
        fs::create_symlink(m_sim->Path(), m_ports / "COM1");
    }

    void Connect() {
        m_dialog.OnConnect();
        if (!m_dialog.IsConnected()) {
            std::fprintf(stderr, "soak_ops: cannot connect\n");
            std::exit(2);
        }
    }

    // The line is dead but stays "connected" until the operator disconnects; then the device
    // comes back on the port with what it held, and the operator connects again.
    void Replug() {
        if (!m_dialog.IsConnected() || m_ui.texts[IDC_STATIC_STATUS] != IDS_STATUS_CONNECTED)
            Wrong(1, "the state changed by itself after a hang-up");
        m_dialog.OnConnect();
        const SimState state = m_sim->device.state;
        ++m_replugs;
        Plug(state);
        Connect();
    }

    std::vector<Sent> SentSince(size_t first) const {
        const auto requests = m_sim->Server().Requests();
        const auto faults = m_sim->Server().Faults();
        std::vector<Sent> sent;
        for (size_t i = first; i < requests.size(); ++i)
            sent.push_back({requests[i][FRAME_CMD], requests[i][FRAME_SUB], faults[i]});
        return sent;
    }

    void Wrong(int rows, const char* what) {
        m_wrongRows += rows;
        std::printf("operation %d: %s\n", m_operations + 1, what);
    }

    // The items whose replies arrived: a read stops at its first lost reply.
    static size_t ItemsTaken(const std::vector<Sent>& sent, uint8_t command) {
        size_t taken = 0;
        bool counted = false;
        for (const Sent& s : sent) {
            if (s.command != command) continue;
            if (!Delivered(s.fault)) break;
            if (s.sub == SUB_COUNT) counted = true;
            if (s.sub == SUB_READ_ITEM) ++taken;
        }
        return counted ? taken : 0;
    }

    // Each row of the list against the device's item of the same number.
    template <typename Item, typename Cells>
    void CheckList(int list, const std::vector<Item>& items, size_t expected, Cells cells) {
        const int rows = m_ui.RowCount(list);
        if (static_cast<size_t>(rows) != expected) Wrong(1, "a list holds another count of rows");
        for (int row = 0; row < rows && static_cast<size_t>(row) < items.size(); ++row) {
            const std::vector<std::string> want = cells(items[static_cast<size_t>(row)]);
            for (size_t c = 0; c < want.size(); ++c)
                if (m_ui.Cell(list, row, static_cast<int>(c) + 2) != want[c]) {
                    Wrong(1, "a row differs from the device");
                    break;
                }
        }
    }

    static std::vector<std::string> UserCells(const SimUser& user) {
        return {Shown(user.name), DecimalText(user.id1), DecimalText(user.id2)};
    }
    static std::vector<std::string> StandardCells(const SimStandard& standard) {
        return {Shown(standard.name), DecimalText(standard.safe), DecimalText(standard.danger)};
    }

    void CheckRead(int list, const std::vector<Sent>& sent) {
        const SimState& state = m_sim->device.state;
        if (list == IDC_LIST_USER)
            CheckList(list, state.users, ItemsTaken(sent, CMD_USERS), UserCells);
        else
            CheckList(list, state.standards, ItemsTaken(sent, CMD_STANDARDS), StandardCells);
    }

    void ReadList(int list, void (COmbrix_TessalyDlg::*read)()) {
        m_ui.DeleteAllRows(list);
        const size_t first = m_sim->Server().RequestCount();
        (m_dialog.*read)();
        CheckRead(list, SentSince(first));
    }

    // Newest first, each with its user's name as the user list shows it.
    void ReadRecords() {
        for (int list : {IDC_LIST_USER, IDC_LIST_STANDARD, IDC_LIST_RECORD})
            m_ui.DeleteAllRows(list);
        const size_t first = m_sim->Server().RequestCount();
        m_dialog.OnReadRecords();
        const std::vector<Sent> sent = SentSince(first);
        CheckRead(IDC_LIST_USER, sent);
        CheckRead(IDC_LIST_STANDARD, sent);
        const std::vector<SimRecord>& records = m_sim->device.state.records;
        const size_t taken = ItemsTaken(sent, CMD_RECORDS);
        const int rows = m_ui.RowCount(IDC_LIST_RECORD);
        if (static_cast<size_t>(rows) != taken) Wrong(1, "the record list holds another count");
        const int users = m_ui.RowCount(IDC_LIST_USER);
        for (int row = 0; row < rows && static_cast<size_t>(row) < records.size(); ++row) {
            const SimRecord& record = records[records.size() - 1 - static_cast<size_t>(row)];
            const std::string user =
                record.user >= 1 && record.user <= users
                    ? m_ui.Cell(IDC_LIST_USER, record.user - 1, UserRecord::COL_NAME)
                    : "";
            if (m_ui.Cell(IDC_LIST_RECORD, row, MeasurementRecord::COL_VALUE) !=
                    DecimalText(record.value) ||
                m_ui.Cell(IDC_LIST_RECORD, row, MeasurementRecord::COL_USER_NAME) != user)
                Wrong(1, "a record differs from the device");
        }
    }

    // What a write leaves on the device: nothing changes before a delete it received; after it,
    // the rows of every append it received.
    template <typename Item>
    static std::vector<Item> Written(const std::vector<Sent>& sent, uint8_t command,
                                     const std::vector<Item>& before,
                                     const std::vector<Item>& rows) {
        bool deleted = false;
        size_t appended = 0;
        for (const Sent& s : sent) {
            if (s.command != command || s.fault == SimFault::HangUp) continue;
            deleted = deleted || s.sub == SUB_DELETE_ALL;
            appended += s.sub == SUB_APPEND;
        }
        if (!deleted) return before;
        return std::vector<Item>(rows.begin(), rows.begin() + static_cast<long>(appended));
    }

    template <typename Item, typename Cells>
    void FillList(int list, const std::vector<Item>& items, Cells cells) {
        m_ui.DeleteAllRows(list);
        for (size_t i = 0; i < items.size(); ++i) {
            const int row = static_cast<int>(i);
            m_ui.InsertRow(list, row);
            m_ui.SetCell(list, row, 1, DecimalText(row + 1));
            const std::vector<std::string> texts = cells(items[i]);
            for (size_t c = 0; c < texts.size(); ++c)
                m_ui.SetCell(list, row, static_cast<int>(c) + 2, texts[c]);
        }
    }

    // Writes `rows` through the panel's write and checks the device's list against what the
    // requests that went through leave; compared as the list shows them.
    template <typename Item, typename Cells>
    void WriteList(int list, uint8_t command, const std::vector<Item>& rows,
                   const std::vector<Item>& device, Cells cells,
                   void (COmbrix_TessalyDlg::*write)(), const char* wrong) {
        m_ui.DeleteAllRows(IDC_LIST_RECORD);
        FillList(list, rows, cells);
        const std::vector<Item> before = device;
        const size_t first = m_sim->Server().RequestCount();
        (m_dialog.*write)();
        const std::vector<Item> expected = Written(SentSince(first), command, before, rows);
        bool same = device.size() == expected.size();
        for (size_t i = 0; same && i < device.size(); ++i)
            same = cells(device[i]) == cells(expected[i]);
        if (!same) Wrong(1, wrong);
    }

    void WriteUsers() {
        WriteList(IDC_LIST_USER, CMD_USERS, RandomUsers(), m_sim->device.state.users, UserCells,
                  &COmbrix_TessalyDlg::OnWriteUsers,
                  "the device's users are not what the write left");
    }

    void WriteStandards() {
        WriteList(IDC_LIST_STANDARD, CMD_STANDARDS, RandomStandards(),
                  m_sim->device.state.standards, StandardCells,
                  &COmbrix_TessalyDlg::OnWriteStandards,
                  "the device's standards are not what the write left");
    }

    void ClearRecords() {
        m_ui.DeleteAllRows(IDC_LIST_RECORD);
        const size_t before = m_sim->device.state.records.size();
        const size_t first = m_sim->Server().RequestCount();
        m_dialog.OnClearDeviceRecords();
        bool deleted = false;
        for (const Sent& s : SentSince(first))
            deleted = deleted || (s.sub == SUB_DELETE_ALL && s.fault != SimFault::HangUp);
        if (m_sim->device.state.records.size() != (deleted ? 0 : before))
            Wrong(1, "the device's records are not what the clear left");
    }

    Operator m_ui;
    FakeSettings m_settings;
    COmbrix_TessalyDlg m_dialog{m_ui, m_settings};
    std::unique_ptr<SimOnPty> m_sim;
    fs::path m_ports;
    std::mt19937 m_random;
    uint32_t m_seed;
    int m_percent;
    int m_operations = 0, m_faults = 0, m_replugs = 0, m_wrongRows = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int operations = argc > 1 ? std::atoi(argv[1]) : 2000;
    const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
    const int percent = argc > 3 ? std::atoi(argv[3]) : 2;
    Soak soak(seed, percent);
    for (int i = 0; i < operations; ++i) soak.RunOne();
    soak.Report();
    return soak.WrongRows() == 0 ? 0 : 1;
}
