// SPDX-License-Identifier: MIT
#pragma once

// The communications calls as a script: each call is logged by name
// ("CreateFile \\.\COM3", "SETDTR", "CloseHandle"), and a call named in
// `failing` fails with the given error until it is taken out again (or
// ClearCommError, for ERROR_OPERATION_ABORTED); SetCommState refuses what the real one does.

#include "platform/windows/comm_api.h"
#include "platform/windows/text.h"

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

class ScriptedCommApi : public platform::CommApi {
public:
    std::vector<std::string> log;
    std::map<std::string, DWORD> failing; // call name -> its GetLastError code
    int openHandles = 0;

    DWORD createFile(const std::wstring& path, HANDLE& handle) override
    {
        handle = reinterpret_cast<HANDLE>(std::uintptr_t {0x100});
        const DWORD error = call("CreateFile", ' ' + platform::narrow(path));
        openHandles += error ? 0 : 1;
        return error;
    }
    DWORD setupComm(HANDLE, DWORD in, DWORD out) override
    {
        return call("SetupComm", ' ' + std::to_string(in) + ' ' + std::to_string(out));
    }
    DWORD getCommState(HANDLE, DCB& dcb) override
    {
        // Another program's settings: flow control, line handshakes, abort-on-error,
        // XON/XOFF limits for a larger buffer; a virtual COM driver's XON and XOFF, both 0.
        dcb.BaudRate = 115200;
        dcb.fOutxCtsFlow = dcb.fOutX = dcb.fInX = dcb.fAbortOnError = TRUE;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        dcb.XonLim = dcb.XoffLim = 16128;
        dcb.XonChar = dcb.XoffChar = 0;
        return call("GetCommState");
    }
    DWORD setCommState(HANDLE, const DCB& d) override
    {
        // "9600 8N1 lines ours ?": no flow control, DTR and RTS left to us.
        std::ostringstream settings;
        settings << ' ' << d.BaudRate << ' ' << int {d.ByteSize} << (d.Parity == NOPARITY ? 'N' : 'P')
                 << (d.StopBits == ONESTOPBIT ? '1' : '2');
        if (d.fOutxCtsFlow || d.fOutxDsrFlow || d.fOutX || d.fInX || d.fDsrSensitivity || d.fParity) settings << " flow";
        if (d.fDtrControl == DTR_CONTROL_DISABLE && d.fRtsControl == RTS_CONTROL_DISABLE) settings << " lines ours";
        if (d.fAbortOnError) settings << " abort";
        settings << ' ' << d.ErrorChar;
        // Refused: equal XON and XOFF (SetCommState's page), binary mode off (DCB's), limits beyond
        // the driver's 4096-byte buffer (IOCTL_SERIAL_SET_HANDFLOW in the WDK's serial sample).
        const bool valid = d.fBinary && d.XonChar != d.XoffChar && d.XonLim <= 4096 && d.XoffLim <= 4096;
        const DWORD error = call("SetCommState", settings.str());
        return error || valid ? error : ERROR_INVALID_PARAMETER;
    }
    DWORD escapeCommFunction(HANDLE, DWORD function) override
    {
        const std::map<DWORD, std::string> names = {{SETDTR, "SETDTR"}, {CLRDTR, "CLRDTR"}, {CLRRTS, "CLRRTS"}};
        return call(names.at(function));
    }
    DWORD clearCommError(HANDLE) override
    {
        std::erase_if(failing, [](const auto& f) { return f.second == ERROR_OPERATION_ABORTED; });
        return call("ClearCommError");
    }
    DWORD getCommModemStatus(HANDLE) override { return call("GetCommModemStatus"); }
    void closeHandle(HANDLE) override
    {
        call("CloseHandle");
        --openHandles;
    }

private:
    DWORD call(const std::string& name, const std::string& arguments = {})
    {
        log.push_back(name);
        log.back().append(arguments);
        const auto it = failing.find(name);
        return it == failing.end() ? 0 : it->second;
    }
};
