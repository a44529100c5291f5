#include "site/site_secret.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr char kMask[] = "***";
constexpr size_t kShortestQuotedSecret = 4;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsSecretKey(std::string key) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    key.erase(key.begin(), std::find_if_not(key.begin(), key.end(), blank));
    key.erase(std::find_if_not(key.rbegin(), key.rend(), blank).base(), key.end());
    key = Lower(key);
    return key == "pwd" || key == "password";
}

// Where the value that starts at `at` ends: after its closing brace ("}}" is a brace within
// it), or at the next ';'.
size_t ValueEnd(const std::string& text, size_t at) {
    size_t from = at;
    while (from < text.size() && text[from] == ' ') ++from;
    if (from < text.size() && text[from] == '{') {
        for (size_t i = from + 1; i < text.size(); ++i) {
            if (text[i] != '}') continue;
            if (i + 1 < text.size() && text[i + 1] == '}') {
                ++i;
                continue;
            }
            return i + 1;
        }
        return text.size();
    }
    const size_t end = text.find(';', at);
    return end == std::string::npos ? text.size() : end;
}

std::string Unbraced(const std::string& value) {
    const size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos || value[first] != '{') return value;
    std::string inner;
    for (size_t i = first + 1; i < value.size(); ++i) {
        if (value[i] == '}' && i + 1 < value.size() && value[i + 1] == '}')
            ++i;
        else if (value[i] == '}')
            break;
        inner += value[i];
    }
    return inner;
}

// Each "key=value" of a text whose key is a secret's: `visit(valueStart, valueEnd)`. A key runs
// back from '=' (blanks before it aside) to the last ';', blank, '(' or '"', or the start.
template <class Visit>
void EachSecret(const std::string& text, Visit visit) {
    for (size_t equals = text.find('='); equals != std::string::npos;
         equals = text.find('=', equals + 1)) {
        size_t keyEnd = equals;
        while (keyEnd > 0 && text[keyEnd - 1] == ' ') --keyEnd;
        size_t keyStart = keyEnd;
        while (keyStart > 0 && std::string(";( \"").find(text[keyStart - 1]) == std::string::npos)
            --keyStart;
        if (!IsSecretKey(text.substr(keyStart, keyEnd - keyStart))) continue;
        const size_t end = ValueEnd(text, equals + 1);
        visit(equals + 1, end);
        equals = end - 1;  // on after the value, which may hold '=' itself
    }
}

}  // namespace

std::vector<std::string> ConnectionSecrets(const std::string& connection) {
    std::vector<std::string> secrets;
    EachSecret(connection, [&](size_t from, size_t to) {
        const std::string value = Unbraced(connection.substr(from, to - from));
        if (!value.empty()) secrets.push_back(value);
    });
    return secrets;
}

std::string MaskSecrets(const std::string& text, const std::vector<std::string>& secrets) {
    std::string masked;
    size_t copied = 0;
    EachSecret(text, [&](size_t from, size_t to) {
        masked.append(text, copied, from - copied);
        masked += kMask;
        copied = to;
    });
    masked.append(text, copied, std::string::npos);
    for (const std::string& secret : secrets) {
        if (secret.size() < kShortestQuotedSecret) continue;
        for (size_t at = masked.find(secret); at != std::string::npos;
             at = masked.find(secret, at + sizeof kMask - 1))
            masked.replace(at, secret.size(), kMask);
    }
    return masked;
}
