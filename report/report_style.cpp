#include "report/report_style.h"

const char* const REPORT_STYLE = R"css(
@page { size: A4; margin: 14mm 12mm 16mm; }
@page { @bottom-center { content: counter(page) " / " counter(pages); font-size: 8pt; color: #666; } }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font-family: 'Malgun Gothic', 'Apple SD Gothic Neo', 'Noto Sans CJK KR', 'NanumGothic', sans-serif;
  font-size: 10pt; color: #222; max-width: 200mm; margin: 0 auto; padding: 16px; line-height: 1.4; }
h1 { font-size: 17pt; margin: 0 0 8pt; }
h2 { font-size: 12.5pt; margin: 16pt 0 6pt; padding-bottom: 2pt; border-bottom: 1.5px solid #555;
  break-after: avoid; page-break-after: avoid; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #bbb; padding: 2pt 5pt; vertical-align: top; }
th { background: #eef1f4; font-weight: bold; text-align: center; }
thead { display: table-header-group; }
tr { break-inside: avoid; page-break-inside: avoid; }
td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.t { white-space: nowrap; }
table.facts th { width: 20%; text-align: left; }
tfoot td { font-weight: bold; background: #f6f6f6; }
.open { color: #c62828; font-weight: bold; }
.v0 { color: #2e7d32; } .v1 { color: #a86800; } .v2 { color: #c62828; font-weight: bold; }
.bar { display: flex; height: 12pt; margin: 6pt 0 2pt; border: 1px solid #999; }
.bar span { display: block; height: 100%; }
.bar .v0 { background: #2e7d32; } .bar .v1 { background: #e89a00; }
.bar .v2 { background: #c62828; } .bar .v3 { background: #9e9e9e; }
.chart { break-inside: avoid; page-break-inside: avoid; }
.chart svg { width: 100%; height: auto; display: block; border: 1px solid #ddd; }
table.list { font-size: 8pt; }
table.list th, table.list td { padding: 1pt 3pt; }
.note { color: #555; margin: 4pt 0; break-after: avoid; page-break-after: avoid; }
footer { margin-top: 16pt; color: #777; font-size: 8pt; }
@media print { body { max-width: none; padding: 0; } }
)css";
