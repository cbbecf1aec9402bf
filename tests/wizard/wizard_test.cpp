// Whole runs of the wizard, offscreen, with scripted answers: the main window,
// the Analysis dialog, the Preview, File Saving and the View Log box on the
// demo datafile, the other ways through each window, and the failure boxes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "activitylog/activity_log.h"
#include "datafile/cfile64.h"
#include "platform/clock.h"
#include "tests/wizard/wizard_harness.h"
#include "tools/forge/bench_scenarios.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/multifile.h"
#include "wizard/analysis_dialog.h"
#include "wizard/file_saving_dialog.h"
#include "wizard/main_window.h"
#include "wizard/preview_window.h"
#include "wizard/qt_text.h"
#include "wizard/ui_bridge.h"
#include "wizard/view_log_box.h"
#include "wizard/window_chrome.h"
#include "wizard/wizard_main.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::wizard;
using namespace restorix::wizard::test;

namespace {

const std::string kAppTitle = " Restorix for Oracle Database";
const std::string kProductName = "Restorix for Oracle Database";
const std::string kProduct = "Restorix for Oracle Database";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::map<std::string, std::string> readTree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[entry.path().lexically_relative(root).generic_string()] =
            entry.is_directory() ? "<folder>" : readBytes(entry.path());
    return tree;
}

void pressKey(QWidget* window, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
}

class WizardRun : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_ = folder_.path();
        fs::create_directories(scratch_ / "log");
        fs::create_directories(scratch_ / "out");
        datafile_ = (scratch_ / "SYSTEM01.DBF").string();
    }
    void TearDown() override {
        wizard_.reset();
    }

    void forgeDemo(forge::WriteOptions options = {}) {
        forge::writeDatafile(forge::loadScenario(std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json"),
                             datafile_, options);
    }
    Wizard& start() {
        WizardTimings timings{.pauseAfterVersion = false,
                              .waitBoxMinimum = std::chrono::milliseconds(20),
                              .skipLinger = std::chrono::milliseconds(0)};
        wizard_ = std::make_unique<Wizard>(WizardContext{services_, log_, clock_, installFolder_, timings});
        wizard_->start();
        return *wizard_;
    }
    MainWindow& main() { return *wizard_->mainWindow(); }
    // Browse (scripted file), the option, Repair.
    void repair(int option = 1) {
        services_.datafile = datafile_;
        main().browseButton()->click();
        main().optionButton(option)->click();
        main().repairButton()->click();
    }
    PreviewWindow& previewReady() {
        const bool ready =
            pumpUntil([&] { return wizard_->ended() || (wizard_->previewWindow() && wizard_->previewWindow()->treeReady()); });
        EXPECT_TRUE(ready && !wizard_->ended()) << "boxes: " << ::testing::PrintToString(services_.shown)
                                                << " questions: " << ::testing::PrintToString(services_.asked);
        if (!wizard_->previewWindow()) throw std::runtime_error("no Preview");
        return *wizard_->previewWindow();
    }
    void select(QTreeWidgetItem* node) {
        ASSERT_NE(node, nullptr);
        PreviewWindow& preview = *wizard_->previewWindow();
        preview.tree()->setCurrentItem(node);
        ASSERT_TRUE(pumpUntil([&] { return !preview.previewRunning(); }));
    }
    std::vector<std::string> column(int c) {
        std::vector<std::string> cells;
        QTableWidget* list = wizard_->previewWindow()->list();
        for (int r = 0; r < list->rowCount(); ++r) cells.push_back(list->item(r, c) ? utf8(list->item(r, c)->text()) : "");
        return cells;
    }
    std::string header(int c) { return utf8(wizard_->previewWindow()->list()->horizontalHeaderItem(c)->text()); }
    std::string logText() { return readBytes(scratch_ / "log" / std::string(kActivityLogFileName)); }
    bool ended() { return pumpUntil([&] { return !services_.exitCodes.empty(); }); }

    restorix::test::TempFolder folder_{"restorix-wizard-"};
    fs::path scratch_;
    std::string datafile_;
    std::string installFolder_ = std::string(RESTORIX_SOURCE_DIR) + "/share/restorix";
    ScriptedServices services_;
    ActivityLog log_{[this] { return LogSettings{(scratch_ / "log").string(), installFolder_}; }};
    FixedClock clock_{makeLocalTime(2026, 12, 6, 9, 5, 3)};
    std::unique_ptr<Wizard> wizard_;
};

