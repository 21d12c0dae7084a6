// The stored connection choice as the dialog reads it back.
#pragma once

#include <windows.h>

struct PortRecord
{
    BYTE byPortType;     // 1: USB; anything else: network
    BYTE bySaveSetting;  // 1 once a choice was saved
    char szPort[16];     // the device's address, zero-terminated
};

constexpr BYTE kPortTypeUsb = 1;
