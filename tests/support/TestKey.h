// The one registry key under which every test stores: its own, apart from
// any real scanner's stored choice.
#pragma once

#include <string>

// Every test maker's key lies under HKEY_CURRENT_USER\SOFTWARE\ this key,
// which the self-test removes at its end: a real scanner's stored choice is
// never among them. A literal, for expected texts that name it.
#define TEST_KEY_ROOT "ConnSetup-test"

// A test maker's name, "ConnSetup-test\NAME": a backslash in the maker
// names a deeper key.
inline std::string TestMaker(const std::string& name)
{
    return TEST_KEY_ROOT "\\" + name;
}
// Its key (or one below it), as the registry helpers take it.
inline std::string TestKey(const std::string& name)
{
    return "SOFTWARE\\" + TestMaker(name);
}
