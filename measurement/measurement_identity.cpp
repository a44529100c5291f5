#include "measurement/measurement_identity.h"

namespace {

std::string Escaped(const std::string& name) {
    std::string escaped;
    for (char c : name) {
        if (c == '|' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string OptionalText(const std::optional<int64_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

}  // namespace

std::string MeasurementIdentity(const Measurement& row) {
    return row.measuredAt + '|' + std::to_string(row.value) + '|' + Escaped(row.userName) + '|' +
           OptionalText(row.id1) + '|' + OptionalText(row.id2) + '|' + Escaped(row.standardName);
}
