// The IT page (docs/guide/it.html) gives each engine's tables as the program makes them: the site
// tests run its PostgreSQL and MariaDB SQL on real servers, and this test holds all three, SQL
// Server's among them, to the program's own words, which is all that SQL Server's gets here.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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
            const size_t at = statement.find(std::string(before) + "ombrix_measurements");
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
        const std::string expected = Script(CreateTableV2(DialectOf(c.dialect)), c.schema);
        EXPECT_NE(block.find(expected), std::string::npos) << expected << "\nnot in\n" << block;
    }
}

}  // namespace
