// The simulated device in this process, answering on a fresh pseudo-terminal.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/device.h"
#include "sim/faults.h"
#include "sim/line.h"
#include "sim/server.h"

class SimOnPty {
public:
    explicit SimOnPty(FaultPlan faults = {}, SimState state = {}) {
        device.state = std::move(state);
        std::string error;
        m_line = OpenPseudoTerminal(error);
        if (!m_line) throw std::runtime_error(error);
        m_server = std::make_unique<SimServer>(device, *m_line, std::move(faults));
        m_thread = std::thread([this] { m_server->Run(m_stop); });
    }
    ~SimOnPty() {
        m_stop = true;
        m_thread.join();
    }

    std::string Path() const { return m_line->PeerName(); }
    SimServer& Server() { return *m_server; }

    SimDevice device;

private:
    std::unique_ptr<SimLine> m_line;
    std::unique_ptr<SimServer> m_server;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
