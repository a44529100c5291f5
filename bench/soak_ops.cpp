// A day of faults: random device operations through the dialog on the in-memory window, with the
// POSIX link and the simulator on a pseudo-terminal injecting a seeded mix of faults. After
// every operation its boxes, the three lists on the PC (every cell) and the device's lists are
// compared with what the oracle (bench/soak_truth.h) works out from the device before it and the
// faults its requests met. A hang-up is followed by a disconnect, the device coming back on the
// port with what it held, and a connect.
//
//   soak_ops [--operations N] [--seed S] [--percent P] [--min-each-fault N] [--min-clean N]
//            [--stop-at-wrong]
//
// Prints the operations by kind and outcome and the faults by kind. Exits 1 when an operation
// ended otherwise than predicted, when a kind of fault was injected fewer than --min-each-fault
// times (default 20), or fewer than --min-clean operations (default 500) met no fault at all.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "bench/soak_names.h"
#include "bench/soak_truth.h"
#include "res/resource.h"
#include "tests/support/fake_controls.h"
#include "tests/support/sim_on_pty.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFaultKinds = static_cast<int>(SimFault::HangUp) + 1;
constexpr size_t kMostRecords = 40;
constexpr int kUserColumns = 5, kRecordColumns = 11;

struct Options {
    int operations = 2000;
    uint32_t seed = 1;
    int percent = 2;
    int minEachFault = 20;
    int minClean = 500;
    bool stopAtWrong = false;
};

// How an operation ended, by its last box.
enum Outcome { Done, Delay, Refused, NothingThere, OUTCOMES };
const char* const kOutcomeNames[OUTCOMES] = {"done", "delay box", "refused", "none on device"};

Outcome OutcomeOf(const std::vector<ShownBox>& boxes) {
    switch (boxes.empty() ? 0 : boxes.back().textId) {
        case IDS_USER_READ_DONE:
        case IDS_STANDARD_READ_DONE:
        case IDS_RECORD_READ_DONE:
        case IDS_USER_WRITE_DONE:
        case IDS_STANDARD_WRITE_DONE:
        case IDS_RECORD_CLEARED:
            return Done;
        case IDS_DELAY:
        case IDS_DELAY_OMBRIX:
            return Delay;
        case IDS_USER_NONE:
        case IDS_STANDARD_NONE:
        case IDS_RECORD_NONE:
            return NothingThere;
        default:
            return Refused;
    }
}

// A cell as a person reads it: code page 949 shown as UTF-8, anything else as bytes.
std::string Readable(const std::string& cell) {
    try {
        return "\"" + Utf8FromCp949(cell) + "\"";
    } catch (const std::exception&) {
        std::string hex = "bytes";
        for (unsigned char c : cell) hex += " " + std::to_string(c);
        return hex;
    }
}

void CompareRows(const char* list, const ListRows& want, const ListRows& got,
                 std::vector<std::string>& wrong) {
    if (got.size() != want.size())
        wrong.push_back(std::string("the ") + list + " list holds " + std::to_string(got.size()) +
                        " rows, not " + std::to_string(want.size()));
    for (size_t row = 0; row < got.size() && row < want.size(); ++row)
        for (size_t column = 0; column < want[row].size(); ++column)
            if (got[row][column] != want[row][column]) {
                wrong.push_back(std::string("the ") + list + " list, row " + std::to_string(row) +
                                " column " + std::to_string(column) + ": " +
                                Readable(got[row][column]) + ", not " +
                                Readable(want[row][column]));
                break;
            }
}

std::string BoxIds(const std::vector<ShownBox>& boxes) {
    std::string ids;
    for (const ShownBox& box : boxes)
        ids += (ids.empty() ? "" : " ") + std::string(box.kind == ShownBox::Question ? "?" : "") +
               std::to_string(box.textId);
    return "[" + ids + "]";
}

