#include "tests/synthetic_history.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "measurement/time_text.h"
#include "report/report_tally.h"

namespace {

struct SyntheticStandard {
    const char* name;
    int safety, danger, level;  // level: the usual value
};

constexpr SyntheticStandard kStandards[] = {
    {"ATP 조리대", 150, 300, 80},
    {"ATP 도마", 200, 400, 110},
    {"세균 손잡이", 100, 200, 50},
    {"식기 세척", 50, 120, 22},
};

struct SyntheticUser {
    const char* name;
    int64_t id1, id2;
};

constexpr SyntheticUser kUsers[] = {
    {"홍길동", 101, 2001}, {"김민수", 102, 2002}, {"이서연", 103, 2003},
    {"박지훈", 104, 2004}, {"최유나", 105, 2005},
};

constexpr double kPi = 3.14159265358979;

Verdict VerdictOf(int value, int safety, int danger) {
    if (value < safety) return Verdict::Safe;
    if (value < danger) return Verdict::Caution;
    return Verdict::Contaminated;
}

}  // namespace

void ForEachSyntheticMeasurement(const SyntheticPlan& plan,
                                 const std::function<void(const Measurement&)>& each) {
    const int64_t from = SecondsFromDateText(plan.from).value_or(0);
    const int64_t to = SecondsFromDateText(plan.to).value_or(from) + SECONDS_PER_DAY;
    const double spacing = static_cast<double>(to - from) / std::max<int64_t>(plan.count, 1);
    std::mt19937 random(plan.seed);
    std::normal_distribution<double> scatter(0.0, 0.5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Measurement m;
    for (int64_t i = 0; i < plan.count; ++i) {
        const int64_t seconds = from + static_cast<int64_t>(spacing * (i + unit(random) * 0.9));
        const SyntheticStandard& s = kStandards[random() % std::size(kStandards)];
        const SyntheticUser& u = kUsers[random() % std::size(kUsers)];
        const CivilTime newYear{CivilFromSeconds(seconds).year, 1, 1};
        const double dayOfYear =
            static_cast<double>(seconds - SecondsFromCivil(newYear)) / SECONDS_PER_DAY;
        const double season = 1.0 + 0.35 * std::sin(2 * kPi * (dayOfYear - 100) / 365);
        const double spike = unit(random) < 0.05 ? 4.0 : 1.0;
        const bool zero = unit(random) < 0.01;
        const int value = zero ? 0
                               : static_cast<int>(std::min(65535.0, s.level * season * spike *
                                                                        std::exp(scatter(random))));
        m.measuredAt = TimeText(seconds);
        m.userNo = static_cast<int>(&u - kUsers) + 1;
        m.userName = u.name;
        m.id1 = u.id1;
        m.id2 = u.id2;
        m.standardNo = static_cast<int>(&s - kStandards) + 1;
        m.standardName = s.name;
        m.safetyIndex = s.safety;
        m.dangerIndex = s.danger;
        m.value = value;
        m.verdict = VerdictOf(value, s.safety, s.danger);
        m.source = plan.sources[static_cast<size_t>(i) % plan.sources.size()];
        m.archivedAt = m.measuredAt;
        each(m);
    }
}

ReportInput SyntheticReport(const SyntheticPlan& plan) {
    ReportInput input;
    input.from = plan.from;
    input.to = plan.to;
    input.sources = plan.sources;
    input.createdAt = plan.to + " 18:30:00";
    const auto period = ReportPeriod(input);
    ReportTally tally(period->first, ReportBucketSeconds(period->first, period->second));
    ForEachSyntheticMeasurement(plan, [&](const Measurement& m) { tally.Add(m); });
    return tally.Fill(std::move(input));
}
