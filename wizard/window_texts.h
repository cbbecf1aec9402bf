#pragma once
// The windows' names and the questions their jobs' buttons ask: the words are
// the windows' own; the jobs only hold their worker while one is open.

#include <string_view>

namespace restorix::wizard {

// Title bars, box captions and the activity log's version line.
inline constexpr std::string_view kAppTitle = " Restorix for Oracle Database";
inline constexpr std::string_view kProductName = "Restorix for Oracle Database";
inline constexpr std::string_view kVersionText = "Version 2.0.0";

// The Analysis window: Stop, the title-bar close, Escape.
inline constexpr std::string_view kAnalysisStopQuestion = "Do you want to Stop the analysis process?  ";
inline constexpr std::string_view kAnalysisCloseQuestion = "Do you want to Stop the analysis process? ";
inline constexpr std::string_view kAnalysisExitQuestion = "Do you want to exit ? ";

// The File Saving window: Stop, Skip Table, Escape, the close button.
inline constexpr std::string_view kSavingStopQuestion = "Saving is in Progress, do you want to abort ?";
inline constexpr std::string_view kSkipTableQuestion = "Do you want to skip the table?";
inline constexpr std::string_view kSavingEscapeQuestion = "Saving is in Progress, do you want to exit ? ";
inline constexpr std::string_view kSavingCloseQuestion = "Do you want to exit?";

}  // namespace restorix::wizard
