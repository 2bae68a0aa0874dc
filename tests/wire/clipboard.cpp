// SPDX-License-Identifier: MIT
// Prints the text of the X clipboard (CLIPBOARD selection, UTF-8): the error
// report puts its text there on Ctrl+C, and this is how a scenario reads it.
//   clipboard [SECONDS]
// Waits up to SECONDS (default 10) for a client to own the clipboard: the
// Ctrl+C before this may not have been handled yet.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom property = XInternAtom(display, "WIRE_CLIPBOARD", False);
    const std::time_t deadline = std::time(nullptr) + (argc > 1 ? std::atoi(argv[1]) : 10);
    const auto nap = [] {
        struct timespec tick {0, 10'000'000};
        nanosleep(&tick, nullptr);
    };

    bool asked = false;
    XEvent event {};
    while (std::time(nullptr) < deadline) {
        if (!asked) {
            if (XGetSelectionOwner(display, clipboard) == None) {
                nap();
                continue;
            }
            XConvertSelection(display, clipboard, utf8, property, window, CurrentTime);
            XFlush(display);
            asked = true;
        }
        if (!XPending(display)) {
            nap();
            continue;
        }
        XNextEvent(display, &event);
        if (event.type != SelectionNotify) continue;
        if (event.xselection.property == None) { // the owner had no text: ask again
            asked = false;
            continue;
        }
        Atom type;
        int format;
        unsigned long items, left;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &items,
                           &left, &data);
        if (data) {
            std::fwrite(data, 1, items, stdout);
            XFree(data);
        }
        XCloseDisplay(display);
        return 0;
    }
    XCloseDisplay(display);
    return 1;
}
