#pragma once
// The records beside the result files, as a test finds them in a folder:
// every result has "<name>.json" beside it, every record has its result,
// and each record parses and names its file among those it describes.

#include "test_files.h"
#include "ui_driver.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace testfiles {

// The record beside one result, parsed; a missing or broken one fails the
// test that asked (and comes back discarded).
inline nlohmann::json recordBeside(const std::wstring& resultPath) {
  const std::string text = readBytes((resultPath + L".json").c_str());
  nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
  if (record.is_discarded() || !record.is_object()) {
    ADD_FAILURE() << ui::narrow(resultPath) << " has no readable record: " << text.substr(0, 80);
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  return record;
}

// The records by result name; anything amiss fails the test that asked.
inline std::map<std::string, nlohmann::json> recordsBesideResults(const std::wstring& folder) {
  std::map<std::string, nlohmann::json> records;
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) ADD_FAILURE() << "no folder " << ui::narrow(folder);
  for (const std::wstring& name : namesMatching(folder + L"\\*")) {
    const std::wstring path = folder + L"\\" + name;
    if (name.ends_with(L".json")) {
      const std::wstring result = path.substr(0, path.size() - 5);
      EXPECT_NE(GetFileAttributesW(result.c_str()), INVALID_FILE_ATTRIBUTES) << ui::narrow(name) << " without result";
      continue;
    }
    const std::string key = ui::narrow(name);
    const nlohmann::json record = recordBeside(path);
    if (record.is_discarded()) continue;
    const nlohmann::json files = record.value("files", nlohmann::json::array());
    EXPECT_NE(std::find(files.begin(), files.end(), key), files.end()) << key << "'s record: " << files.dump();
    records[key] = record;
  }
  return records;
}

}  // namespace testfiles
