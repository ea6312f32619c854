// The fixture of the run-control tests: four small images, three formats,
// the options applied; the source folder must come out of every test as it
// went in.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace testsupport {

constexpr int kImages = 4;
constexpr int kFormats = 3;

class RunControl : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kImages; ++i)
            src.Write(NumberedName("img", i, ".bmp"), MakeBmp(6, 5, static_cast<unsigned>(i)));
        before = SnapshotTree(src.Path());
        RunSettings r{src.WinPath(), dst.WinPath()};
        r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_BMP, IDC_FORMAT_GIF};
        s.Apply(r);
    }
    void TearDown() override { EXPECT_EQ(SnapshotTree(src.Path()), before); }

    int Outputs() const { return static_cast<int>(FileNamesIn(dst.Path()).size()); }
    void PressStart() { s.Click(IDC_START); }
    void PressStop() { s.Click(IDC_STOP); }
    void ExpectStopped() {
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作已停止");
        EXPECT_EQ(s.Dlg().GetStatusColour(), kRed);
        EXPECT_LE(s.ClosestToColour(IDC_STATUS_MESSAGE, 255, 0, 0), 30);
        EXPECT_EQ(s.FocusId(), IDC_SOURCE_PATH);
        ExpectIdleControls(s);
    }
    // The run goes on to its end and converts every file, each once.
    void ExpectEveryFileConverted() {
        ASSERT_TRUE(s.WaitForRunEnd());
        EXPECT_EQ(s.Text(IDC_STATUS_COUNTS),
                  FinalLine(kImages, kImages, kImages, kImages * kFormats, kImages * kFormats));
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
        ExpectOutputsOfFiles(kImages);
    }
    // Each output name appears once: no file was loaded and saved twice.
    void ExpectOutputsOfFiles(int files) {
        EXPECT_EQ(Outputs(), files * kFormats);
        for (const std::string& name : FileNamesIn(dst.Path()))
            EXPECT_EQ(name.rfind("_ORV_", 0), std::string::npos) << name;
    }

    ScopedHome home{true};
    TempDir src, dst;
    DialogSession s;
    std::map<std::string, std::string> before;
};

}  // namespace testsupport
