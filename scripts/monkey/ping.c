/* Asks an X window whether its program still answers: sends it the window
 * manager's ping (_NET_WM_PING) and waits for the answer, which the toolkit
 * sends back to the root window from its event loop. Exit status 0 when the
 * answer came within the seconds given, 1 when it did not, 2 on bad use, 3
 * when the window is gone (its program ended or closed it meanwhile).
 *
 * usage: ping WINDOW-ID SECONDS
 */
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int windowGone = 0;

static int OnError(Display* display, XErrorEvent* error) {
    (void)display;
    if (error->error_code == BadWindow) {
        windowGone = 1;
    }
    return 0;
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: ping WINDOW-ID SECONDS\n");
        return 2;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const double seconds = atof(argv[2]);
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "ping: no display\n");
        return 2;
    }
    XSetErrorHandler(OnError);
    const Window root = DefaultRootWindow(display);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    /* The answer goes to the root window, for its structure listeners (Qt)
     * or its substructure ones (other toolkits). */
    XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);

    const long stamp = (long)(Now() * 1000) & 0x7fffffff;
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)ping;
    event.xclient.data.l[1] = stamp;
    event.xclient.data.l[2] = (long)window;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    if (windowGone) {
        return 3;
    }

    const double deadline = Now() + seconds;
    while (Now() < deadline) {
        while (XPending(display) > 0) {
            XEvent reply;
            XNextEvent(display, &reply);
            if (reply.type == ClientMessage && reply.xclient.message_type == protocols &&
                (Atom)reply.xclient.data.l[0] == ping && reply.xclient.data.l[1] == stamp) {
                return 0;
            }
        }
        struct pollfd wait = {ConnectionNumber(display), POLLIN, 0};
        poll(&wait, 1, 100);
    }
    return 1;
}
