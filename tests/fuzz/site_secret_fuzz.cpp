// libFuzzer target: any bytes, taken as a password and written into one of the forms connection
// strings take (quoted, braced, %-encoded as each form needs), leave neither the password nor
// any 4-byte piece of it in the masked connection string, nor in a driver's message that quotes
// the password or the whole string; a password too short to be found withholds the message.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "site/site_secret.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool HasBlank(const std::string& s) { return s.find_first_of(" \t\r\n\f\v") != std::string::npos; }

std::string Doubled(const std::string& s, char c) {
    std::string out;
    for (char k : s) {
        out += k;
        if (k == c) out += c;
    }
    return out;
}

std::string Escaped(const std::string& s, char quote) {
    std::string out;
    for (char k : s) {
        if (k == quote || k == '\\') out += '\\';
        out += k;
    }
    return out;
}

std::string PercentEncoded(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char k : s) {
        if (std::isalnum(k) || k == '-' || k == '.' || k == '_' || k == '~') {
            out += static_cast<char>(k);
        } else {
            out += '%';
            out += hex[k >> 4];
            out += hex[k & 15];
        }
    }
    return out;
}

// A connection string around the password: what stands before it, the password as written,
// and what follows.
struct Form {
    std::string before, written, after;
    std::string Text() const { return before + written + after; }
    std::string Masked() const { return before + "***" + after; }
};

Form FormOf(unsigned choice, const std::string& s) {
    const std::string odbc = "Driver={PostgreSQL Unicode};Server=db;Uid=ombrix;";
    const std::string braced = "{" + Doubled(s, '}') + "}";
    const bool bareOdbc = !s.empty() && s.find(';') == std::string::npos &&
                          std::string("{'\" \t\r\n\f\v").find(s.front()) == std::string::npos &&
                          !std::isspace(static_cast<unsigned char>(s.back()));
    const bool barePostgres =
        !s.empty() && !HasBlank(s) && s.front() != '\'' && s.find('\\') == std::string::npos;
    const char* const keys[] = {"SSLPassword", "AccessToken", "KeyStoreSecret", "client_secret",
                                "PWD"};
    // PostgreSQL's string with the password first, bare: a ';' in it followed by "key=" reads as
    // ODBC's next attribute, which no reader can tell apart; such a password is quoted here.
    const bool bareFirst = barePostgres && s.find(';') == std::string::npos;
    switch (choice % 12) {
        case 0:
            return {odbc + "Pwd=", bareOdbc ? s : braced, ";Port=5432"};
        case 1:
            return {odbc + "Password=", braced, ";Database=site"};
        case 2:
            return {odbc + keys[(choice / 11) % 5] + "=", braced, ";Database=site"};
        case 3:
            return {odbc + "Password=", "'" + Escaped(s, '\'') + "'", ";Port=5432"};
        case 4:
            return {odbc + "Pwd=", "\"" + Escaped(s, '"') + "\"", ";Port=5432"};
        case 5:
            return {"host=db port=5432 user=ombrix password=", "'" + Escaped(s, '\'') + "'",
                    " dbname=site"};
        case 6:
            return {"host=db user=ombrix password=",
                    barePostgres ? s : "'" + Escaped(s, '\'') + "'", " dbname=site"};
        case 7:
            return {"postgresql://ombrix:", PercentEncoded(s), "@db:5432/site"};
        case 8:
            return {"postgresql://db/site?user=ombrix&password=", PercentEncoded(s),
                    "&sslmode=disable"};
        case 9:
            return {
                "Driver={ODBC Driver 18 for SQL Server};Server=tcp:db,1433;"
                "Authentication=ActiveDirectoryServicePrincipal;UID=app;PWD=",
                braced, ";Encrypt=yes"};
        case 10:
            return {"password=", bareFirst ? s : "'" + Escaped(s, '\'') + "'",
                    " host=db dbname=si;te"};
        default:
            return {"Pwd=", braced, ";Server=db"};
    }
}

// No 4-byte piece of the password (or the whole of a shorter one) in `shown`, other than the
// pieces that the masked text holds anyway.
void CheckHidden(const std::string& secret, const std::string& shown, const std::string& allowed) {
    const size_t piece = secret.size() < 4 ? secret.size() : 4;
    for (size_t at = 0; at + piece <= secret.size(); ++at) {
        const std::string part = secret.substr(at, piece);
        Check(shown.find(part) == std::string::npos || allowed.find(part) != std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const unsigned choice = data[0];
    const bool quotesWhole = (data[1] & 1) != 0;
    const std::string secret(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (secret.empty()) return 0;
    const Form form = FormOf(choice, secret);

    CheckHidden(secret, MaskSecrets(form.Text()), form.Masked());

    const std::vector<std::string> secrets = ConnectionSecrets(form.Text());
    const std::string words = quotesWhole ? "could not parse " + form.Text()
                                          : "login failed for ombrix using " + secret + " on db";
    const std::string allowed = quotesWhole ? "could not parse " + form.Masked()
                                            : "login failed for ombrix using *** on db";
    const std::string shown = MaskedDiagnostic("28000", 18456, words, secrets);
    const std::string withheld = MaskedDiagnostic("28000", 18456, words, {"x"});
    if (shown != withheld) {
        Check(secret.size() >= SHORTEST_FINDABLE_SECRET);
        CheckHidden(secret, shown, "[28000] " + allowed);
    }
    return 0;
}
