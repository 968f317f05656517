#include "tests/e2e/jack_server.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/e2e/player_process.h"

static bool running(pid_t pid) { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

bool startJackServer(JackServer* server) {
  server->name = "plinkar-test-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", server->name.c_str(), 1);
  jack_set_error_function([](const char*) {});
  jack_set_info_function([](const char*) {});
  server->pid = fork();
  if (server->pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a test run that died
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    // The dummy backend waits 21 ms between cycles unless told the period's length.
    execlp("jackd", "jackd", "-n", server->name.c_str(), "-d", "dummy", "-r", "48000", "-p", "128",
           "-w", "2667", static_cast<char*>(nullptr));
    _exit(127);
  }
  bool takesClients = false;
  waitFor(
      [&] {
        jack_client_t* client = jack_client_open("plinkar-test-probe", JackNoStartServer, nullptr);
        if (client) jack_client_close(client), takesClients = true;
        return takesClients || !running(server->pid);
      },
      10000);
  if (!takesClients) stopJackServer(server);
  return takesClients;
}

void stopJackServer(JackServer* server) {
  if (server->pid > 0 && kill(server->pid, SIGTERM) == 0) {
    waitFor([&] { return !running(server->pid); }, 5000);
    if (running(server->pid) && kill(server->pid, SIGKILL) == 0) waitpid(server->pid, nullptr, 0);
  }
  server->pid = -1;
  unsetenv("JACK_DEFAULT_SERVER");
}
