#include <gtest/gtest.h>

#include <cerrno>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <random>
#include <thread>

#include "dictionary/analysis_job.h"
#include "tools/forge/forge.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

forge::WriteOptions releaseOptions(int release, std::uint64_t fileSize = 0) {
    forge::WriteOptions options;
    options.release = release;
    options.fileSize = fileSize;
    return options;
}

forge::Scenario smallScenario() {
    forge::Scenario s;
    s.user("SYS", 0).table("OBJ_COPY").column("X", "NUMBER").row({"1"});
    auto& hr = s.user("HR", 30);
    hr.table("DEPT").column("DEPTNO", "NUMBER(2)").column("DNAME", "VARCHAR2(14)").row({"10", "ACCOUNTING"});
    hr.primaryKey("DEPT_PK", "DEPT", {"DEPTNO"});
    hr.view("DEPT_V", "select DEPTNO from DEPT", {"DEPTNO"});
    return s;
}

class AnalysisJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.path();
    }

    std::string forgeFile(const forge::WriteOptions& options, const forge::Scenario& scenario = smallScenario()) {
        const std::string path = (folder_ / "SYSTEM01.DBF").string();
        forge::writeDatafile(scenario, path, options);
        return path;
    }
    void open(Recovery& recovery, const std::string& path) {
        ASSERT_FALSE(recovery.database.datafiles.open({path}));
        recovery.options = RecoveryOptions(RecoveryOption::All);
    }

    TempFolder scratch_{"restorix-analysis-"};
    fs::path folder_;
    RecordingLog log_;
    RecordingMessages messages_;
    ProgressSink progress_;
    FixedClock clock_{makeLocalTime(2026, 12, 6, 9, 5, 3)};
};

}  // namespace

TEST_F(AnalysisJobTest, CompletesOnEveryRelease) {
    for (int release : {9, 10, 11}) {
        Recovery recovery;
        open(recovery, forgeFile(releaseOptions(release)));
        AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
        EXPECT_EQ(job.run(), AnalysisResult::analysisCompleted) << release;
        EXPECT_FALSE(recovery.catalog.partial);
        EXPECT_NE(recovery.catalog.findSchemaByName("HR"), nullptr) << release;
        EXPECT_FALSE(recovery.catalog.objectList.empty()) << release;
        EXPECT_TRUE(messages_.messages.empty());
    }
}

TEST_F(AnalysisJobTest, UnsupportedReleaseShowsTheMessageAndLeavesNothing) {
    Recovery recovery;
    forge::WriteOptions options = releaseOptions(10);
    options.releaseText = "8.1.7.0.0";
    open(recovery, forgeFile(options));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    EXPECT_EQ(job.run(), AnalysisResult::unsupportedVersion);
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0], "Oracle Version not supported.Application exiting.");
    EXPECT_TRUE(recovery.catalog.schemaList.empty());
}

TEST_F(AnalysisJobTest, BlockSizeTooBigGoesOnWithAnEmptyCatalog) {
    Recovery recovery;
    forge::WriteOptions options = releaseOptions(10);
    options.headerBlockSize = 16384;
    open(recovery, forgeFile(options));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    EXPECT_EQ(job.run(), AnalysisResult::analysisCompleted);
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0], "Block size too big");
    EXPECT_EQ(messages_.captions[0], kCaption);
    EXPECT_TRUE(recovery.database.blockIndex.empty());
    EXPECT_TRUE(recovery.catalog.schemaList.empty());
}

// What the worker throws reaches the caller of run(), never std::terminate:
// a read error of the datafile and memory run out, injected at the scan's
// first progress report.
class ThrowingProgress : public ProgressSink {
public:
    explicit ThrowingProgress(std::function<void()> raise) : raise_(std::move(raise)) {}
    void setProgress(int) override { raise_(); }

private:
    std::function<void()> raise_;
};

TEST_F(AnalysisJobTest, WhatTheWorkerThrowsIsRaisedToTheCaller) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(10)));
    ThrowingProgress readError([] { throw FileError("read failed on 'SYSTEM01.DBF': Input/output error", EIO); });
    AnalysisJob reading(recovery, readError, messages_, log_, clock_, std::string(kCaption));
    try {
        reading.run();
        ADD_FAILURE() << "no read error raised";
    } catch (const FileError& error) {
        EXPECT_EQ(error.errorCode(), EIO);
    }
    ThrowingProgress outOfMemory([] { throw std::bad_alloc(); });
    AnalysisJob allocating(recovery, outOfMemory, messages_, log_, clock_, std::string(kCaption));
    EXPECT_THROW(allocating.run(), std::bad_alloc);
}

