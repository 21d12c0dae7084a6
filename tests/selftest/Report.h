// What the self-test found: every test and check with its result, as a
// text to paste into a ticket and as JUnit XML, which CI systems read.
#pragma once

#include <string>
#include <vector>

struct Outcome
{
    enum Kind
    {
        Pass,
        Fail,
        Skip
    };
    Kind kind = Fail;
    std::string group;  // "platform" or the test program
    std::string name;
    std::string detail;  // what was expected and seen; a failure's or skip's why
    double seconds = 0;
};

class CReport
{
public:
    void Add(Outcome outcome) { m_outcomes.push_back(std::move(outcome)); }
    void Add(const std::vector<Outcome>& outcomes)
    {
        m_outcomes.insert(m_outcomes.end(), outcomes.begin(), outcomes.end());
    }
    // "N passed, M failed, K skipped"
    std::string Summary() const;
    bool Failed() const { return Count(Outcome::Fail) > 0; }

    // header: the lines that say where it ran.
    bool WriteText(const std::string& path, const std::string& header) const;
    bool WriteJUnit(const std::string& path) const;

private:
    int Count(Outcome::Kind kind) const;

    std::vector<Outcome> m_outcomes;
};
