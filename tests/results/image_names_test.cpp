// The dated folder's name and the names that never replace a file, as rows of
// image_names.scenario.

#include "results/image_names.h"
#include "support/scenario.h"

#include <set>

namespace {

using scenario::Args;

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::set<std::wstring> files;  // the names already taken
int counter = 0;
const FileExists exists = [](const std::wstring& name) { return files.count(name) > 0; };

const scenario::Steps steps = {
    {"stamp", [](const Args& a) {
       return narrow(folderStamp(std::stoi(a.at(1)), std::stoi(a.at(2)), std::stoi(a.at(3)), std::stoi(a.at(4)),
                                 std::stoi(a.at(5))));
     }},
    {"taken", [](const Args& a) { return files.insert(wide(a.at(1))), std::string(); }},
    {"free", [](const Args& a) { return files.erase(wide(a.at(1))), std::string(); }},
    // The name a window picture takes (and keeps).
    {"unique", [](const Args& a) {
       const std::wstring name = uniqueFileName(wide(a.at(1)), wide(a.at(2)), exists);
       return files.insert(name), narrow(name);
     }},
    // A counted name in the folder, and the counter after it.
    {"counted", [](const Args& a) {
       const std::string name = narrow(nextCountedFileName(wide(a.at(1)), wide(a.at(2)), counter, exists));
       return name + " next " + std::to_string(counter);
     }},
};

TEST(ImageNames, Scenarios) {
  scenario::runFile(IMAGE_NAMES_SCENARIO, steps);
}

}  // namespace
