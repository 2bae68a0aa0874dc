// SPDX-License-Identifier: MIT
#pragma once

// The communications calls as a script: each call is logged by name
// ("CreateFile \\.\COM3", "SETDTR", "CloseHandle"), and a call named in
// `failing` fails with the given error until it is taken out again.

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
        // Another program's settings, flow control and line handshakes on.
        dcb.BaudRate = 115200;
        dcb.fOutxCtsFlow = dcb.fOutX = dcb.fInX = TRUE;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
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
        settings << ' ' << d.ErrorChar;
        return call("SetCommState", settings.str());
    }
    DWORD escapeCommFunction(HANDLE, DWORD function) override
    {
        const std::map<DWORD, std::string> names = {{SETDTR, "SETDTR"}, {CLRDTR, "CLRDTR"}, {CLRRTS, "CLRRTS"}};
        return call(names.at(function));
    }
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