template <typename Item>
void CompareDevice(const char* what, const std::vector<Item>& want, const std::vector<Item>& got,
                   std::vector<std::string>& wrong) {
    if (got != want)
        wrong.push_back(std::string("the device holds ") + std::to_string(got.size()) + " " + what +
                        " that differ from the " + std::to_string(want.size()) + " expected");
}

// The operator answers every box at once and clicks on: a reply that comes after its time-out
// lands in the next conversation (of the same click, as a record read goes on after a failed user
// read, or of the next), after that conversation's request was written.
class Operator : public FakeControls {
public:
    ListRows Rows(int list, int columns) {
        ListRows rows;
        for (const Row& row : lists[list])
            rows.emplace_back(row.cells.begin(), row.cells.begin() + columns);
        return rows;
    }
    void Fill(int list, const ListRows& rows) {
        DeleteAllRows(list);
        for (const std::vector<std::string>& cells : rows) {
            const int row = RowCount(list);
            InsertRow(list, row);
            for (size_t column = 0; column < cells.size(); ++column)
                SetCell(list, row, static_cast<int>(column), cells[column]);
        }
    }
};

class Soak {
public:
    explicit Soak(const Options& options) : m_options(options), m_random(options.seed) {
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

    // False once an operation went wrong and the run stops at the first.
    bool RunOne() {
        if (OneIn(8)) Measure();
        SoakInput input;
        input.operation = static_cast<SoakOperation>(Pick(0, SOAK_OPERATIONS - 1));
        Prepare(input);
        input.device = m_sim->device.state;
        input.lists = Lists();
        const int first = m_sim->Server().RequestCount();
        m_ui.boxes.clear();
        Run(input.operation);
        const std::vector<SimFault> faults = FaultsSince(first);
        FaultTrail trail(faults);
        const Expected want = ExpectOutcome(input, trail, m_names);
        std::vector<std::string> wrong = Compare(want, trail);
        if (m_sim->Server().HungUp()) Replug(wrong);
        Tally(input.operation, want, faults, wrong);
        return wrong.empty() || !m_options.stopAtWrong;
    }

    // Prints the figures; true when the run proves what it must.
    bool Report() const {
        std::printf("seed %u, %d%% of requests faulty, %d operations:\n", m_options.seed,
                    m_options.percent, m_operations);
        std::printf("  %-16s", "");
        for (const char* name : kOutcomeNames) std::printf(" %15s", name);
        std::printf(" %6s\n", "wrong");
        for (int op = 0; op < SOAK_OPERATIONS; ++op) {
            std::printf("  %-16s", OperationName(static_cast<SoakOperation>(op)));
            for (int outcome = 0; outcome < OUTCOMES; ++outcome)
                std::printf(" %15d", m_outcomes[op][outcome]);
            std::printf(" %6d\n", m_wrongByOperation[op]);
        }
        std::printf("faults injected:");
        for (int kind = 1; kind < kFaultKinds; ++kind)
            std::printf(" %s %d%s", FaultName(static_cast<SimFault>(kind)), m_faults[kind],
                        kind + 1 < kFaultKinds ? "," : "");
        std::printf(" (a reconnect after each hang-up)\n");
        std::printf("operations without any fault: %d; wrong operations: %d\n", m_clean, m_wrong);
        bool proven = m_wrong == 0;
        for (int kind = 1; kind < kFaultKinds; ++kind)
            if (m_faults[kind] < m_options.minEachFault) {
                std::printf("FAILED: %s injected %d times, fewer than %d\n",
                            FaultName(static_cast<SimFault>(kind)), m_faults[kind],
                            m_options.minEachFault);
                proven = false;
            }
        if (m_clean < m_options.minClean) {
            std::printf("FAILED: %d operations without a fault, fewer than %d\n", m_clean,
                        m_options.minClean);
            proven = false;
        }
        if (m_wrong) std::printf("FAILED: %d operations ended otherwise than predicted\n", m_wrong);
        return proven;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool OneIn(int n) { return Pick(1, n) == 1; }

    int32_t RandomId() { return OneIn(8) ? static_cast<int32_t>(m_random()) : Pick(0, 9999999); }
    uint16_t RandomIndex() {
        return static_cast<uint16_t>(OneIn(8) ? Pick(0, 65535) : Pick(0, 9999));
    }

    std::vector<SimUser> RandomUsers() {
        std::vector<SimUser> users(static_cast<size_t>(Pick(0, 8)));
        for (SimUser& user : users) user = {RandomId(), RandomId(), m_names.NewName(m_random)};
        return users;
    }
    std::vector<SimStandard> RandomStandards() {
        std::vector<SimStandard> standards(static_cast<size_t>(Pick(0, 5)));
        for (SimStandard& standard : standards)
            standard = {RandomIndex(), RandomIndex(), m_names.NewName(m_random)};
        return standards;
    }

    // Measurements taken on the device between operations, some by users or with standards that
    // it does not hold.
    void Measure() {
        SimState& state = m_sim->device.state;
        for (int i = Pick(1, 6); i > 0 && state.records.size() < kMostRecords; --i) {
            SimRecord record;
            record.user = static_cast<uint8_t>(Pick(0, static_cast<int>(state.users.size()) + 1));
            record.standard =
                static_cast<uint8_t>(Pick(0, static_cast<int>(state.standards.size()) + 1));
            record.value = RandomIndex();
            const int fields[6][2] = {{0, 99}, {1, 12}, {1, 28}, {0, 23}, {0, 59}, {0, 59}};
            for (int f = 0; f < 6; ++f)
                record.time[f] = static_cast<uint8_t>(Pick(fields[f][0], fields[f][1]));
            state.records.push_back(record);
        }
    }

    // What the operator does before the click: empties the lists as the operation asks (now
    // and then forgetting, which the operation must refuse or work around), or fills the list
    // that a write sends.
    void Prepare(SoakInput& input) {
        auto empty = [&](int list, int forgetOneIn) {
            if (!OneIn(forgetOneIn)) m_ui.DeleteAllRows(list);
        };
        switch (input.operation) {
            case SoakOperation::ReadUsers:
                return empty(IDC_LIST_USER, 8);
            case SoakOperation::ReadStandards:
                return empty(IDC_LIST_STANDARD, 8);
            case SoakOperation::ReadRecords:
                for (int list : {IDC_LIST_USER, IDC_LIST_STANDARD, IDC_LIST_RECORD}) empty(list, 4);
                return;
            case SoakOperation::WriteUsers:
                input.writtenUsers = RandomUsers();
                m_ui.Fill(IDC_LIST_USER, UserRows(input.writtenUsers, m_names));
                return empty(IDC_LIST_RECORD, 8);
            case SoakOperation::WriteStandards:
                input.writtenStandards = RandomStandards();
                m_ui.Fill(IDC_LIST_STANDARD, StandardRows(input.writtenStandards, m_names));
                return empty(IDC_LIST_RECORD, 8);
            case SoakOperation::ClearRecords:
                return empty(IDC_LIST_RECORD, 8);
        }
    }

    void Run(SoakOperation operation) {
        static void (COmbrix_TessalyDlg::*const kClicks[SOAK_OPERATIONS])() = {
            &COmbrix_TessalyDlg::OnReadUsers,      &COmbrix_TessalyDlg::OnReadStandards,
            &COmbrix_TessalyDlg::OnReadRecords,    &COmbrix_TessalyDlg::OnWriteUsers,
            &COmbrix_TessalyDlg::OnWriteStandards, &COmbrix_TessalyDlg::OnClearDeviceRecords};
        (m_dialog.*kClicks[static_cast<int>(operation)])();
    }

    PcLists Lists() {
        return {m_ui.Rows(IDC_LIST_USER, kUserColumns), m_ui.Rows(IDC_LIST_STANDARD, kUserColumns),
                m_ui.Rows(IDC_LIST_RECORD, kRecordColumns)};
    }

    std::vector<SimFault> FaultsSince(int first) const {
        const std::vector<SimFault> all = m_sim->Server().Faults();
        return std::vector<SimFault>(all.begin() + first, all.end());
    }

    std::vector<std::string> Compare(const Expected& want, const FaultTrail& trail) {
        std::vector<std::string> wrong;
        if (!(m_ui.boxes == want.boxes))
            wrong.push_back("boxes " + BoxIds(m_ui.boxes) + ", not " + BoxIds(want.boxes));
        const PcLists got = Lists();
        CompareRows("user", want.lists.users, got.users, wrong);
        CompareRows("standard", want.lists.standards, got.standards, wrong);
        CompareRows("record", want.lists.records, got.records, wrong);
        const SimState& device = m_sim->device.state;
        CompareDevice("users", want.device.users, device.users, wrong);
        CompareDevice("standards", want.device.standards, device.standards, wrong);
        CompareDevice("records", want.device.records, device.records, wrong);
        if (trail.Unused())
            wrong.push_back(std::to_string(trail.Unused()) +
                            " requests more than the conversation has");
        return wrong;
    }

    void Plug(const SimState& state) {
        FaultPlan plan;
        plan.randomPercent = m_options.percent;
        plan.seed = m_options.seed + static_cast<uint32_t>(m_replugs);
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
    void Replug(std::vector<std::string>& wrong) {
        if (!m_dialog.IsConnected() || m_ui.texts[IDC_STATIC_STATUS] != IDS_STATUS_CONNECTED)
            wrong.push_back("the state changed by itself after a hang-up");
        m_dialog.OnConnect();
        const SimState state = m_sim->device.state;
        ++m_replugs;
        Plug(state);
        Connect();
    }

    void Tally(SoakOperation operation, const Expected& want, const std::vector<SimFault>& faults,
               const std::vector<std::string>& wrong) {
        const int op = static_cast<int>(operation);
        ++m_operations;
        ++m_outcomes[op][OutcomeOf(want.boxes)];
        bool clean = true;
        for (SimFault fault : faults) {
            ++m_faults[static_cast<int>(fault)];
            clean = clean && fault == SimFault::None;
        }
        m_clean += clean && wrong.empty();
        if (wrong.empty()) return;
        ++m_wrong;
        ++m_wrongByOperation[op];
        std::string met;
        for (SimFault fault : faults) met += std::string(" ") + FaultName(fault);
        std::printf("wrong operation %d, %s (requests:%s):\n", m_operations,
                    OperationName(operation), met.c_str());
        for (const std::string& line : wrong) std::printf("    %s\n", line.c_str());
    }

    Options m_options;
    Operator m_ui;
    FakeSettings m_settings;
    COmbrix_TessalyDlg m_dialog{m_ui, m_settings};
    std::unique_ptr<SimOnPty> m_sim;
    NameBook m_names;
    fs::path m_ports;
    std::mt19937 m_random;
    int m_operations = 0, m_replugs = 0, m_clean = 0, m_wrong = 0;
    int m_outcomes[SOAK_OPERATIONS][OUTCOMES] = {};
    int m_wrongByOperation[SOAK_OPERATIONS] = {};
    int m_faults[kFaultKinds] = {};
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stop-at-wrong") {
            options.stopAtWrong = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const long value = std::strtol(argv[++i], nullptr, 10);
        if (arg == "--operations")
            options.operations = static_cast<int>(value);
        else if (arg == "--seed")
            options.seed = static_cast<uint32_t>(value);
        else if (arg == "--percent")
            options.percent = static_cast<int>(value);
        else if (arg == "--min-each-fault")
            options.minEachFault = static_cast<int>(value);
        else if (arg == "--min-clean")
            options.minClean = static_cast<int>(value);
        else
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: soak_ops [--operations N] [--seed S] [--percent P] "
                     "[--min-each-fault N] [--min-clean N] [--stop-at-wrong]\n");
        return 2;
    }
    Soak soak(options);
    for (int i = 0; i < options.operations && soak.RunOne(); ++i) {
    }
    return soak.Report() ? 0 : 1;
}
