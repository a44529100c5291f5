#include "report/report.h"

#include "chart/chart_svg.h"
#include "chart/number_format.h"
#include "measurement/personal_number.h"
#include "measurement/time_text.h"
#include "report/report_style.h"
#include "text/html_text.h"

namespace {

constexpr const char* kAll = "전체";
constexpr const char* kProduct = "Ombrix_Tessaly";
constexpr Verdict kVerdictsInOrder[] = {Verdict::Safe, Verdict::Caution, Verdict::Contaminated};

const char* VerdictClass(Verdict verdict) {
    switch (verdict) {
        case Verdict::Safe:
            return "v0";
        case Verdict::Caution:
            return "v1";
        case Verdict::Contaminated:
            return "v2";
        case Verdict::None:
            break;
    }
    return "v3";
}

// Rows leave out their closing tags, as HTML allows: the list may hold thousands.
void Cell(std::string& out, const std::string& text, const char* cssClass = nullptr) {
    out += cssClass ? std::string("<td class=") + cssClass + ">" : std::string("<td>");
    AppendEscapedHtml(out, text);
}

void HeaderRow(std::string& out, const std::vector<const char*>& names) {
    out += "<thead><tr>";
    for (const char* name : names) out += std::string("<th>") + name;
    out += "</thead>\n";
}

std::string Optional(const std::optional<int64_t>& number) {
    return number ? std::to_string(*number) : std::string();
}

std::string Joined(const std::vector<std::string>& parts, const char* empty) {
    if (parts.empty()) return empty;
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string VerdictFilterText(const std::vector<Verdict>& verdicts) {
    std::vector<std::string> texts;
    for (const Verdict v : verdicts) texts.push_back(VerdictText(v));
    return Joined(texts, kAll);
}

std::string PeriodText(const ReportInput& input) { return input.from + " ~ " + input.to; }

void AppendFacts(std::string& out, const ReportInput& input) {
    const std::pair<const char*, std::string> facts[] = {
        {"기간", PeriodText(input)},
        {"측정기준", input.filters.standard.empty() ? kAll : input.filters.standard},
        {"사용자", input.filters.user.empty() ? kAll : input.filters.user},
        {"결과", VerdictFilterText(input.filters.verdicts)},
        {"측정 장치 / 파일", Joined(input.sources, "-")},
        {"작성", input.createdAt},
    };
    out += "<table class=\"facts\">\n";
    for (const auto& [name, value] : facts) {
        out += std::string("<tr><th>") + name;
        Cell(out, value);
        out += "\n";
    }
    out += "</table>\n";
}

void AppendShareBar(std::string& out, const VerdictCounts& counts) {
    if (counts.Total() == 0) return;
    out += "<div class=\"bar\">";
    for (const Verdict v :
         {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None}) {
        if (counts.Of(v) == 0) continue;
        out += std::string("<span class=\"") + VerdictClass(v) +
               "\" style=\"width:" + ShareText(counts.Of(v), counts.Total()) + "\" title=\"" +
               VerdictText(v) + "\"></span>";
    }
    out += "</div>\n";
}

void AppendSummary(std::string& out, const VerdictCounts& counts) {
    out += "<h2>요약</h2>\n";
    AppendShareBar(out, counts);
    out += "<table class=\"summary\">\n";
    HeaderRow(out, {"결과", "건수", "비율"});
    std::vector<Verdict> rows(std::begin(kVerdictsInOrder), std::end(kVerdictsInOrder));
    if (counts.none > 0) rows.push_back(Verdict::None);
    for (const Verdict v : rows) {
        out += "<tr>";
        Cell(out, v == Verdict::None ? std::string(NO_STANDARD_TEXT) + " (-)" : VerdictText(v),
             VerdictClass(v));
        Cell(out, GroupedNumber(counts.Of(v)), "n");
        Cell(out, ShareText(counts.Of(v), counts.Total()), "n");
        out += "\n";
    }
    out += "<tfoot><tr><td>합계";
    Cell(out, GroupedNumber(counts.Total()), "n");
    Cell(out, ShareText(counts.Total(), counts.Total()), "n");
    out += "</tfoot>\n</table>\n";
}

void AppendStandards(std::string& out, const std::vector<StandardSummary>& standards) {
    out += "<h2>측정기준별 결과</h2>\n<table class=\"standards\">\n";
    HeaderRow(out, {"측정기준", "안전지수", "위험지수", "건수", "안전", "주의", "오염", "최고값"});
    for (const StandardSummary& s : standards) {
        out += "<tr>";
        Cell(out, s.name.empty() ? std::string(NO_STANDARD_TEXT) + " (-)" : s.name);
        Cell(out, Optional(s.safetyIndex), "n");
        Cell(out, Optional(s.dangerIndex), "n");
        Cell(out, GroupedNumber(s.counts.Total()), "n");
        for (const Verdict v : kVerdictsInOrder) Cell(out, GroupedNumber(s.counts.Of(v)), "n");
        Cell(out, s.highestValue ? GroupedNumber(*s.highestValue) : std::string(), "n");
        out += "\n";
    }
    if (standards.empty()) out += "<tr><td colspan=8>측정 기록이 없습니다.\n";
    out += "</table>\n";
}

void AppendChart(std::string& out, const ReportInput& input) {
    ChartOptions options;
    options.width = REPORT_CHART_WIDTH;
    options.height = REPORT_CHART_HEIGHT;
    options.axis = input.axis;
    if (const auto period = ReportPeriod(input)) {
        options.from = period->first;
        options.to = period->second;
    }
    out += "<h2>측정값 추이</h2>\n<div class=\"chart\">\n";
    out += ChartSvg(BuildChart(input.chart, options));
    out += "</div>\n";
}

void AppendContaminatedRow(std::string& out, size_t number, const Measurement& m, bool withSource,
                           bool showIds) {
    const auto seconds = SecondsFromTimeText(m.measuredAt);
    out += "<tr>";
    Cell(out, std::to_string(number), "n");
    Cell(out, seconds ? TwelveHourText(*seconds) : m.measuredAt, "t");
    Cell(out, m.userName);
    Cell(out, Optional(m.id1), "n");
    Cell(out, showIds ? Optional(m.id2) : MaskedPersonalNumber(Optional(m.id2)), "n");
    Cell(out, m.standardName);
    Cell(out, Optional(m.safetyIndex), "n");
    Cell(out, Optional(m.dangerIndex), "n");
    Cell(out, std::to_string(m.value), "n");
    Cell(out, VerdictText(m.verdict), VerdictClass(m.verdict));
    if (withSource) Cell(out, m.source);
    out += "\n";
}

// "2026-03-07 10:30:00 · 150 · 안전 (추정)": a retest is suggested, never certain.
std::string RetestText(const std::optional<Measurement>& retest) {
    if (!retest) return {};
    return retest->measuredAt + " · " + std::to_string(retest->value) + " · " +
           VerdictText(retest->verdict) + " (추정)";
}

// The two columns of what followed a result: its likely retest and its action ("미조치" in red
// while there is none).
void AppendFollowUpCells(std::string& out, const ResultFollowUp& followUp, bool retests) {
    if (retests)
        Cell(out, RetestText(followUp.retest),
             followUp.retest ? VerdictClass(followUp.retest->verdict) : nullptr);
    if (followUp.action)
        Cell(out, followUp.action->text + " — " + followUp.action->by + ", " + followUp.action->at);
    else
        Cell(out, "미조치", "open");
}

// "오염·주의 N건 중 조치 기록 B건, 미조치 C건", under the summary.
void AppendActionTally(std::string& out, const ReportActions& actions) {
    out += "<p class=\"note\">오염·주의 " + GroupedNumber(actions.needing) + "건 중 조치 기록 " +
           GroupedNumber(actions.needing - actions.open) + "건, 미조치 " +
           GroupedNumber(actions.open) + "건</p>\n";
}

// The results still waiting for an action, first in the report, when there are any.
void AppendOpenResults(std::string& out, const ReportActions& actions) {
    if (actions.open == 0) return;
    out += "<h2>미조치 결과</h2>\n<p class=\"note\">조치가 기록되지 않은 주의·오염 결과 " +
           GroupedNumber(actions.open) + "건";
    const size_t listed = std::min(actions.openRows.size(), REPORT_OPEN_LIST_LIMIT);
    if (static_cast<int64_t>(listed) < actions.open) {
        out += " 가운데 최근 " + GroupedNumber(listed) + "건을 싣습니다. 나머지 " +
               GroupedNumber(actions.open - static_cast<int64_t>(listed)) +
               "건은 측정 이력 창의 &quot;미조치만&quot;과 &quot;CSV로 저장...&quot; 또는 "
               "<code>ombrix history --open --csv 파일</code>로 저장할 수 있습니다";
    }
    out += ". 최근 것부터 적었습니다.</p>\n<table class=\"list\">\n";
    std::vector<const char*> columns = {"No.", "시간", "이름", "측정기준", "측정값", "결과"};
    if (actions.retests) columns.push_back("재측정");
    HeaderRow(out, columns);
    out += "<tbody>\n";
    for (size_t i = 0; i < listed; ++i) {
        const Measurement& m = actions.openRows[i];
        const auto seconds = SecondsFromTimeText(m.measuredAt);
        out += "<tr>";
        Cell(out, std::to_string(i + 1), "n");
        Cell(out, seconds ? TwelveHourText(*seconds) : m.measuredAt, "t");
        Cell(out, m.userName);
        Cell(out, m.standardName);
        Cell(out, std::to_string(m.value), "n");
        Cell(out, VerdictText(m.verdict), VerdictClass(m.verdict));
        const std::optional<Measurement> retest =
            i < actions.openFollowUps.size() ? actions.openFollowUps[i].retest : std::nullopt;
        if (actions.retests)
            Cell(out, RetestText(retest), retest ? VerdictClass(retest->verdict) : nullptr);
        out += "\n";
    }
    out += "</tbody>\n</table>\n";
}

void AppendContaminated(std::string& out, const ReportInput& input) {
    const size_t listed = std::min(input.contaminated.size(), REPORT_LIST_LIMIT);
    const int64_t total = std::max<int64_t>(input.contaminatedTotal, listed);
    out += "<h2>오염 결과</h2>\n";
    if (total == 0) {
        out += "<p class=\"note\">이 기간에 오염 결과가 없습니다.</p>\n";
        return;
    }
    out += "<p class=\"note\">오염 결과 " + GroupedNumber(total) + "건";
    if (static_cast<int64_t>(listed) < total) {
        out += " 가운데 최근 " + GroupedNumber(listed) + "건을 싣습니다. 나머지 " +
               GroupedNumber(total - listed) +
               "건은 측정 이력 창의 &quot;CSV로 저장...&quot; 또는 <code>ombrix history "
               "--verdict 오염 --csv 파일</code>로 저장할 수 있습니다";
    }
    out += ". 최근 것부터 적었습니다.";
    if (!input.showIds) out += " 고유번호의 ID2는 첫 자리만 보입니다.";
    out += "</p>\n<table class=\"list\">\n";
    // The record list's columns, and where rows come from more than one place, the place.
    std::vector<const char*> columns = {"No.",      "시간",     "이름",     "ID1",    "ID2",
                                        "측정기준", "안전지수", "위험지수", "측정값", "결과"};
    const bool withSource = input.sources.size() > 1;
    if (withSource) columns.push_back("출처");
    if (input.actions && input.actions->retests) columns.push_back("재측정");
    if (input.actions) columns.push_back("조치");
    HeaderRow(out, columns);
    out += "<tbody>\n";
    for (size_t i = 0; i < listed; ++i) {
        AppendContaminatedRow(out, i + 1, input.contaminated[i], withSource, input.showIds);
        if (input.actions && i < input.actions->contaminated.size()) {
            out.pop_back();  // the row's line ends after its follow-up
            AppendFollowUpCells(out, input.actions->contaminated[i], input.actions->retests);
            out += "\n";
        }
    }
    out += "</tbody>\n</table>\n";
}

// Each deletion of records the archive may not hold, for the auditor: when, how many, by whom
// and on which port.
void AppendForcedClears(std::string& out, const std::vector<ForcedClear>& clears) {
    out += "<h2>보관 확인 없이 삭제한 측정 기록</h2>\n";
    out +=
        "<p class=\"note\">PC에 모두 보관되었는지 확인되지 않은 채 Ombrix의 측정 기록을 "
        "삭제한 " +
        GroupedNumber(static_cast<int64_t>(clears.size())) + "건입니다.</p>\n";
    out += "<table class=\"list\">\n";
    HeaderRow(out, {"No.", "시간", "기록 수", "사용자", "포트"});
    out += "<tbody>\n";
    for (size_t i = 0; i < clears.size(); ++i) {
        const ForcedClear& clear = clears[i];
        const auto seconds = SecondsFromTimeText(clear.clearedAt);
        out += "<tr>";
        Cell(out, std::to_string(i + 1), "n");
        Cell(out, seconds ? TwelveHourText(*seconds) : clear.clearedAt, "t");
        Cell(out, clear.count ? std::to_string(*clear.count) : "알 수 없음", "n");
        Cell(out, clear.user);
        Cell(out, clear.source);
        out += "\n";
    }
    out += "</tbody>\n</table>\n";
}

}  // namespace

std::optional<std::pair<int64_t, int64_t>> ReportPeriod(const ReportInput& input) {
    const auto from = SecondsFromDateText(input.from), to = SecondsFromDateText(input.to);
    if (!from || !to || *to < *from) return std::nullopt;
    return std::make_pair(*from, *to + SECONDS_PER_DAY);
}

int64_t ReportBucketSeconds(int64_t from, int64_t to) {
    return BucketSeconds(from, to, REPORT_CHART_WIDTH);
}

std::string ReportHtml(const ReportInput& input) {
    std::string out;
    out.reserve(4096 + input.contaminated.size() * 160);
    out += "<!DOCTYPE html>\n<html lang=\"ko\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    AppendEscapedHtml(out, input.title + " " + PeriodText(input));
    out += "</title>\n<style>";
    out += REPORT_STYLE;
    out += "</style>\n</head>\n<body>\n<h1>";
    AppendEscapedHtml(out, input.title);
    out += "</h1>\n";
    AppendFacts(out, input);
    if (input.actions) AppendOpenResults(out, *input.actions);
    AppendSummary(out, input.counts);
    if (input.actions) AppendActionTally(out, *input.actions);
    AppendStandards(out, input.standards);
    AppendChart(out, input);
    AppendContaminated(out, input);
    if (!input.forcedClears.empty()) AppendForcedClears(out, input.forcedClears);
    out += "<footer>";
    AppendEscapedHtml(out, std::string(kProduct) + " · " + input.createdAt);
    out += "</footer>\n</body>\n</html>\n";
    return out;
}
