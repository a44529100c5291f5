// How the report looks on screen and on A4 paper.
#pragma once

// The page's style sheet: system fonts with Hangul, tables whose headers repeat on every printed
// page, rows never split across pages, the verdict colours kept in print.
extern const char* const REPORT_STYLE;
