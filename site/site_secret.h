// A site's connection string may hold a password: its secrets never reach a message, a log or
// the archive. The secrets are the values of the attributes PWD and Password (in any case).
#pragma once

#include <string>
#include <vector>

// The secret values of a connection string, as written in it (braces taken off).
std::vector<std::string> ConnectionSecrets(const std::string& connection);

// `text` with every "PWD=..." or "Password=..." value made "***", and every secret of four or
// more characters found elsewhere in it too (a driver that quotes what it was given).
std::string MaskSecrets(const std::string& text, const std::vector<std::string>& secrets = {});
