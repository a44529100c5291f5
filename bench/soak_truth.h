// What a device operation must leave, worked out from the device's lists before it and the fault
// the simulator gave each request, never from what the program sent: each operation's
// conversation is laid down here request by request, so a program that asks for one item too
// few or too many, skips an append or takes a lost reply for a good one ends otherwise than
// predicted, in its lists, its boxes or the device.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bench/soak_names.h"
#include "sim/device.h"
#include "sim/faults.h"
#include "tests/support/fake_controls.h"

enum class SoakOperation {
    ReadUsers,
    ReadStandards,
    ReadRecords,
    WriteUsers,
    WriteStandards,
    ClearRecords
};
constexpr int SOAK_OPERATIONS = 6;
const char* OperationName(SoakOperation operation);

// The fault each request met, in order, as the simulator logged it. Once the line has hung up,
// every later request is lost unseen (the simulator no longer logs them).
class FaultTrail {
public:
    explicit FaultTrail(std::vector<SimFault> faults) : m_faults(std::move(faults)) {}
    // The next request's fault; None past the end of the log, where the line still works.
    SimFault Next();
    bool Dead() const { return m_dead; }
    // Requests logged that the conversation does not have.
    size_t Unused() const { return m_next < m_faults.size() ? m_faults.size() - m_next : 0; }

private:
    std::vector<SimFault> m_faults;
    size_t m_next = 0;
    bool m_dead = false;
};

// The cells of each row from column 0: five for users and standards, eleven for records.
using ListRows = std::vector<std::vector<std::string>>;

struct PcLists {
    ListRows users, standards, records;
};

struct Expected {
    SimState device;
    PcLists lists;
    std::vector<ShownBox> boxes;
};

// `written` holds the items that the PC's list of a write holds (their names in Johab), in list
// order; it is empty for the other operations.
struct SoakInput {
    SoakOperation operation;
    SimState device;
    PcLists lists;
    std::vector<SimUser> writtenUsers;
    std::vector<SimStandard> writtenStandards;
};

Expected ExpectOutcome(const SoakInput& input, FaultTrail& trail, const NameBook& names);

// The rows a list shows for a device's items, as a read from an empty list fills it.
ListRows UserRows(const std::vector<SimUser>& users, const NameBook& names);
ListRows StandardRows(const std::vector<SimStandard>& standards, const NameBook& names);
