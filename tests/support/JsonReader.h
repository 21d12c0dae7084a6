// A small strict JSON reader, so that a test reads connscan's JSON as any
// JSON reader would: escapes decoded, nothing after the value. Stricter
// than JSON on one point: a byte beyond ASCII in a string is refused, as
// connscan writes every such character as an escape.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue
{
    enum class Kind
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::wstring text;  // a string, as UTF-16 (\uXXXX escapes are UTF-16 code units)
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;  // names in ASCII
    std::vector<std::string> names;            // the members' names in order

    const JsonValue& operator[](const std::string& name) const;
    // The string in the ANSI code page.
    std::string Ansi() const;
};

// False, with where in why, unless text is exactly one JSON value (and white space).
bool ParseJson(const std::string& text, JsonValue& value, std::string& why);
