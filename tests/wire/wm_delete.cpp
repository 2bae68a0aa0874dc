// SPDX-License-Identifier: MIT
// wm_delete WINDOW_ID [MARK]: the frame's close control, as a window manager
// sends it (WM_DELETE_WINDOW). With MARK, inside the wire guest: sends when a
// line arrives on stdin, then writes MARK as lib.sh's mark does.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: wm_delete WINDOW_ID [MARK]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int port = argc == 3 ? open("/dev/port", O_WRONLY) : -1;
    if (argc == 3) {
        char line[16];
        if (port < 0 || !std::fgets(line, sizeof line, stdin)) return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False); // the server has queued it for the window's owner
    XCloseDisplay(display);
    if (port >= 0) {
        const unsigned char mark = static_cast<unsigned char>(std::atoi(argv[2]));
        if (pwrite(port, &mark, 1, 0x2ff) != 1) return 1;
    }
    return 0;
}