// Several files chosen at once are one database: the SYSTEM file, found
// among them, names the tree's root; the log lists every file.
TEST_F(WizardRun, SeveralDatafilesAreReadAsOneDatabase) {
    forge::writeMultifileDatabase(scratch_.string());
    const std::vector<std::string> files{(scratch_ / "DATA01.DBF").string(), (scratch_ / "SYSTEM01.DBF").string(),
                                         (scratch_ / "USERS01.DBF").string()};
    start();
    services_.datafiles = files;
    main().browseButton()->click();
    main().optionButton(1)->click();
    main().repairButton()->click();
    PreviewWindow& preview = previewReady();
    std::string systemPath = files[1];
    std::transform(systemPath.begin(), systemPath.end(), systemPath.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_EQ(utf8(preview.tree()->topLevelItem(0)->text(0)), systemPath);
    for (const std::string& file : files) EXPECT_NE(logText().find("Datafile: " + file), std::string::npos) << file;
}

TEST_F(WizardRun, WholeRunWritesWhatTheCommandLineWrites) {
    forgeDemo();
    start();
    repair(1);  // "Recover Schemas ( Excluding SYS Schema )"
    PreviewWindow& preview = previewReady();
    EXPECT_TRUE(preview.saveButton()->isEnabled());
    EXPECT_FALSE(preview.menus().selectSource->isEnabled());

    // The database summary, then a schema's.
    const std::string schemas = std::to_string(preview.tree()->topLevelItem(0)->childCount());
    EXPECT_EQ(header(0), kSummaryHeader);
    EXPECT_EQ(column(0).at(0), "Total No of Schema: " + schemas);
    select(preview.findNode("HR"));
    EXPECT_EQ(column(0), (std::vector<std::string>{"Total No of Table: 5", "Total No of View: 2",
                                                   "Total No of Trigger: 4", "Total No of Procedure: 2",
                                                   "Total No of Function: 1"}));
    // A table's rows under its column headers.
    select(preview.findNode("HR", "Table", "DEPARTMENTS"));
    const nlohmann::json demo = nlohmann::json::parse(readBytes(installFolder_ + "/demo.json"));
    const nlohmann::json& departments = demo["schemas"][7]["tables"][0];
    ASSERT_EQ(departments["name"], "DEPARTMENTS");
    ASSERT_EQ(preview.list()->columnCount(), static_cast<int>(departments["columns"].size()));
    EXPECT_EQ(header(0), departments["columns"][0]["name"]);
    EXPECT_EQ(preview.list()->rowCount(), static_cast<int>(departments["rows"].size()));
    EXPECT_EQ(column(0).at(0), departments["rows"][0][0]);
    // A procedure's source, an index's statement, a view's picture.
    select(preview.findNode("HR", "Procedure", "RAISE_SALARY"));
    EXPECT_EQ(header(0), "DDL FOR PROCEDURE");
    EXPECT_EQ(column(0).at(0).rfind("Create or replace Procedure HR. RAISE_SALARY", 0), 0u) << column(0).at(0);
    select(preview.findNode("HR", "Index", "DEPARTMENTS_PK"));
    EXPECT_EQ(header(0), "DDL FOR INDEX");
    EXPECT_EQ(column(0), std::vector<std::string>{"CREATE UNIQUE INDEX HR.DEPARTMENTS_PK ON HR.DEPARTMENTS(\"DEPARTMENT_ID\")"});
    select(preview.findNode("HR", "View", "SALARY_BANDS"));
    EXPECT_TRUE(preview.list()->isHidden());
    EXPECT_FALSE(preview.pictureList()->isHidden());

    services_.folder = (scratch_ / "out").string();
    preview.saveButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return wizard_->viewLogBox() != nullptr; }));
    ViewLogBox& box = *wizard_->viewLogBox();
    EXPECT_EQ(utf8(box.statusLabel()->text()), "Saving Completed Successfully");
    EXPECT_EQ(wizard_->savingDialog()->overallBar()->value(), 100);
    box.logCheck()->setChecked(true);
    box.guideCheck()->setChecked(true);
    box.okButton()->click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(services_.exitCodes, std::vector<int>{0});
    EXPECT_EQ(services_.opened, std::vector<std::string>{viewLogPath(installFolder_).string()});  // only the log
    EXPECT_TRUE(services_.shown.empty()) << services_.shown.front();
    EXPECT_TRUE(services_.asked.empty());

    // The same file and option through the command line.
    const fs::path cliOut = scratch_ / "cli";
    fs::create_directories(cliOut);
    const std::string command = std::string(RESTORIX_BINARY_DIR) + "/restorix recover '" + datafile_ +
                                "' --schemas users --oracle-home /u01/app/oracle --output '" + cliOut.string() +
                                "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const fs::directory_iterator wizardRoot(scratch_ / "out"), cliRoot(cliOut);
    EXPECT_EQ(wizardRoot->path().filename().string(), "XTRecovered_SYSTEM01_09.05.03_12-06-26");
    EXPECT_EQ(readTree(wizardRoot->path()), readTree(cliRoot->path()));

    const std::string log = logText();
    EXPECT_NE(log.find("STEP 1::"), std::string::npos);
    EXPECT_NE(log.find("/************** Step:2 Saving process started ***********/"), std::string::npos);
    EXPECT_NE(log.find("Process Completed successfully at time 09:05:03"), std::string::npos);
}

