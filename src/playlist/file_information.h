#pragma once
// The text of the file information command: the library's full report on a
// file, headed by the file's path.

#include <string>

class TMediaInfoLibrary;

struct TFileInformation {
  enum class Status {
    kNoLibrary,   // the library could not be loaded: the command does nothing
    kOpenFailed,  // the file could not be opened: the window keeps its text
    kOk,          // text holds the report
  };
  Status status = Status::kNoLibrary;
  std::string text;
};

// "File:  " (two blanks), the path, two line breaks, then the report.
std::string FileInformationText(const std::string& path, const std::string& report);

// Loads lib from library_path (see TMediaInfoLibrary::Load), opens file on a
// handle of its own and reads its report.
TFileInformation ReadFileInformation(TMediaInfoLibrary& lib, const std::string& library_path,
                                     const std::string& file);
