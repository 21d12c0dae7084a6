#include "Report.h"

#include "framework/AnsiText.h"

#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>

namespace
{
const char* Word(Outcome::Kind kind)
{
    return kind == Outcome::Pass ? "PASS" : kind == Outcome::Skip ? "SKIP" : "FAIL";
}

// The tests' messages are UTF-8 or in the ANSI code page; both reports are UTF-8.
std::string Utf8(const std::string& text)
{
    const bool isUtf8 = text.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                                              static_cast<int>(text.size()), nullptr, 0) > 0;
    return isUtf8 ? text : FromWide(WideFromAnsi(text), CP_UTF8);
}

// Without the control characters XML forbids.
std::string XmlText(const std::string& text)
{
    const std::string utf8 = Utf8(text);
    std::string out;
    for (char c : utf8)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\n':
            out += "&#10;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                out += c;
            else if (c != '\r')
                out += '?';
        }
    }
    return out;
}

std::string Seconds(double seconds)
{
    std::ostringstream text;
    text.precision(3);
    text << std::fixed << seconds;
    return text.str();
}
}  // namespace

int CReport::Count(Outcome::Kind kind) const
{
    int n = 0;
    for (const Outcome& o : m_outcomes)
        n += o.kind == kind;
    return n;
}

std::string CReport::Summary() const
{
    return std::to_string(Count(Outcome::Pass)) + " passed, " + std::to_string(Count(Outcome::Fail)) + " failed, " +
           std::to_string(Count(Outcome::Skip)) + " skipped";
}

bool CReport::WriteText(const std::string& path, const std::string& header) const
{
    std::ostringstream text;
    text << Utf8(header) << "\n";
    std::string group;
    for (const Outcome& o : m_outcomes)
    {
        if (o.group != group)
            text << "\n" << (group = o.group) << "\n";
        text << Word(o.kind) << "  " << Utf8(o.name) << "\n";
        std::istringstream lines(Utf8(o.detail));
        for (std::string line; std::getline(lines, line);)
            text << "      " << line << "\n";
    }
    text << "\n" << Summary() << "\n";
    // CR LF and a byte order mark: the report is read in Notepad, whatever
    // its version, and pasted from there.
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : text.str())
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::ofstream file(path, std::ios::binary);
    file << crlf;
    return static_cast<bool>(file.flush());
}

bool CReport::WriteJUnit(const std::string& path) const
{
    std::map<std::string, std::vector<const Outcome*>> groups;
    std::vector<std::string> order;
    for (const Outcome& o : m_outcomes)
    {
        if (!groups.count(o.group))
            order.push_back(o.group);
        groups[o.group].push_back(&o);
    }
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"ConnSetup self-test\" tests=\""
        << m_outcomes.size() << "\" failures=\"" << Count(Outcome::Fail) << "\" skipped=\"" << Count(Outcome::Skip)
        << "\">\n";
    for (const std::string& group : order)
    {
        int failures = 0, skipped = 0;
        for (const Outcome* o : groups[group])
        {
            failures += o->kind == Outcome::Fail;
            skipped += o->kind == Outcome::Skip;
        }
        xml << "  <testsuite name=\"" << XmlText(group) << "\" tests=\"" << groups[group].size() << "\" failures=\""
            << failures << "\" skipped=\"" << skipped << "\">\n";
        for (const Outcome* o : groups[group])
        {
            xml << "    <testcase classname=\"" << XmlText(group) << "\" name=\"" << XmlText(o->name) << "\" time=\""
                << Seconds(o->seconds) << "\"";
            if (o->kind == Outcome::Pass)
                xml << ">\n      <system-out>" << XmlText(o->detail) << "</system-out>\n    </testcase>\n";
            else
                xml << ">\n      <" << (o->kind == Outcome::Fail ? "failure" : "skipped") << " message=\""
                    << XmlText(o->detail) << "\"/>\n    </testcase>\n";
        }
        xml << "  </testsuite>\n";
    }
    xml << "</testsuites>\n";
    std::ofstream file(path, std::ios::binary);
    file << xml.str();
    return static_cast<bool>(file.flush());
}
