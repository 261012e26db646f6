#include "playlist/file_information.h"

#include "playlist/media_info_library.h"

std::string FileInformationText(const std::string& path, const std::string& report) {
  return "File:  " + path + "\n\n" + report;
}

TFileInformation ReadFileInformation(TMediaInfoLibrary& lib, const std::string& library_path,
                                     const std::string& file) {
  TFileInformation info;
  if (!lib.Load(library_path)) return info;
  TMediaInfo mi(lib);
  if (!mi.Valid()) return info;
  info.status = TFileInformation::Status::kOpenFailed;
  if (!mi.Open(file)) return info;
  info.text = FileInformationText(file, mi.Inform());
  info.status = TFileInformation::Status::kOk;
  return info;
}
