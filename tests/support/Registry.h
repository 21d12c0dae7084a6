// The test prefix's real registry, under HKEY_CURRENT_USER.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct StoredValue
{
    bool present = false;
    DWORD type = 0;
    std::vector<unsigned char> bytes;
};

bool KeyExists(const std::string& path);
// Removes the key and everything below it.
void DeleteKeyTree(const std::string& path);
std::vector<std::string> ValueNames(const std::string& path);
StoredValue ReadValue(const std::string& path, const std::string& name);
void WriteValue(const std::string& path, const std::string& name, DWORD type, const std::vector<unsigned char>& bytes);
// "SOFTWARE\<maker>\<model>"
std::string SettingsPath(const std::string& maker, const std::string& model);
// 16 bytes: text then zeros.
std::vector<unsigned char> PortBytes(const std::string& text);
