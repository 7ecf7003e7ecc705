// The arithmetic of the stage and the board's protocol, as rows of
// motion_core.scenario: the numbers there are worked out by hand.

#include "devices/motion/arduino_protocol.h"
#include "devices/motion/objective_plan.h"
#include "devices/motion/stage_math.h"
#include "services/objective_table.h"
#include "support/scenario.h"

namespace {

using scenario::arg;
using scenario::Args;
using scenario::num;
using scenario::str;

int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }

ReplySplitter splitter;

const scenario::Steps steps = {
    {"um", [](const Args& a) { return str(stepsToUm(whole(a, 1), whole(a, 2), whole(a, 3), 1)); }},
    {"zero", [](const Args& a) { return str(zeroStepsFor(whole(a, 1), num(a, 2), 1)); }},
    {"target", [](const Args& a) {
       int w = 7, m = 7;  // a refused target leaves them untouched
       const bool ok = moveTargetFor(num(a, 1), whole(a, 2), 1, w, m);
       return (ok ? "" : "refused ") + std::to_string(w) + " " + std::to_string(m);
     }},
    {"split", [](const Args& a) { const auto t = splitSteps(num(a, 1)); return str(t.whole) + " " + str(t.micro); }},
    {"timeout", [](const Args& a) { return str(singleMoveTimeoutMs(num(a, 1), 1, whole(a, 2))); }},
    {"xy", [](const Args& a) {
       const XYMovePlan p = planXYMove(num(a, 1), num(a, 2), whole(a, 3));
       return str(p.speed) + " " + str(p.totalMs) + " " + str(p.a.steps) + " " + str(p.a.micro) + " " +
              str(p.b.steps) + " " + str(p.b.micro) + " " + str(xyMoveLimitMs(p.totalMs));
     }},
    {"axes", [](const Args& a) {
       const AxisAssignment x = assignAxes(whole(a, 1), whole(a, 2));
       return str(x.x) + " " + str(x.y) + " " + str(x.z);
     }},
    {"arrival", [](const Args& a) {
       return str(arrivalCheck(static_cast<float>(num(a, 1)), static_cast<float>(num(a, 2)), num(a, 3),
                               whole(a, 4), whole(a, 5), whole(a, 6)));
     }},
    {"steps", [](const Args& a) { return str(stepsFromUm(whole(a, 1), num(a, 2))); }},
    {"round-trip", [](const Args& a) {
       return str(std::fabs(umFromSteps(-1, stepsFromUm(-1, num(a, 1))) - num(a, 1)));
     }},
    {"level", [](const Args& a) { return str(lightLevel(num(a, 1))); }},
    {"parse", [](const Args& a) {
       int s = 99;  // a line that is no number leaves it untouched
       const bool ok = parseReplySteps(arg(a, 1), s);
       return (ok ? "" : "no ") + std::to_string(s);
     }},
    {"reply", [](const Args& a) {
       const MoveReply r = classifyMoveReply(a.at(1), whole(a, 2));
       const char* kinds[] = {"other", "position", "arrived"};
       return std::string(kinds[r.kind]) + " " + str(r.steps) + " " + (r.limit ? std::string(1, r.limit) : "-");
     }},
    {"take", [](const Args& a) { return splitter.take(arg(a, 1), arg(a, 2) == "full"); }},
    {"forget", [](const Args&) { return splitter.clear(), std::string(); }},
    {"pending", [](const Args&) { return str(static_cast<double>(splitter.pending().size())); }},
    {"flood", [](const Args& a) {
       std::string replies;
       for (int i = 0; i < whole(a, 1); ++i) replies += splitter.take(std::string(replyChunkBytes, '#'), true);
       return replies;
     }},
    {"turret", [](const Args& a) {
       ObjectiveTable table;
       table.changerSteps[0] = 189, table.changerSteps[1] = 195;
       table.previous = whole(a, 1), table.current = whole(a, 2);
       const ObjectiveChangePlan p = planObjectiveChange(table);
       return str(p.turretMoves[0]) + " " + str(p.turretMoves[1]) + " " + str(p.turretMoves[2]);
     }},
};

TEST(MotionCore, Scenarios) {
  scenario::runFile(MOTION_CORE_SCENARIO, steps);
}

}  // namespace
