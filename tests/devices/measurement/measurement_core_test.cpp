// The meters' replies and the GPIB report, as the rows of
// measurement_core.scenario.

#include "devices/measurement/gpib_status.h"
#include "devices/measurement/reply_number.h"
#include "support/scenario.h"

#include <sstream>

namespace {

using scenario::Args;

const scenario::Steps steps = {
    // "parse reply stop-at-vertical-tab": the number, in picoamperes to a
    // float's seven digits
    {"parse", [](const Args& a) {
       std::ostringstream text;
       text.precision(7);
       return text << parseReplyNumber(a.at(1).c_str(), a.at(2) == "1") * 1e12, text.str();
     }},
    // "end count size": where a reply of the count the driver claims ends
    {"end", [](const Args& a) { return scenario::str(replyEnd(std::stoul(a.at(1), nullptr, 0), std::stoul(a.at(2)))); }},
    {"report", [](const Args& a) {
       return formatGpibReport("ibdev Error", std::stoul(a.at(1), nullptr, 0), std::stol(a.at(2)), std::stoul(a.at(3)));
     }},
    // A USB reading's UTF-16 text, given as ASCII words and U+XXXX code units.
    {"utf16", [](const Args& a) {
       std::u16string units;
       for (std::size_t i = 1; i < a.size(); ++i) {
         if (a[i].starts_with("U+")) units += static_cast<char16_t>(std::stoul(a[i].substr(2), nullptr, 16));
         else units.append(a[i].begin(), a[i].end());
       }
       return replyTextFromUtf16(units.data(), units.size());
     }},
};

TEST(MeasurementCore, Scenarios) { scenario::runFile(MEASUREMENT_CORE_SCENARIO, steps); }

}  // namespace
