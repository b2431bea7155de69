// Format against the C library's swprintf on the same inputs: a message with
// two text arguments and a command line. Prints the time per call of each and
// their ratio (ours / swprintf); below 1 means we are faster.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>

#include "text/format.h"
#include "text/gstring.h"

namespace {

template <typename Body>
double NanosecondsPerCall(Body body) {
  using Clock = std::chrono::steady_clock;
  constexpr int kCalls = 200000;
  double best = 1e300;
  for (int round = 0; round < 7; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < kCalls; ++i) {
      body();
    }
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count() / kCalls);
  }
  return best;
}

volatile int sink;

void Compare(const char* name, double ours, double theirs) {
  std::printf("%-14s Format %7.1f ns   swprintf %7.1f ns   ratio %.2f\n", name, ours, theirs,
              ours / theirs);
}

}  // namespace

int main() {
  GString target;
  wchar_t buffer[512];

  const double messageOurs = NanosecondsPerCall([&] {
    Format(target, u"The file %s could not be copied to %s.", u"kbdus.dll",
           u"C:\\Windows\\system32");
    sink = target.Length();
  });
  const double messageTheirs = NanosecondsPerCall([&] {
    sink = std::swprintf(buffer, 512, L"The file %ls could not be copied to %ls.", L"kbdus.dll",
                         L"C:\\Windows\\system32");
  });
  Compare("message", messageOurs, messageTheirs);

  const double commandOurs = NanosecondsPerCall([&] {
    Format(target, u"\"%s\\control.exe\" intl.cpl,,/f:\"%s\\layout%d.xml\"",
           u"C:\\Windows\\system32", u"C:\\Users\\someone\\AppData\\Local\\Temp", 42);
    sink = target.Length();
  });
  const double commandTheirs = NanosecondsPerCall([&] {
    sink = std::swprintf(buffer, 512, L"\"%ls\\control.exe\" intl.cpl,,/f:\"%ls\\layout%d.xml\"",
                         L"C:\\Windows\\system32", L"C:\\Users\\someone\\AppData\\Local\\Temp", 42);
  });
  Compare("command line", commandOurs, commandTheirs);
  return 0;
}
