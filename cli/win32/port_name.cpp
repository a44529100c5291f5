#include "cli/port_name.h"

#include <cctype>

bool CheckPortName(std::string& port, std::string& error) {
    if (!IsComPortName(port)) {
        error = "the port is COM1 to COM256, not \"" + port + "\"";
        return false;
    }
    for (char& c : port) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return true;
}