TEST_F(WizardRun, AnalysisStopYesReturnsToTheMainWindowAndRepairWorksAgain) {
    forgeDemo({.fileSize = 48ull << 20});
    start();
    services_.answers = {true};
    repair(2);
    wizard_->analysisDialog()->stop();
    ASSERT_TRUE(pumpUntil([&] { return main().isVisible() && main().browseButton()->isEnabled(); }));
    EXPECT_EQ(services_.asked, std::vector<std::string>{"Do you want to Stop the analysis process?  |" + kAppTitle});
    EXPECT_TRUE(wizard_->recovery().catalog.schemaList.empty());
    EXPECT_FALSE(wizard_->recovery().database.datafiles.isOpen());
    EXPECT_TRUE(main().optionButton(2)->isChecked());
    EXPECT_NE(logText().find("***************Database Analysis aborted when analysing Database at time 09:05:03 *********"),
              std::string::npos);
    main().repairButton()->click();
    EXPECT_GT(previewReady().tree()->topLevelItem(0)->childCount(), 0);
}

TEST_F(WizardRun, AnalysisStopNoAndPauseResumeLogTheirLines) {
    forgeDemo();
    start();
    repair(1);
    AnalysisDialog& analysis = *wizard_->analysisDialog();
    analysis.pauseOrResume();
    EXPECT_EQ(utf8(analysis.pauseButton()->text()), "Resume");
    analysis.pauseOrResume();
    EXPECT_EQ(utf8(analysis.pauseButton()->text()), "Pause");
    services_.answers = {false};
    analysis.stop();
    previewReady();
    const std::string log = logText();
    EXPECT_NE(log.find("Database Analysis stop at time09:05:03"), std::string::npos);
    EXPECT_NE(log.find("Database Analysis Resume at time 09:05:03"), std::string::npos);
    EXPECT_NE(log.find("***************Database Analysis Resume when analysing Database at time 09:05:03 *********"),
              std::string::npos);
}

// A preview that fails says why in a box, never as an empty list: the job's
// own failure, handed on by the wait box, and a datafile that cannot be
// opened again, with the file and the system's reason.
TEST_F(WizardRun, APreviewThatFailsSaysWhy) {
    forgeDemo();
    start();
    repair(1);
    PreviewWindow& preview = previewReady();
    Recovery& recovery = wizard_->recovery();
    recovery.database.datafiles.at(0).file.setReadFaults(
        [](std::int64_t, std::size_t) -> bool { throw std::runtime_error("the disk went away"); });
    select(preview.findNode("HR", "Table", "DEPARTMENTS"));
    ASSERT_EQ(services_.shown.size(), 1u);
    EXPECT_EQ(services_.shown[0], "The preview cannot be shown.\nthe disk went away|" + kProductName + "|stop");
    EXPECT_EQ(preview.list()->rowCount(), 0);

    // Closed, as a closed Analysis window leaves it, and gone meanwhile.
    recovery.database.datafiles.close();
    fs::rename(datafile_, datafile_ + ".moved");
    select(preview.findNode("HR", "Table", "EMP"));
    ASSERT_EQ(services_.shown.size(), 2u);
    EXPECT_EQ(services_.shown[1], "The datafile cannot be opened again for the preview.\n" + datafile_ + ": " +
                                      std::strerror(ENOENT) + "|" + kProductName + "|stop");
}

