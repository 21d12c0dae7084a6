#include "JsonReader.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace
{
class Reader
{
public:
    explicit Reader(const std::string& text)
        : m_text(text)
    {
    }

    bool Value(JsonValue& value)
    {
        Space();
        if (m_at >= m_text.size())
            return Fail("a value");
        const char c = m_text[m_at];
        if (c == '{')
            return Object(value);
        if (c == '[')
            return Array(value);
        if (c == '"')
        {
            value.kind = JsonValue::Kind::String;
            return String(value.text);
        }
        if (Word("true") || Word("false"))
        {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            return true;
        }
        if (Word("null"))
            return true;
        const size_t length = NumberLength();
        if (length == 0)
            return Fail("a value");
        value.number = std::strtod(m_text.substr(m_at, length).c_str(), nullptr);
        value.kind = JsonValue::Kind::Number;
        m_at += length;
        return true;
    }

    bool End()
    {
        Space();
        return m_at == m_text.size() || Fail("the end");
    }

    std::string m_why;

private:
    bool Fail(const char* expected)
    {
        if (m_why.empty())
            m_why = std::string("expected ") + expected + " at " + std::to_string(m_at);
        return false;
    }
    // The length of the JSON number at m_at, 0 for none: -?(0|[1-9]d*)(.d+)?([eE][+-]?d+)?.
    // No hexadecimal, sign before it, leading zero, inf or nan, which strtod takes.
    size_t NumberLength() const
    {
        size_t at = m_at;
        auto digits = [&]
        {
            const size_t from = at;
            while (at < m_text.size() && m_text[at] >= '0' && m_text[at] <= '9')
                ++at;
            return at - from;
        };
        if (at < m_text.size() && m_text[at] == '-')
            ++at;
        const size_t first = at;
        const size_t whole = digits();
        if (whole == 0 || (whole > 1 && m_text[first] == '0'))
            return 0;
        if (at < m_text.size() && m_text[at] == '.' && (++at, digits() == 0))
            return 0;
        if (at < m_text.size() && (m_text[at] == 'e' || m_text[at] == 'E'))
        {
            ++at;
            if (at < m_text.size() && (m_text[at] == '+' || m_text[at] == '-'))
                ++at;
            if (digits() == 0)
                return 0;
        }
        return at - m_at;
    }
    void Space()
    {
        while (m_at < m_text.size() && std::strchr(" \t\r\n", m_text[m_at]))
            ++m_at;
    }
    bool Take(char c)
    {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c)
        {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word)
    {
        const size_t n = std::strlen(word);
        if (m_text.compare(m_at, n, word) != 0)
            return false;
        m_at += n;
        return true;
    }
    bool String(std::wstring& out)
    {
        ++m_at;  // the opening quote
        while (m_at < m_text.size())
        {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"')
                return true;
            if (c < 0x20 || c >= 0x80)
                return Fail("an escape for a control or non-ASCII character");
            if (c != '\\')
            {
                out += static_cast<wchar_t>(c);
                continue;
            }
            if (m_at >= m_text.size())
                break;
            const char e = m_text[m_at++];
            static const char kEscaped[] = "\"\\/bfnrt";
            static const char kMeant[] = "\"\\/\b\f\n\r\t";
            const char* plain = e ? std::strchr(kEscaped, e) : nullptr;
            if (plain)
                out += static_cast<wchar_t>(kMeant[plain - kEscaped]);
            else if (e == 'u' && m_at + 4 <= m_text.size() &&
                     m_text.substr(m_at, 4).find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            {
                out += static_cast<wchar_t>(std::strtoul(m_text.substr(m_at, 4).c_str(), nullptr, 16));
                m_at += 4;
            }
            else
                return Fail("an escape");
        }
        return Fail("a closing quote");
    }
    bool Array(JsonValue& value)
    {
        value.kind = JsonValue::Kind::Array;
        ++m_at;
        if (Take(']'))
            return true;
        do
        {
            value.items.emplace_back();
            if (!Value(value.items.back()))
                return false;
        } while (Take(','));
        return Take(']') || Fail("']'");
    }
    bool Object(JsonValue& value)
    {
        value.kind = JsonValue::Kind::Object;
        ++m_at;
        if (Take('}'))
            return true;
        do
        {
            Space();
            std::wstring name;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !String(name))
                return Fail("a member's name");
            if (!Take(':'))
                return Fail("':'");
            const std::string ascii(name.begin(), name.end());
            if (value.members.count(ascii))
                return Fail("a name not used before");
            value.names.push_back(ascii);
            if (!Value(value.members[ascii]))
                return false;
        } while (Take(','));
        return Take('}') || Fail("'}'");
    }

    const std::string& m_text;
    size_t m_at = 0;
};
}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const
{
    static const JsonValue kMissing;
    const auto found = members.find(name);
    return found == members.end() ? kMissing : found->second;
}

std::string JsonValue::Ansi() const
{
    const int size = static_cast<int>(text.size());
    const int length = size ? ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr) : 0;
    std::string ansi(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, &ansi[0], length, nullptr, nullptr);
    return ansi;
}

bool ParseJson(const std::string& text, JsonValue& value, std::string& why)
{
    Reader reader(text);
    value = JsonValue{};
    const bool ok = reader.Value(value) && reader.End();
    why = reader.m_why;
    return ok;
}
