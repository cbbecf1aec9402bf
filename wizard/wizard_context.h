#pragma once
// What every window of the wizard is given: the desktop services, the
// activity log, the clock, the installation folder and the waits that belong
// to the windows (tests shorten them).

#include <chrono>
#include <string>
#include <string_view>

#include "activitylog/activity_log.h"
#include "platform/clock.h"
#include "wizard/wizard_services.h"

namespace restorix::wizard {

struct WizardTimings {
    bool pauseAfterVersion = true;                   // the full bar stays a second once the version is found
    std::chrono::milliseconds waitBoxMinimum{500};   // "Please wait..." stays at least this long
    std::chrono::milliseconds skipLinger{2000};      // a skipped table's full bar stays this long
};

struct WizardContext {
    WizardServices& services;
    LogSink& log;
    const Clock& clock;
    std::string installFolder;
    WizardTimings timings;

    // A file of the installation folder.
    std::string installFile(std::string_view name) const { return installFolder + "/" + std::string(name); }
};

// Installation files the windows open or show.
inline constexpr std::string_view kHelpPage = "Restorix for Oracle Database.html";
inline constexpr std::string_view kImportGuide = "How_To_Import.html";
inline constexpr std::string_view kMainPicture = "Restorix-Oracle.bmp";
inline constexpr std::string_view kPreviewPicture = "Restorix-Oracle1.bmp";
inline constexpr std::string_view kAnalysisPicture = "Skin2.bmp";
inline constexpr std::string_view kSplashPicture = "Flash.bmp";
inline constexpr std::string_view kViewLogPicture = "ViewLog.bmp";
inline constexpr std::string_view kMessagePicture = "Message.bmp";
inline constexpr std::string_view kAboutPicture = "aboutDialog.bmp";
inline constexpr std::string_view kTreeNodePicture = "TreeNode.bmp";
inline constexpr std::string_view kTreeNodeSelectedPicture = "TreeNodeSelected.bmp";

}  // namespace restorix::wizard
