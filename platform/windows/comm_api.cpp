// SPDX-License-Identifier: MIT
#include "comm_api.h"

namespace platform {
namespace {

DWORD result(BOOL ok) { return ok ? 0 : GetLastError(); }

class SystemCommApi : public CommApi {
public:
    DWORD createFile(const std::wstring& path, HANDLE& handle) override
    {
        // A communications port is opened for one program at a time: no sharing.
        handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return result(handle != INVALID_HANDLE_VALUE);
    }
    DWORD setupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) override
    {
        return result(SetupComm(handle, inQueue, outQueue));
    }
    DWORD getCommState(HANDLE handle, DCB& dcb) override
    {
        dcb.DCBlength = sizeof dcb;
        return result(GetCommState(handle, &dcb));
    }
    DWORD setCommState(HANDLE handle, const DCB& dcb) override
    {
        DCB copy = dcb; // SetCommState takes a non-const pointer
        return result(SetCommState(handle, &copy));
    }
    DWORD escapeCommFunction(HANDLE handle, DWORD function) override
    {
        return result(EscapeCommFunction(handle, function));
    }
    DWORD clearCommError(HANDLE handle) override
    {
        DWORD errors = 0;
        COMSTAT status {};
        return result(ClearCommError(handle, &errors, &status));
    }
    DWORD getCommModemStatus(HANDLE handle) override
    {
        DWORD lines = 0;
        return result(GetCommModemStatus(handle, &lines));
    }
    void closeHandle(HANDLE handle) override { CloseHandle(handle); }
};

} // namespace

CommApi& systemCommApi()
{
    static SystemCommApi api;
    return api;
}

} // namespace platform
