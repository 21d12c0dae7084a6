// Text split into its lines, without the line breaks.
#pragma once

#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// How many line breaks text has, and how many of them are CR LF.
struct LineEnds
{
    size_t lines = 0;
    size_t crlf = 0;
};
inline LineEnds CountLineEnds(const std::string& text)
{
    LineEnds ends;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
        {
            ++ends.lines;
            ends.crlf += i > 0 && text[i - 1] == '\r';
        }
    return ends;
}
