// Tests of the run's sources by identity, however a path is spelled.
#include "engine/run_sources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::WinPathOf;

// A path leads to a source when it reaches the same file, however it is
// spelled and through whatever link; any other file, or none, is no source.
// Symbolic links are left out where the system lets no test make them (an
// unprivileged Windows process).
TEST(RunSources, ASourceIsKnownByItsIdentityNotItsName) {
    TempDir dir;
    const fs::path a = dir.Write("src/a.jpg", "a"), b = dir.Write("src/b.png", "b");
    dir.Write("other.png", "b");  // the same bytes, another file
    fs::create_hard_link(a, dir.Path() / "hard.png");
    std::error_code noLinks;
    fs::create_symlink(b, dir.Path() / "soft.png", noLinks);
    if (!noLinks) {
        fs::create_symlink(dir.Path() / "other.png", dir.Path() / "soft-other.png");
        fs::create_symlink(dir.Path() / "gone.png", dir.Path() / "dangling.png");
    }
    const JobList jobs{WinPathOf(a), WinPathOf(b), WinPathOf(dir.Path() / "vanished.png")};
    RunSources sources(jobs);
    const std::u16string root = dir.WinPath();
    std::vector<std::pair<std::u16string, bool>> cases = {
        {root + u"src\\a.jpg", true},
        {root + u"src//b.png", true},
        {root + u"src\\..\\src\\a.jpg", true},
        {root + u"hard.png", true},
        {root + u"other.png", false},
        {root + u"vanished.png", false},
        {root + u"src", false},
    };
    if (!noLinks)
        cases.insert(cases.end(), {{root + u"soft.png", true},
                                   {root + u"soft-other.png", false},
                                   {root + u"dangling.png", false}});
    for (const auto& [path, isSource] : cases)
        EXPECT_EQ(sources.Contains(path), isSource) << fs::path(path).string();
}

}  // namespace
