// The IT page (docs/guide/it.html) gives each engine's tables as the program makes them: the site
// tests run its PostgreSQL and MariaDB SQL on real servers, and this test holds all three, SQL
// Server's among them, to the program's own words, which is all that SQL Server's gets here.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "site/hourly_counts.h"
#include "site/site_dialect.h"

namespace {

// The text of the page's <pre class="sql"> block for `engine` at `step`, its entities undone.
std::string PageBlock(const std::string& engine, const std::string& step) {
    std::ifstream file(OMBRIX_IT_PAGE, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    const std::string page = bytes.str();
    const std::string open =
        "<pre class=\"sql\" data-engine=\"" + engine + "\" data-step=\"" + step + "\">";
    const size_t start = page.find(open);
    if (start == std::string::npos) return "";
    const size_t from = start + open.size();
    std::string block = page.substr(from, page.find("</pre>", from) - from);
    for (const auto& [entity, character] :
         {std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}, std::pair{"&amp;", "&"}}) {
        for (size_t at = block.find(entity); at != std::string::npos;
             at = block.find(entity, at + 1))
            block.replace(at, std::string(entity).size(), character);
    }
    return block;
}

// The statements as one script, each ended by ";", the table in `schema` when one is given.
std::string Script(const std::vector<std::string>& statements, const std::string& schema) {
    std::string script;
    for (std::string statement : statements) {
        for (const char* before : {"CREATE TABLE ", " ON "}) {
            const size_t at = statement.find(std::string(before) + "ombrix_");
            if (at != std::string::npos) statement.insert(at + std::string(before).size(), schema);
        }
        script += statement + ";\n";
    }
    return script;
}

TEST(ItPage, GivesEachEnginesTableAsTheProgramMakesIt) {
    const struct {
        const char* engine;
        SiteEngine dialect;
        const char* schema;  // SQL Server's table in dbo, whatever a login's default schema
    } cases[] = {
        {"postgresql", SiteEngine::PostgreSql, ""},
        {"mariadb", SiteEngine::MariaDb, ""},
        {"sqlserver", SiteEngine::SqlServer, "dbo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        const std::string block = PageBlock(c.engine, "table");
        ASSERT_FALSE(block.empty()) << "no table block in " << OMBRIX_IT_PAGE;
        // The hourly counts after the rows' table and its indexes, in the same transaction.
        std::vector<std::string> statements = CreateTableV2(DialectOf(c.dialect));
        statements.push_back(CreateHourlyCounts(DialectOf(c.dialect)));
        const std::string expected = Script(statements, c.schema);
        EXPECT_NE(block.find(expected), std::string::npos) << expected << "\nnot in\n" << block;
    }
}

// The page builds the hourly counts from the rows with the SQL that docs/archive.md gives and the
// site tests run on both engines.
TEST(ItPage, BuildsTheHourlyCountsWithTheTestedSql) {
    std::ifstream file(std::string(OMBRIX_DOCS) + "/archive.md", std::ios::binary);
    const std::string doc((std::istreambuf_iterator<char>(file)), {});
    for (const auto& [engine, heading] :
         {std::pair{"postgresql", "PostgreSQL"}, std::pair{"mariadb", "MariaDB"}}) {
        SCOPED_TRACE(engine);
        const std::string opening =
            std::string("```sql\n-- ") + heading + ": ombrix_hourly_counts from the rows\n";
        const size_t start = doc.find(opening);
        ASSERT_NE(start, std::string::npos) << opening;
        const size_t from = start + opening.size();
        EXPECT_EQ(PageBlock(engine, "counts"), doc.substr(from, doc.find("```", from) - from));
    }
}

}  // namespace