TEST_F(WizardRun, AnalysisClosedWithYesPreviewsThePartialCatalogAndSavesFromTheMenu) {
    forgeDemo();
    start();
    services_.answers = {true};
    repair(1);
    wizard_->analysisDialog()->close();
    PreviewWindow& preview = previewReady();
    EXPECT_EQ(services_.asked, std::vector<std::string>{"Do you want to Stop the analysis process? |" + kAppTitle});
    EXPECT_FALSE(preview.saveButton()->isEnabled());
    EXPECT_TRUE(preview.menus().saveDbf->isEnabled());
    // The save reopens the datafile the close shut.
    services_.folder = (scratch_ / "out").string();
    preview.menus().saveDbf->trigger();
    ASSERT_TRUE(pumpUntil([&] { return wizard_->viewLogBox() != nullptr; }));
    EXPECT_EQ(utf8(wizard_->viewLogBox()->statusLabel()->text()), "Saving Completed Successfully");
    EXPECT_TRUE(services_.shown.empty()) << services_.shown.front();
}

TEST_F(WizardRun, FileSavingStopYesEndsInTheAbortedViewLogBox) {
    forgeDemo();
    start();
    repair(1);
    services_.folder = (scratch_ / "out").string();
    previewReady().saveButton()->click();
    services_.answers = {true};
    wizard_->savingDialog()->stop();
    ASSERT_NE(wizard_->viewLogBox(), nullptr);
    EXPECT_EQ(utf8(wizard_->viewLogBox()->statusLabel()->text()), "Saving Aborted by User");
    EXPECT_EQ(services_.asked, std::vector<std::string>{"Saving is in Progress, do you want to abort ?|" + kAppTitle});
    wizard_->viewLogBox()->close();
    ASSERT_TRUE(ended());
    EXPECT_EQ(services_.exitCodes, std::vector<int>{0});
    EXPECT_NE(logText().find("Process Aborted by User at time 09:05:03"), std::string::npos);
}

