// How late this machine wakes a thread that sleeps until an absolute deadline every 20 ms, as the
// live loop's pacing timer does. A wake-up late delays its request by as much and the requests
// after it catch up with the grid, never closer than 18 ms: that costs the loop nothing. One so
// late (about 10 ms) that the reply is handled more than half a slot after the next slot moves
// the grid, and the loop loses that time.
//   bench_wakeup_latency [--seconds N] [--period-us P]
#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

long long nowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 30;
  long long periodUs = 20'000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (QByteArray(argv[i]) == "--seconds") seconds = std::max(1, atoi(argv[i + 1]));
    if (QByteArray(argv[i]) == "--period-us") periodUs = std::max(100LL, atoll(argv[i + 1]));
  }
  const long long period = periodUs * 1000;
  const long long count = seconds * 1'000'000LL / periodUs;
  std::vector<long long> late;
  late.reserve(static_cast<std::size_t>(count));
  long long due = nowNs();
  for (long long i = 0; i < count; ++i) {
    due += period;
    const timespec at{static_cast<time_t>(due / 1'000'000'000),
                      static_cast<long>(due % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
    late.push_back(nowNs() - due);
  }
  const auto over = [&](long long ns) {
    return std::count_if(late.begin(), late.end(), [ns](long long l) { return l > ns; });
  };
  const long long over2ms = over(2'000'000);
  const long long over10ms = over(10'000'000);
  std::sort(late.begin(), late.end());
  const auto at = [&](double q) {
    return late[std::min(late.size() - 1, static_cast<std::size_t>(q * late.size()))] / 1000.0;
  };
  std::printf("wake-ups: %lld, one every %lld us\n", count, periodUs);
  std::printf("late by (us): median %.0f, p90 %.0f, p99 %.0f, p99.9 %.0f, max %.0f\n", at(0.5),
              at(0.9), at(0.99), at(0.999), late.back() / 1000.0);
  std::printf("more than 2 ms late: %lld (%.2f %%); more than 10 ms, time lost: %lld (%.2f %%)\n",
              over2ms, 100.0 * over2ms / count, over10ms, 100.0 * over10ms / count);
  return 0;
}
