// The user and standard lists to and from files: the export's bytes, the round trip, and every
// refusal of the import with its message and nothing added.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <fstream>

#include "app/list_file_reader.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"
#include "tests/dialog_fixture.h"

namespace {

// Column headers in code page 949, as the messages name them.
const std::string kNameColumn = "\xC0\xCC\xB8\xA7";                    // 이름
const std::string kSafeColumn = "\xBE\xC8\xC0\xFC\xC1\xF6\xBC\xF6";    // 안전지수
const std::string kDangerColumn = "\xC0\xA7\xC7\xE8\xC1\xF6\xBC\xF6";  // 위험지수
const std::string kUserHeader = USER_FILE_HEADER;
const std::string kStandardHeader = STANDARD_FILE_HEADER;

using Cells = std::vector<std::string>;  // columns 1 to 4 of a row

struct ListCase {
    const char* what;
    int list;
    void (COmbrix_TessalyDlg::*exportList)();
    void (COmbrix_TessalyDlg::*importList)();
    const char* fileName;
    std::vector<Cells> rows;
    std::string file;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.what; }

const ListCase kUsers{
    "users",
    IDC_LIST_USER,
    &COmbrix_TessalyDlg::OnExportUsers,
    &COmbrix_TessalyDlg::OnImportUsers,
    "Ombrix_users",
    {{"1", kHong, "-1", "2147483647"},
     {"2", kGaToMa + "A", "000123", "-2147483648"},
     {"3", "Kim, J.", "0", "7"},
     {"4", "say \"hi\"", "5", "6"},
     {"5", "", "8", "9"}},
    kUserHeader + "1," + kHong + ",-1,2147483647\n2," + kGaToMa +
        "A,000123,-2147483648\n3,\"Kim, J.\",0,7\n4,\"say \"\"hi\"\"\",5,6\n5,,8,9\n"};

const ListCase kStandards{"standards",
                          IDC_LIST_STANDARD,
                          &COmbrix_TessalyDlg::OnExportStandards,
                          &COmbrix_TessalyDlg::OnImportStandards,
                          "Ombrix_standards",
                          {{"1", kBa, "0", "65535"}, {"2", "a,b\"c", "65535", "0"}},
                          kStandardHeader + "1," + kBa + ",0,65535\n2,\"a,b\"\"c\",65535,0\n"};

class ListFileTest : public DialogTest {
protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("ombrix-list-" + std::to_string(getpid()) + ".csv");
    }
    void TearDown() override {
        std::filesystem::remove(path);
        DialogTest::TearDown();
    }

    void Fill(int list, const std::vector<Cells>& rows) {
        for (const Cells& cells : rows) {
            const int row = ui.RowCount(list);
            ui.InsertRow(list, row);
            for (size_t i = 0; i < cells.size(); ++i)
                ui.SetCell(list, row, static_cast<int>(i) + 1, cells[i]);
        }
    }
    std::vector<Cells> Rows(int list) {
        std::vector<Cells> rows;
        for (int row = 0; row < ui.RowCount(list); ++row) {
            EXPECT_FALSE(ui.IsChecked(list, row));
            rows.push_back({CellOf(list, row, 1), CellOf(list, row, 2), CellOf(list, row, 3),
                            CellOf(list, row, 4)});
        }
        return rows;
    }
    void WriteFile(const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        ui.openPath = path.string();
    }
    std::string FileBytes() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Imports `bytes` into the empty user list; the one box shown.
    ShownBox ImportUsers(const std::string& bytes) {
        WriteFile(bytes);
        ui.boxes.clear();
        dialog.OnImportUsers();
        EXPECT_EQ(ui.boxes.size(), 1u);
        return ui.boxes.empty() ? ShownBox{} : ui.boxes.back();
    }

    std::filesystem::path path;
};

class ListRoundTrip : public ListFileTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListRoundTrip, ExportBytesAndTheSameRowsBack) {
    const ListCase& c = GetParam();
    Fill(c.list, c.rows);
    ui.savePath = path.string();
    (dialog.*c.exportList)();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.saveName, c.fileName);
    EXPECT_EQ(FileBytes(), c.file);

    ui.DeleteAllRows(c.list);
    ui.openPath = path.string();
    (dialog.*c.importList)();
    EXPECT_EQ(Rows(c.list), c.rows);
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{Info(IDS_LIST_FILE_LOADED, std::to_string(c.rows.size()))}));
    EXPECT_EQ(ui.scrolls[c.list].size(), 1u);
}

TEST_P(ListRoundTrip, AnEmptyListSavesNothingAndAFilledOneLoadsNothing) {
    const ListCase& c = GetParam();
    ui.savePath = ui.openPath = path.string();
    (dialog.*c.exportList)();
    Fill(c.list, {{"1", "x", "1", "2"}});
    (dialog.*c.importList)();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{Info(IDS_LIST_FILE_NOTHING), Info(IDS_LIST_FILE_NOT_EMPTY)}));
    EXPECT_FALSE(ui.savePathAsked || ui.openPathAsked);
    EXPECT_EQ(ui.RowCount(c.list), 1);
}

INSTANTIATE_TEST_SUITE_P(Lists, ListRoundTrip, ::testing::Values(kUsers, kStandards),
                         [](const auto& info) { return std::string(info.param.what); });

struct Refusal {
    const char* what;
    std::string file;
    ShownBox box;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.what; }

ShownBox BadCell(const char* line, const std::string& column) {
    return {ShownBox::Info, IDS_LIST_FILE_BAD_CELL, line, column};
}

