// Runs that end half-way, as when the process dies or the machine loses power:
// the installation (or the removal) stops after its k-th change to the system,
// for every k, and the setup started again must bring the machine to the
// state a run without the stop leaves. At no point may a counter fall below
// the number of packages that are really installed: another package's
// removal would take shared items away from under this one.
#include <cstdio>
#include <iterator>
#include <string>

#include "change_budget.h"
#include "package_expectations.h"

namespace {

class Interrupted : public PackageExpectations {
 protected:
  // Hundreds of runs: no settings command to wait for.
  Interrupted() { settingsCommand = false; }

  const std::wstring kShared = L"HKLM\\SOFTWARE\\Tundra Type\\PhonoRus\\";

  // Runs the installation (or the removal) of a freshly started installer,
  // stopped after `changes` changes; -1 lets it finish. The number of
  // changes it made.
  int Run(bool removal, int changes) {
    CInstall install;
    Start(install);
    Choose(install);
    if (changes < 0) {
      changebudget::ArmUnlimited();
    } else {
      changebudget::Arm(changes);
    }
    if (removal) {
      install.Remove();
    } else {
      install.Install();
    }
    changebudget::Disarm();
    return changebudget::Made();
  }

  // Starts the setup again and finishes what was begun: an installation
  // installs again; a removal removes what the start-up still recognises.
  // Whether the start-up recognised the package as installed.
  bool Finish(bool removal) {
    CInstall install;
    Start(install);
    Choose(install);
    if (!removal) {
      EXPECT_EQ(install.Install(), 1);
    } else if (install.InstallState == InstallStamp) {
      EXPECT_EQ(install.Remove(), 1);
    }
    return install.InstallState == InstallStamp;
  }

  // The package counts as installed when its record says so; then so must
  // the counters.
  ::testing::AssertionResult CountersCoverThePackage() const {
    const Tree tree = Registry();
    if (Number(tree, kShared + L"Packages\\2.0\\State") != InstallStamp) {
      return ::testing::AssertionSuccess();
    }
    const DWORD packages = Number(tree, kShared + L"InstallCount");
    const DWORD users = Number(tree, kShared + L"Components\\Russian\\RefCount");
    if (packages >= 1 && users >= 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "installed, but counted " << packages << " packages, " << users << " users";
  }

  // What a removal leaves: the machine as before, but for the scancode map
  // and the toggle values, which are the user's from the installation on.
  static Tree Removed(const Tree& before, const Tree& installed) {
    Tree expected = before;
    for (const auto& entry : installed) {
      if (entry.first.rfind(L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\\", 0) ==
              0 ||
          entry.first.rfind(L"HKCU\\", 0) == 0) {
        expected[entry.first] = entry.second;
      }
    }
    return expected;
  }

  // Files after the restart that follows an installation: the staged builds
  // have been moved over the system's.
  void RestartAfterInstallation() {
    DeleteFileW((InstallDir() + L"\\kbdphrus.dll").c_str());
    DeleteFileW((InstallDir() + L"\\kbdphrus.dll64").c_str());
    ForgetPendingMoves();
  }
};

TEST_F(Interrupted, InstallationConvergesFromEveryStop) {
  const Tree before = Registry();
  const Files folders = AllFiles();
  const int changes = Run(false, -1);
  const Tree installed = Registry();
  const Files installedFiles = AllFiles();
  ASSERT_TRUE(Same(installed, Installed(before, {})));
  ASSERT_GT(changes, 20);
  Restore(before, folders);

  const std::wstring count = kShared + L"InstallCount";
  int countedTwice = 0;
  for (int k = 1; k <= changes; ++k) {
    SCOPED_TRACE(::testing::Message() << "stopped after change " << k << " of " << changes);
    Run(false, k);
    EXPECT_TRUE(CountersCoverThePackage());
    Finish(false);
    EXPECT_TRUE(CountersCoverThePackage());
    Tree now = Registry();
    // A stop between the count and the stamp that marks the package as
    // counted counts it twice: one more than there are, never one less.
    const bool twice = Number(now, count) == 2;
    if (twice) {
      ++countedTwice;
      now[count] = Dword(1);
    }
    EXPECT_TRUE(Same(now, installed));
    EXPECT_TRUE(Same(AllFiles(), installedFiles));
    if (!twice) {
      // And it can be removed cleanly.
      RestartAfterInstallation();
      Finish(true);
      EXPECT_TRUE(Same(Registry(), Removed(before, installed)));
      EXPECT_TRUE(Same(AllFiles(), folders));
    }
    Restore(before, folders);
  }
  EXPECT_LE(countedTwice, 1);
}

// Removal takes the package's records apart one value at a time, the
// package's own record first, and the start-up recognises the package only by
// complete records. A stop once that has begun leaves records that no later
// start offers to remove; the counters they hold are never below what is
// installed, so nothing shared is lost, but the records stay. Every earlier
// stop must converge.
TEST_F(Interrupted, RemovalConvergesFromEveryStop) {
  const Tree before = Registry();
  const Files folders = AllFiles();
  Run(false, -1);
  const Tree installed = Registry();
  RestartAfterInstallation();
  const int changes = Run(true, -1);
  const Tree removed = Removed(before, installed);
  ASSERT_TRUE(Same(Registry(), removed));
  ASSERT_TRUE(Same(AllFiles(), folders));
  ASSERT_GT(changes, 10);
  Restore(before, folders);

  const std::wstring records = L"HKLM\\SOFTWARE\\Tundra Type\\";
  int firstUnrecognised = 0;
  for (int k = 1; k <= changes; ++k) {
    SCOPED_TRACE(::testing::Message() << "stopped after change " << k << " of " << changes);
    Run(false, -1);
    RestartAfterInstallation();
    Run(true, k);
    EXPECT_TRUE(CountersCoverThePackage());
    const bool recognised = Finish(true);
    EXPECT_TRUE(Same(AllFiles(), folders));
    if (recognised || (firstUnrecognised == 0 && Same(Registry(), removed))) {
      EXPECT_EQ(firstUnrecognised, 0) << "an earlier stop was not recognised";
      EXPECT_TRUE(Same(Registry(), removed));
    } else {
      if (firstUnrecognised == 0) firstUnrecognised = k;
      // Only the package's records remain.
      Tree rest = Registry();
      for (auto it = rest.begin(); it != rest.end();) {
        it = it->first.rfind(records, 0) == 0 ? rest.erase(it) : std::next(it);
      }
      EXPECT_TRUE(Same(rest, removed));
    }
    Restore(before, folders);
  }
  if (firstUnrecognised != 0) {
    printf(
        "Removal stopped after change %d of %d or later leaves records no start-up "
        "recognises.\n",
        firstUnrecognised, changes);
  }
}

}  // namespace
