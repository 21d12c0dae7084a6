#include "SelfTest.h"

#include <cstdio>
#include <cstdlib>
#include <string>

const char kNeedsRig[] = "needs the test rig's isolated networks and simulated scanners";
const char kUsesBuiltInKey[] =
    "stores under the built-in identity's key (HKEY_CURRENT_USER\\SOFTWARE\\ORVEL), where a real scanner's choice "
    "lives";

bool SelfTestMode()
{
    const char* value = std::getenv("CONNSETUP_SELFTEST");
    return value && std::string(value) == "1";
}

namespace
{
// One field of a result line: no tab or line break of its own.
std::string Field(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t' || c == '\r')
            out += ' ';
        else
            out += c;
    }
    return out;
}

class ResultLines : public ::testing::EmptyTestEventListener
{
public:
    explicit ResultLines(std::FILE* file)
        : m_file(file)
    {
    }
    ~ResultLines() override { std::fclose(m_file); }

private:
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        const ::testing::TestResult& result = *info.result();
        std::string messages;
        for (int i = 0; i < result.total_part_count(); ++i)
        {
            const ::testing::TestPartResult& part = result.GetTestPartResult(i);
            if (!part.failed() && !part.skipped())
                continue;
            std::string where;  // where a failure happened; a skip's reason says all
            if (part.failed() && part.file_name())
                where = std::string(part.file_name()) + ":" + std::to_string(part.line_number()) + ": ";
            messages += (messages.empty() ? "" : "\n") + where + part.message();
        }
        const char* word = result.Failed() ? "FAIL" : result.Skipped() ? "SKIP" : "PASS";
        Line(std::string(word) + "\t" + Name(info) + "\t" + std::to_string(result.elapsed_time()) + "\t" +
             Field(messages));
    }

    static std::string Name(const ::testing::TestInfo& info)
    {
        return std::string(info.test_suite_name()) + "." + info.name();
    }

    void Line(const std::string& line)
    {
        std::fputs((line + "\n").c_str(), m_file);
        std::fflush(m_file);
    }

    std::FILE* m_file;
};
}  // namespace

void ReportResultsForSelfTest()
{
    const char* path = std::getenv("CONNSETUP_SELFTEST_RESULTS");
    std::FILE* file = path ? std::fopen(path, "ab") : nullptr;
    if (file)
        ::testing::UnitTest::GetInstance()->listeners().Append(new ResultLines(file));
}
