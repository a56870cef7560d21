#pragma once

#include <sys/resource.h>

#include <cstdio>

// User plus system CPU time this process has used so far, in seconds.
inline double cpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
         ru.ru_stime.tv_usec / 1e6;
}

// How often the calling thread has gone to sleep waiting for something (its voluntary context
// switches): each is a wake-up later, which on a virtual machine costs more than most of a
// frame's work.
inline long sleepsSoFar() {
  long sleeps = -1;
  if (FILE* f = std::fopen("/proc/thread-self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &sleeps) == 1) break;
    }
    std::fclose(f);
  }
  return sleeps;
}
