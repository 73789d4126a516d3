#pragma once
// The Windows types and constants that the portable layers use. On Windows they
// come from the SDK; elsewhere from os/LinuxWinTypes.h, which reproduces the
// sizes and layouts byte for byte so that the simulated machine and the tests
// see exactly what Windows would.

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#include <ntsecapi.h>
#include <powrprof.h>
#include <lmcons.h>
#include <lmerr.h>
#include <lmjoin.h>
#include <lmaccess.h>
#define SECURITY_WIN32
#include <security.h>
#include <secext.h>
#include <sddl.h>
#include <aclapi.h>
#else
#include "os/LinuxWinTypes.h"
#endif

#include <cstddef>
#include <cstdint>

// Constants that older SDK headers lack.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_BUFFER_TOO_SMALL
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023L)
#endif
#ifndef ERROR_OPERATION_IN_PROGRESS
#define ERROR_OPERATION_IN_PROGRESS 329L
#endif
#ifndef SPI_GETSCREENSAVESECURE
#define SPI_GETSCREENSAVESECURE 0x0076
#define SPI_SETSCREENSAVESECURE 0x0077
#endif

namespace os {

// The flag of GLOBAL_USER_POWER_POLICY.GlobalFlags that asks for the password on resume.
inline constexpr ULONG kEnablePasswordLogon = 0x04;

// {0E796BDB-100D-47D6-A2D5-F7D2DAA51F51}: lock the console on wake.
inline constexpr GUID kLockConsoleOnWake = {
    0x0E796BDB, 0x100D, 0x47D6, {0xA2, 0xD5, 0xF7, 0xD2, 0xDA, 0xA5, 0x1F, 0x51}};

// NO_SUBGROUP_GUID {FEA3413E-7E05-4911-9A71-700331F1C294}: the subgroup of
// power settings that belong to no subgroup, as the lock on wake does
// (powercfg's SUB_NONE).
inline constexpr GUID kNoSubgroup = {
    0xFEA3413E, 0x7E05, 0x4911, {0x9A, 0x71, 0x70, 0x03, 0x31, 0xF1, 0xC2, 0x94}};

// SYSTEM_POWER_CAPABILITIES.AoAc (Modern Standby), which the SDK's older
// layout keeps in its spare bytes: the byte after FastSystemS4, Hiberboot and
// WakeAlarmPresent.
inline constexpr std::size_t kAoAcOffset = 20;

inline bool SameGuid(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

}  // namespace os
