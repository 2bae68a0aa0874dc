// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// The Win32 communications calls the serial component makes. A seam so that
// tests can give the component the faults of real hardware (a port held by
// another program, an adapter pulled while open) that Wine cannot produce.
// Each call returns 0 where it succeeded, else its GetLastError code.
class CommApi {
public:
    virtual ~CommApi() = default;
    virtual DWORD createFile(const std::wstring& path, HANDLE& handle) = 0;
    virtual DWORD setupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) = 0;
    virtual DWORD getCommState(HANDLE handle, DCB& dcb) = 0;
    virtual DWORD setCommState(HANDLE handle, const DCB& dcb) = 0;
    virtual DWORD escapeCommFunction(HANDLE handle, DWORD function) = 0;
    // Acknowledges the line errors pending; their kinds and the queue counts
    // are not needed.
    virtual DWORD clearCommError(HANDLE handle) = 0;
    // Only whether the device answers is needed, not the lines it reports.
    virtual DWORD getCommModemStatus(HANDLE handle) = 0;
    virtual void closeHandle(HANDLE handle) = 0;
};

// The system's own calls.
CommApi& systemCommApi();

} // namespace platform
