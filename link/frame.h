// The 30-byte frames on the serial line and the receive assembler that turns the byte stream
// from the watcher thread into one captured reply at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

constexpr int FRAME_SIZE = 30;
constexpr int RX_RING_SIZE = 128;

// Fixed bytes of a request (sent by the PC) and of a reply (sent by the device).
constexpr uint8_t TX_HEAD0 = 0x14, TX_HEAD1 = 0x18, TX_TAIL0 = 0xA4, TX_TAIL1 = 0xA8;
constexpr uint8_t RX_HEAD0 = 0x13, RX_HEAD1 = 0x17, RX_TAIL0 = 0xB3, RX_TAIL1 = 0xB7;

// The device's list limits; a read takes all the device holds.
constexpr int MAX_USERS = 250;
constexpr int MAX_STANDARDS = 50;
constexpr int MAX_RECORDS = 65535;

constexpr uint8_t CMD_STANDARDS = 0x11;
constexpr uint8_t CMD_USERS = 0x12;
constexpr uint8_t CMD_RECORDS = 0x13;

constexpr uint8_t SUB_APPEND = 0x61;
constexpr uint8_t SUB_DELETE_ALL = 0x62;
constexpr uint8_t SUB_READ_ITEM = 0x63;
constexpr uint8_t SUB_COUNT = 0x64;

constexpr uint16_t RX_STATUS_COUNT = 0xEEE0;
constexpr uint16_t RX_STATUS_FULL = 0xEEE1;
constexpr uint16_t RX_STATUS_DELETE = 0xEEE3;

// Byte offsets inside a frame.
constexpr int FRAME_CMD = 2;
constexpr int FRAME_SUB = 3;
constexpr int FRAME_STATUS = 4;  // reply status word; in a request, a word that stays 0
constexpr int FRAME_ITEM = 6;    // request item number; reply count word
constexpr int FRAME_PAYLOAD = 8;

using Frame = uint8_t[FRAME_SIZE];

// Program-wide buffers, zero at start. The watcher writes RxFrame only while FrameReady is 0;
// the dialog's thread reads it only after it has seen FrameReady at 1.
extern Frame TxFrame;
extern Frame RxFrame;
extern uint8_t RxRing[RX_RING_SIZE];
extern std::atomic<uint8_t> FrameReady;

// The ring's bookkeeping, owned by the watcher thread.
struct RxRingIndex {
    uint8_t count;  // unconsumed bytes, never above RX_RING_SIZE
    uint8_t write;  // where the next byte goes
    uint8_t read;   // first unconsumed byte
};
extern RxRingIndex RxRingPos;

// Set by the dialog's thread to have the watcher drop what its ring holds before it appends
// the next chunk: bytes that arrived before a request cannot be its reply.
extern std::atomic<uint8_t> RxDiscardRequest;

// Called by the dialog's thread before it writes `request`: publishes the request's command and
// sub-code (they stay published after a time-out) and raises RxDiscardRequest. Once the device
// on this port is known to echo them in its replies, a reply that names another request of the
// protocol is a late answer to an earlier one: the assembler drops it and looks on behind it.
void AwaitReplyTo(const uint8_t* request);

// Whether replies on this port have echoed their requests' command and sub-code, for two
// requests that differ in both bytes: a device that puts a fixed value into either byte never
// passes. Known for the whole run of the program, across reconnects.
bool RepliesEchoRequests();

// Forgets the echo and the published request: another device may be on the line.
void ForgetReplyEcho();

// Feeds one received chunk (1..255 bytes) to the ring and captures at most one reply.
void AssembleRx(const uint8_t* chunk, uint8_t length);

// Waits until a reply is captured (FrameReady is 1) or the deadline passes; true when one is.
// AssembleRx wakes the waiter the moment it captures, so no polling step delays a reply.
bool WaitForFrame(std::chrono::steady_clock::time_point deadline);

// Feeds a chunk of any size, in pieces that AssembleRx takes.
void AssembleRxChunk(const uint8_t* chunk, size_t length);

// Empties the ring; only while no watcher runs.
void ResetRxRing();

// Little-endian field access.
uint16_t GetWord(const uint8_t* frame, int offset);
void PutWord(uint8_t* frame, int offset, uint16_t value);
int32_t GetLong(const uint8_t* frame, int offset);
void PutLong(uint8_t* frame, int offset, int32_t value);

// Stores the two header and two trailer bytes of a request.
void SetRequestEnvelope(uint8_t* frame);