TEST_F(WizardRun, FileSavingPauseResumeAndSkipTable) {
    // The demo and one big table whose rows take a while to read.
    forge::Scenario scenario = forge::loadScenario(std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json");
    forge::WriteOptions options;
    options.fileSize = 24ull << 20;
    options.bulkTable = forge::addBenchTable(scenario);
    forge::writeDatafile(scenario, datafile_, options);
    start();
    repair(1);
    services_.folder = (scratch_ / "out").string();
    previewReady().saveButton()->click();
    FileSavingDialog& saving = *wizard_->savingDialog();
    EXPECT_FALSE(saving.skipButton()->isEnabled());
    saving.pauseOrResume();
    EXPECT_EQ(utf8(saving.pauseButton()->text()), "Resume");
    saving.pauseOrResume();
    EXPECT_EQ(utf8(saving.pauseButton()->text()), "Pause");

    // While the big table is read, Skip Table asks and the reader gives the table up.
    ASSERT_TRUE(pumpUntil([&] {
        return saving.tableLabel()->text() == QString::fromStdString(options.bulkTable->table) &&
               saving.skipButton()->isEnabled();
    }));
    services_.answers = {true};
    saving.skipTable();
    EXPECT_EQ(services_.asked, std::vector<std::string>{"Do you want to skip the table?|" + kAppTitle});
    ASSERT_TRUE(pumpUntil([&] { return wizard_->viewLogBox() != nullptr; }));
    EXPECT_FALSE(saving.state().skipRequested.load());  // the reader took it
    EXPECT_EQ(utf8(wizard_->viewLogBox()->statusLabel()->text()), "Saving Completed Successfully");
}

// Escape in each window: the question, and Yes ends the process with 0.
struct EscapeCase {
    const char* window;
    const char* question;
};

void PrintTo(const EscapeCase& c, std::ostream* out) { *out << c.window; }

class WizardEscape : public WizardRun, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(WizardEscape, AsksAndEndsTheProcessOnYes) {
    forgeDemo();
    start();
    const std::string window = GetParam().window;
    QWidget* target = &main();
    if (window != "main") {
        repair(1);
        target = wizard_->analysisDialog();
    }
    if (window == "preview" || window == "saving" || window == "viewlog") target = &previewReady();
    if (window == "saving" || window == "viewlog") {
        services_.folder = (scratch_ / "out").string();
        wizard_->previewWindow()->saveButton()->click();
        target = wizard_->savingDialog();
    }
    if (window == "viewlog") {
        ASSERT_TRUE(pumpUntil([&] { return wizard_->viewLogBox() != nullptr; }));
        target = wizard_->viewLogBox();
    }
    services_.answers = {false, true};
    pressKey(target, Qt::Key_Escape);  // No: the window stays
    EXPECT_TRUE(services_.exitCodes.empty());
    pressKey(target, Qt::Key_Escape);
    ASSERT_TRUE(ended());
    EXPECT_EQ(services_.exitCodes, std::vector<int>{0});
    EXPECT_EQ(services_.asked, (std::vector<std::string>{std::string(GetParam().question) + "|" + kAppTitle,
                                                         std::string(GetParam().question) + "|" + kAppTitle}));
}

INSTANTIATE_TEST_SUITE_P(
    EachWindow, WizardEscape,
    ::testing::Values(EscapeCase{"main", "Do you want to exit ? "}, EscapeCase{"analysis", "Do you want to exit ? "},
                      EscapeCase{"preview", "Do you want to exit ? "},
                      EscapeCase{"saving", "Saving is in Progress, do you want to exit ? "},
                      EscapeCase{"viewlog", " Saving Process is in running, Do you want to exit ? "}),
    [](const auto& info) { return std::string(info.param.window); });

// The failure boxes: the box (text|caption[|stop]) and the exit code, if the process ends.
struct FailureCase {
    const char* name;
    const char* box;
    std::optional<int> exitCode;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class WizardFailure : public WizardRun, public ::testing::WithParamInterface<FailureCase> {
protected:
    // Through Repair to the Preview, then Save into `folder`.
    void saveInto(const std::string& folder) {
        repair(1);
        services_.folder = folder;
        previewReady().saveButton()->click();
    }
};

TEST_P(WizardFailure, ShowsItsBox) {
    const std::string name = GetParam().name;
    forge::WriteOptions options;
    if (name == "unsupported") options.releaseText = "8.1.7.0.0";
    forgeDemo(options);
    start();
    CFile64 holder;
    if (name == "no_file") {
        main().repairButton()->click();
    } else if (name == "no_option") {
        services_.datafile = datafile_;
        main().browseButton()->click();
        main().repairButton()->click();
    } else if (name == "vanished") {
        fs::remove(datafile_);
        repair(1);
        EXPECT_NE(logText().find("\r\n****Seleted File Does not exist*******"), std::string::npos);
    } else if (name == "held") {
        ASSERT_TRUE(holder.open(datafile_));
        repair(1);
        EXPECT_TRUE(main().pathText()->text().isEmpty());  // back to no file
        EXPECT_FALSE(main().optionButton(1)->isEnabled());
        EXPECT_FALSE(main().optionButton(1)->isChecked());
        EXPECT_TRUE(wizard_->recovery().database.sourcePath.empty());
    } else if (name == "unsupported") {
        repair(1);
    } else if (name == "no_oracle") {
        services_.home.reset();
        saveInto((scratch_ / "out").string());
    } else if (name == "missing_folder") {
        saveInto((scratch_ / "nowhere").string());
    } else if (name == "unwritable") {
        saveInto("/proc");  // exists, and nothing can be created in it
    }
    if (GetParam().exitCode) {
        ASSERT_TRUE(ended());
        EXPECT_EQ(services_.exitCodes, std::vector<int>{*GetParam().exitCode});
    } else {
        QCoreApplication::processEvents();
        EXPECT_TRUE(services_.exitCodes.empty());
    }
    // A failed write's box names the file and the system's reason below its text.
    std::vector<std::string> texts = services_.shown;
    for (std::string& shown : texts) {
        const auto lineEnd = shown.find('\n');
        if (std::string_view(GetParam().box).find('\n') != std::string_view::npos) continue;
        if (lineEnd != std::string::npos) shown.erase(lineEnd, shown.find('|') - lineEnd);
    }
    EXPECT_EQ(texts, std::vector<std::string>{GetParam().box});
}

INSTANTIATE_TEST_SUITE_P(
    EachBox, WizardFailure,
    ::testing::Values(
        FailureCase{"no_file", "Please select the DBF File.|Restorix for Oracle Database", std::nullopt},
        FailureCase{"no_option", "Please select any recovery options.|Restorix for Oracle Database", std::nullopt},
        FailureCase{"vanished", "No such file exists.|Restorix for Oracle Database", std::nullopt},
        FailureCase{"held", "The selected file is already being used by another process.|Restorix for Oracle Database",
                    std::nullopt},
        FailureCase{"unsupported", "Oracle Version not supported.Application exiting.| Restorix for Oracle Database", 3},
        FailureCase{"no_oracle",
                    "Oracle Database not installed or corrupted. Please install Oracle and then continue the saving "
                    "process.\r\nCannot start Restorix for Oracle.|Restorix for Oracle Database|stop",
                    std::nullopt},
        FailureCase{"missing_folder",
                    "Saving path doesn't exist, select another path for saving | Restorix for Oracle Database",
                    std::nullopt},
        FailureCase{"unwritable", "Cannot open target file|Attention!|stop", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Progress from a worker reaches the window only on the window's timer, with
// the latest value of each field.
class RecordingProgress : public ProgressSink {
public:
    void setProgress(int percent) override { values.push_back(percent); }
    void setTableName(std::string_view text) override { table = text; }
    std::vector<int> values;
    std::string table;
};

TEST(ProgressBridge, AWorkerFloodReachesTheWindowAsItsLatestValues) {
    RecordingProgress window;
    CoalescedProgress bridge(window);
    std::thread worker([&] {
        for (int i = 0; i < 100000; ++i) bridge.setProgress(i % 100);
        bridge.setTableName("EMP");
        bridge.setProgress(100);
    });
    worker.join();
    EXPECT_TRUE(window.values.empty());  // nothing touches the window from the worker
    ASSERT_TRUE(pumpUntil([&] { return !window.values.empty(); }, std::chrono::seconds(2)));
    EXPECT_EQ(window.values, std::vector<int>{100});
    EXPECT_EQ(window.table, "EMP");
}

TEST(ProgressBridge, RepaintsAtMostAboutThirtyTimesASecond) {
    RecordingProgress window;
    CoalescedProgress bridge(window);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; !done; ++i) bridge.setProgress(i % 100);
    });
    QElapsedTimer timer;
    timer.start();
    pumpUntil([] { return false; }, std::chrono::milliseconds(500));
    done = true;
    worker.join();
    const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    EXPECT_GE(bridge.flushes(), 1);
    EXPECT_LE(bridge.flushes(), static_cast<int>(seconds * 1000 / kRepaintIntervalMs) + 1);
}

TEST(JobEndGate, AnEndDuringAQuestionWaitsForTheAnswerAndIsTakenOnce) {
    int handled = 0;
    JobEndGate* self = nullptr;
    JobEndGate gate([&] {
        if (self->takeEnd()) ++handled;
    });
    self = &gate;
    EXPECT_TRUE(gate.ask([&] {
        EXPECT_FALSE(gate.takeEnd());  // the job's end arrives while the question is up
        EXPECT_EQ(handled, 0);
        return true;
    }));
    EXPECT_EQ(handled, 1);  // handled once the answer is in
    EXPECT_FALSE(gate.takeEnd());
    EXPECT_FALSE(gate.ask([] { return true; }));  // no question after the end
    EXPECT_EQ(handled, 1);
}

TEST(WizardInstance, ASecondStartFindsTheLockTaken) {
    const restorix::test::TempFolder scratch("restorix-wizard-lock-");
    const QString folder = qText((scratch / "lock").string());
    std::unique_ptr<QLockFile> first = takeInstanceLock(folder);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(takeInstanceLock(folder), nullptr);
    first.reset();
    EXPECT_NE(takeInstanceLock(folder), nullptr);  // free again once the first instance has gone
}

TEST(WizardInstance, WithoutADisplayTheCommandLineIsNamed) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                std::string(RESTORIX_BINARY_DIR) + "/restorix 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), kNoDisplayExitCode);
    EXPECT_EQ(output, std::string(kNoDisplayMessage) + "\n");
}

}  // namespace
