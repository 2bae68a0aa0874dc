#pragma once

// The communications calls as a script: each call is logged by name
// ("CreateFile \\.\COM3", "SETDTR", "CloseHandle"), and a call named in
// `failing` fails with the given error until it is taken out again.

#include "platform/windows/comm_api.h"
#include "platform/windows/text.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ScriptedCommApi : public platform::CommApi {
public:
    std::vector<std::string> log;
    std::map<std::string, DWORD> failing; // call name -> its GetLastError code
    int openHandles = 0;

    DWORD createFile(const std::wstring& path, HANDLE& handle) override
    {
        log.push_back("CreateFile " + platform::narrow(path));
        if (const DWORD error = failure("CreateFile")) return error;
        handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x100 + openHandles++));
        return 0;
    }
    DWORD setupComm(HANDLE, DWORD inQueue, DWORD outQueue) override
    {
        log.push_back("SetupComm " + std::to_string(inQueue) + " " + std::to_string(outQueue));
        return failure("SetupComm");
    }
    DWORD getCommState(HANDLE, DCB& dcb) override
    {
        log.push_back("GetCommState");
        // What a driver may hand over: another program's settings, with flow control.
        dcb.BaudRate = 115200;
        dcb.fOutxCtsFlow = dcb.fOutX = dcb.fInX = TRUE;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        return failure("GetCommState");
    }
    DWORD setCommState(HANDLE, const DCB& dcb) override
    {
        log.push_back("SetCommState " + describe(dcb));
        return failure("SetCommState");
    }
    DWORD escapeCommFunction(HANDLE, DWORD function) override
    {
        static const std::map<DWORD, std::string> names = {
            {SETDTR, "SETDTR"}, {CLRDTR, "CLRDTR"}, {SETRTS, "SETRTS"}, {CLRRTS, "CLRRTS"}};
        const std::string& name = names.at(function);
        log.push_back(name);
        return failure(name);
    }
    void closeHandle(HANDLE) override
    {
        log.push_back("CloseHandle");
        --openHandles;
    }

    // "9600 8N1 flow=none dtr=off rts=off replace=?"
    static std::string describe(const DCB& dcb)
    {
        const bool flow = dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX || dcb.fDsrSensitivity;
        const char parity = dcb.Parity == NOPARITY && !dcb.fParity ? 'N' : 'P';
        return std::to_string(dcb.BaudRate) + " " + std::to_string(dcb.ByteSize) + parity
               + (dcb.StopBits == ONESTOPBIT ? "1" : "2") + " flow=" + (flow ? "some" : "none")
               + " dtr=" + (dcb.fDtrControl == DTR_CONTROL_DISABLE ? "off" : "driver")
               + " rts=" + (dcb.fRtsControl == RTS_CONTROL_DISABLE ? "off" : "driver")
               + " replace=" + std::string(1, dcb.ErrorChar);
    }

private:
    DWORD failure(const std::string& call) const
    {
        const auto it = failing.find(call);
        return it == failing.end() ? 0 : it->second;
    }
};