const ShownBox kNotAList{ShownBox::Info, IDS_LIST_FILE_NOT_A_LIST, ""};

std::string Repeated(const std::string& line, int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) lines += line;
    return lines;
}

class UserImportRefusals : public ListFileTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UserImportRefusals, OneBoxAndNothingAdded) {
    EXPECT_EQ(ImportUsers(GetParam().file), GetParam().box);
    EXPECT_EQ(ui.RowCount(IDC_LIST_USER), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Users, UserImportRefusals,
    ::testing::Values(
        Refusal{"empty_file", "", kNotAList},
        Refusal{"another_header", "No.,Name,ID1,ID2\n1,a,1,2\n", kNotAList},
        Refusal{"the_standard_header", kStandardHeader, kNotAList},
        Refusal{"over_1_MB", kUserHeader + std::string(LIST_FILE_MAX_BYTES, '\n'), kNotAList},
        Refusal{"binary_garbage", std::string("\x00\xFF\x81\x00\x7F,\"", 7), kNotAList},
        Refusal{"ID1_not_a_number", kUserHeader + "1,a,1,2\n2,b,12a,2\n", BadCell("3", "ID1")},
        Refusal{"ID2_over_32_bits", kUserHeader + "1,a,1,2147483648\n", BadCell("2", "ID2")},
        Refusal{"ID1_below_32_bits", kUserHeader + "1,a,-2147483649,1\n", BadCell("2", "ID1")},
        Refusal{"ID1_empty", kUserHeader + "1,a,,1\n", BadCell("2", "ID1")},
        Refusal{"name_of_12_bytes", kUserHeader + "1,ABCDEFGHIJKL,1,2\n",
                BadCell("2", kNameColumn)},
        Refusal{"a_column_missing", kUserHeader + "1,a,1\n", BadCell("2", "ID2")},
        Refusal{"an_extra_column", kUserHeader + "1,a,1,2,x\n", BadCell("2", "ID2")},
        Refusal{"an_empty_line_between_rows", kUserHeader + "1,a,1,2\n\n2,b,1,2\n",
                BadCell("3", kNameColumn)},
        Refusal{"a_quote_inside_an_unquoted_name", kUserHeader + "1,a\"b,1,2\n",
                BadCell("2", kNameColumn)},
        Refusal{"a_quoted_name_never_closed", kUserHeader + "1,\"ab,1,2\n",
                BadCell("2", kNameColumn)},
        Refusal{"line_breaks_in_a_quoted_name_count",
                kUserHeader + "1,\"a\r\nb\",1,2\r\n2,c,x,2\r\n", BadCell("4", "ID1")},
        Refusal{"neither_UTF_8_nor_code_page_949", kUserHeader + "1,\xFF\xFE,1,2\n",
                BadCell("2", kNameColumn)},
        Refusal{"UTF_8_with_a_character_949_lacks", "No.,이름,ID1,ID2\n1,café,1,2\n",
                BadCell("2", kNameColumn)},
        Refusal{"251_rows",
                kUserHeader + Repeated("1,n,1,2\n", 251),
                {ShownBox::Info, IDS_USER_LIMIT, ""}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ListFileTest, StandardIndicesAreRefusedOutside0To65535AndPast50Rows) {
    struct {
        std::string rows;
        ShownBox box;
    } cases[] = {
        {"1,a,65536,1\n", BadCell("2", kSafeColumn)},
        {"1,a,1,-1\n", BadCell("2", kDangerColumn)},
        {"1,a,1, 2\n", BadCell("2", kDangerColumn)},
        {Repeated("1,a,1,2\n", 51), {ShownBox::Info, IDS_STANDARD_LIMIT, ""}},
    };
    for (const auto& c : cases) {
        WriteFile(kStandardHeader + c.rows);
        ui.boxes.clear();
        dialog.OnImportStandards();
        EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{c.box})) << c.rows.substr(0, 20);
        EXPECT_EQ(ui.RowCount(IDC_LIST_STANDARD), 0);
    }
}

TEST_F(ListFileTest, Utf8WithAByteOrderMarkAndCrLfAsSpreadsheetsSaveIt) {
    const ShownBox box = ImportUsers(
        "\xEF\xBB\xBFNo.,이름,ID1,ID2\r\n1,홍길동,101,2001\r\n2,\"가나다라마\",-1,0,,\r\n\r\n");
    EXPECT_EQ(box, Info(IDS_LIST_FILE_LOADED, "2"));
    EXPECT_EQ(Rows(IDC_LIST_USER),
              (std::vector<Cells>{{"1", kHong, "101", "2001"}, {"2", kGaToMa, "-1", "0"}}));
}

TEST_F(ListFileTest, AFileThatCannotBeReadIsNamedWithItsCause) {
    ui.openPath = path.string();
    dialog.OnImportUsers();  // no such file
    WriteFile(kUserHeader);
    const int held = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);  // another program writes it
    dialog.OnImportUsers();
    close(held);
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Error, IDS_FILE_NOT_FOUND, path},
                                               {ShownBox::Error, IDS_FILE_SHARING, path}}));
    EXPECT_EQ(ui.RowCount(IDC_LIST_USER), 0);
}

TEST_F(ListFileTest, AnExportThatCannotCreateItsFileSaysSo) {
    Fill(IDC_LIST_STANDARD, {{"1", "a", "1", "2"}});
    ui.savePath = (path / "missing" / "x.csv").string();
    dialog.OnExportStandards();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{{ShownBox::Error, IDS_FILE_NOT_FOUND, ui.savePath}}));
}

}  // namespace
