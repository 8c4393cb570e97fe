#include "Termination.h"

#include <QtGlobal>

#include <cstdlib>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
std::function<void()> Darken;
bool Armed = false;

void RunDarken()
{
    if (!Armed)
        return;
    Armed = false;
    if (Darken)
        Darken();
}
} // namespace

#ifdef Q_OS_UNIX
namespace {
constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};
int Pipe[2] = {-1, -1}; // the handler writes the signal's number into [0]

// Async-signal-safe: one byte into the socket, errno kept.
void Handler(int signal)
{
    const int saved = errno;
    const char number = char(signal);
    [[maybe_unused]] const ssize_t written = ::send(Pipe[0], &number, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    errno = saved;
}

// On the event loop: the projector dark, then the end the signal asks for.
void Received()
{
    char number = 0;
    if (::recv(Pipe[1], &number, 1, MSG_DONTWAIT) != 1)
        return;
    RunDarken();
    const int signal = number;
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal); // should the signal not end it
}
} // namespace

namespace Termination {

void Arm(std::function<void()> darken)
{
    Darken = std::move(darken);
    if (Pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, Pipe) != 0)
            return;
        auto* notifier = new QSocketNotifier(Pipe[1], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { Received(); });
        std::atexit([] { RunDarken(); });
    }
    Armed = true;
    struct sigaction action = {};
    action.sa_handler = &Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

void Disarm()
{
    Armed = false;
    Darken = nullptr;
    // A signal from now on ends the program at once: nothing is left to darken.
    for (const int signal : Signals)
        std::signal(signal, SIG_DFL);
}

} // namespace Termination
#else
namespace Termination {
void Arm(std::function<void()> darken)
{
    Darken = std::move(darken);
    Armed = true;
    std::atexit([] { RunDarken(); });
}
void Disarm()
{
    Armed = false;
    Darken = nullptr;
}
} // namespace Termination
#endif