TEST_F(AnalysisJobTest, ADatafileCutShortIsLoggedAndTheAnalysisGoesOn) {
    Recovery recovery;
    const std::string path = forgeFile(releaseOptions(10));
    const std::int64_t blocks = static_cast<std::int64_t>(fs::file_size(path)) / 8192;
    {
        // The file header counts ten blocks more than the file holds.
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const std::uint32_t headerBlocks = static_cast<std::uint32_t>(blocks + 9);
        const char count[4] = {static_cast<char>(headerBlocks & 0xFF), static_cast<char>((headerBlocks >> 8) & 0xFF),
                                static_cast<char>((headerBlocks >> 16) & 0xFF), static_cast<char>(headerBlocks >> 24)};
        file.seekp(8192 + 44);
        file.write(count, 4);
    }
    open(recovery, path);
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    EXPECT_EQ(job.run(), AnalysisResult::analysisCompleted);
    const std::string warning = "the datafile ends at block " + std::to_string(blocks - 1) + " of " +
                                std::to_string(blocks + 9) + ": it was cut short";
    EXPECT_EQ(messages_.messages, std::vector<std::string>{warning});
    EXPECT_NE(log_.text().find("\r\n" + warning), std::string::npos) << log_.text();
    EXPECT_NE(recovery.catalog.findSchemaByName("HR"), nullptr);
}

TEST_F(AnalysisJobTest, StopAnsweredYesReleasesEverythingAndLogsTheAbort) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(10, 64ull << 20)));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    job.start();
    FixedAnswer yes(true);
    EXPECT_TRUE(job.stop(yes, "Do you want to Stop the analysis process?  "));
    EXPECT_EQ(job.wait(), AnalysisResult::analysisStopped);
    EXPECT_EQ(yes.questions, std::vector<std::string>{"Do you want to Stop the analysis process?  "});
    EXPECT_EQ(yes.captions[0], " Restorix for Oracle Database");
    EXPECT_TRUE(recovery.catalog.schemaList.empty());
    EXPECT_TRUE(recovery.catalog.objectList.empty());
    EXPECT_TRUE(recovery.database.blockIndex.empty());
    EXPECT_FALSE(recovery.database.datafiles.isOpen());
    EXPECT_EQ(log_.text(),
              "\r\n***************Database Analysis aborted when analysing Database**************"
              "\r\n***************Database Analysis aborted when analysing Database at time 09:05:03 *********");
}

TEST_F(AnalysisJobTest, StopAnsweredNoLetsTheAnalysisFinish) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(11)));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    job.start();
    FixedAnswer no(false);
    EXPECT_FALSE(job.stop(no, "Do you want to Stop the analysis process?  "));
    EXPECT_EQ(job.wait(), AnalysisResult::analysisCompleted);
    EXPECT_NE(recovery.catalog.findSchemaByName("HR"), nullptr);
    EXPECT_NE(log_.text().find("***************Database Analysis Resume when analysing Database at time 09:05:03 *********"),
              std::string::npos);
}

TEST_F(AnalysisJobTest, CloseAnsweredYesKeepsThePartialCatalog) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(9, 64ull << 20)));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    job.start();
    FixedAnswer yes(true);
    EXPECT_TRUE(job.close(yes, "Do you want to Stop the analysis process? "));
    EXPECT_EQ(job.wait(), AnalysisResult::analysisCompleted);
    EXPECT_TRUE(recovery.catalog.partial);
    EXPECT_FALSE(recovery.database.datafiles.isOpen());
    EXPECT_EQ(yes.questions, std::vector<std::string>{"Do you want to Stop the analysis process? "});
}

TEST_F(AnalysisJobTest, SignalsItsEndOnceAndRefusesASecondStart) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(10)));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    std::atomic<int> ends{0};
    std::atomic<bool> finishedWhenSignalled{false};
    job.setOnFinished([&] {
        finishedWhenSignalled = job.finished();
        ++ends;
    });
    ASSERT_TRUE(job.start());
    EXPECT_FALSE(job.start());  // still running or already done: refused, no second worker
    EXPECT_EQ(job.wait(), AnalysisResult::analysisCompleted);
    EXPECT_FALSE(job.start());
    EXPECT_EQ(ends.load(), 1);
    EXPECT_TRUE(finishedWhenSignalled.load());
}

TEST_F(AnalysisJobTest, PauseHoldsTheJobUntilResume) {
    Recovery recovery;
    open(recovery, forgeFile(releaseOptions(10, 32ull << 20)));
    AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
    job.start();
    job.togglePause();
    EXPECT_TRUE(job.isPaused());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    job.togglePause();
    EXPECT_FALSE(job.isPaused());
    EXPECT_EQ(job.wait(), AnalysisResult::analysisCompleted);
    const std::string log = log_.text();
    EXPECT_NE(log.find("Database Analysis stop at time09:05:03"), std::string::npos);
    EXPECT_NE(log.find("Database Analysis Resume at time 09:05:03"), std::string::npos);
}

// Stop and pause from another thread at any moment: never a crash, and a
// confirmed stop always ends with everything released.
TEST_F(AnalysisJobTest, ThreadedStopAtRandomMoments) {
    const std::string path = forgeFile(releaseOptions(10, 16ull << 20));
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        Recovery recovery;
        open(recovery, path);
        AnalysisJob job(recovery, progress_, messages_, log_, clock_, std::string(kCaption));
        job.start();
        std::thread controller([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
            if (round % 3 == 0) {
                job.togglePause();
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
                job.togglePause();
            }
            job.confirmStop();
        });
        controller.join();
        EXPECT_EQ(job.wait(), AnalysisResult::analysisStopped);
        EXPECT_TRUE(recovery.catalog.schemaList.empty());
        EXPECT_TRUE(recovery.database.blockIndex.empty());
    }
}
