#pragma once

// The program's command line:
//
//   tessaly-notes [--exercise KIND] [--key KEY] [--staff STAFF]
//   tessaly-notes --help | --version
//
// The choices hold for this start only: the settings file keeps what the
// player chose on the panel.

#include "engine/Practice.h"

#include <QStringList>

#include <optional>
#include <string>

namespace shell {

struct StartChoice {
    std::optional<engine::ExerciseKind> kind;
    std::optional<std::int32_t> key;
    std::optional<engine::ClefSetting> clef;

    // The remembered choice with what the command line named put over it.
    engine::PracticeChoice over(engine::PracticeChoice remembered) const;
};

struct CommandLine {
    bool run = true;   // false: print and exit with exitCode
    int exitCode = 0;  // 0 for --help and --version, 2 for a wrong command line
    std::string out;   // for standard output (help, version)
    std::string error; // for standard error
    StartChoice choice;
};

// Reads `arguments` (the program's name first, as QCoreApplication gives
// them). Needs a QCoreApplication.
CommandLine readCommandLine(const QStringList& arguments);

} // namespace shell
