#include "sim/device.h"

#include <cstring>

namespace {

void PutStatus(Frame& reply, uint16_t status, size_t count) {
    PutWord(reply, FRAME_STATUS, status);
    PutWord(reply, FRAME_ITEM, static_cast<uint16_t>(count));
}

void PutName(Frame& reply, int offset, const std::string& name) {
    std::memcpy(reply + offset, name.data(),
                name.size() < SIM_NAME_BYTES ? name.size() : SIM_NAME_BYTES);
}

std::string TakeName(const Frame& request, int offset) {
    return std::string(reinterpret_cast<const char*>(request + offset),
                       strnlen(reinterpret_cast<const char*>(request + offset), SIM_NAME_BYTES));
}

// A 1-based item number from the request, or 0 when the list has no such item.
size_t ItemIndex(const Frame& request, size_t size) {
    const size_t item = GetWord(request, FRAME_ITEM);
    return item >= 1 && item <= size ? item : 0;
}

}  // namespace

void SetReplyEnvelope(uint8_t* frame) {
    frame[0] = RX_HEAD0;
    frame[1] = RX_HEAD1;
    frame[28] = RX_TAIL0;
    frame[29] = RX_TAIL1;
}

bool IsRequestFrame(const uint8_t* bytes) {
    return bytes[0] == TX_HEAD0 && bytes[1] == TX_HEAD1 && bytes[28] == TX_TAIL0 &&
           bytes[29] == TX_TAIL1;
}

bool SimDevice::AppendAllowed(size_t size, size_t capacity) const {
    if (size >= capacity) return false;
    return fullAfterAppends < 0 || m_appends < fullAfterAppends;
}

bool SimDevice::Handle(const Frame& request, Frame& reply) {
    std::memset(reply, 0, FRAME_SIZE);
    SetReplyEnvelope(reply);
    reply[FRAME_CMD] = request[FRAME_CMD];
    reply[FRAME_SUB] = request[FRAME_SUB];
    const uint8_t sub = request[FRAME_SUB];
    switch (request[FRAME_CMD]) {
        case CMD_USERS:
            return HandleUsers(sub, request, reply);
        case CMD_STANDARDS:
            return HandleStandards(sub, request, reply);
        case CMD_RECORDS:
            return HandleRecords(sub, request, reply);
        default:
            PutStatus(reply, SIM_STATUS_REJECTED, 0);
            return false;
    }
}

// The three lists answer the same four requests; what differs is how an item sits in a frame,
// whether it can be appended, and that users and standards stay while records refer to them.
template <typename Item, typename Encode, typename Decode>
bool SimDevice::HandleList(uint8_t sub, const Frame& request, Frame& reply, std::vector<Item>& list,
                           const ListRules& rules, Encode encode, Decode decode) {
    switch (sub) {
        case SUB_COUNT:
            PutStatus(reply, RX_STATUS_COUNT, list.size());
            return false;
        case SUB_READ_ITEM: {
            const size_t item = ItemIndex(request, list.size());
            PutStatus(reply, item ? RX_STATUS_COUNT : SIM_STATUS_REJECTED, list.size());
            if (item) encode(list[item - 1], reply);
            return false;
        }
        case SUB_DELETE_ALL:
            if (rules.keptWhileRecords && !state.records.empty()) {
                PutStatus(reply, RX_STATUS_DELETE, 0);
                return false;
            }
            list.clear();
            PutStatus(reply, RX_STATUS_COUNT, 0);
            return true;
        case SUB_APPEND:
            if (rules.capacity == 0) break;
            if (!AppendAllowed(list.size(), rules.capacity)) {
                PutStatus(reply, RX_STATUS_FULL, list.size());
                return false;
            }
            list.push_back(decode(request));
            ++m_appends;
            PutStatus(reply, RX_STATUS_COUNT, list.size());
            return true;
        default:
            break;
    }
    PutStatus(reply, SIM_STATUS_REJECTED, 0);
    return false;
}

bool SimDevice::HandleUsers(uint8_t sub, const Frame& request, Frame& reply) {
    return HandleList(
        sub, request, reply, state.users, ListRules{size_t{MAX_USERS}, true},
        [](const SimUser& user, Frame& out) {
            PutLong(out, 8, user.id1);
            PutLong(out, 12, user.id2);
            PutName(out, 16, user.name);
        },
        [](const Frame& in) {
            return SimUser{GetLong(in, 8), GetLong(in, 12), TakeName(in, 16)};
        });
}

bool SimDevice::HandleStandards(uint8_t sub, const Frame& request, Frame& reply) {
    return HandleList(
        sub, request, reply, state.standards, ListRules{size_t{MAX_STANDARDS}, true},
        [](const SimStandard& standard, Frame& out) {
            PutWord(out, 8, standard.safe);
            PutWord(out, 10, standard.danger);
            PutName(out, 12, standard.name);
        },
        [](const Frame& in) {
            return SimStandard{GetWord(in, 8), GetWord(in, 10), TakeName(in, 12)};
        });
}

// Records are written by the instrument itself, never appended over the line.
bool SimDevice::HandleRecords(uint8_t sub, const Frame& request, Frame& reply) {
    return HandleList(
        sub, request, reply, state.records, ListRules{0, false},
        [](const SimRecord& record, Frame& out) {
            out[8] = record.user;
            out[9] = record.standard;
            PutWord(out, 10, record.value);
            std::memcpy(out + 12, record.time, sizeof record.time);
        },
        [](const Frame&) { return SimRecord{}; });
}
