// The register list's exchanges between the window's own: which exchange the
// free line carries next, and that a list exchange moves no flag and never
// reaches the read box or the lamps.
#include <gtest/gtest.h>

#include "fakes.h"
#include "scenario.h"

namespace varnak::testing {
namespace {

const char* kReadHeader1000 = "01 30 31 30 31 30 32 30 31 30 30 30 32 30 31 17 00";
const char* kReadHeader1001 = "01 30 31 30 31 30 32 30 32 30 30 30 32 30 31 17 03";
const char* kReadHeader1002 = "01 30 31 30 31 30 32 30 33 30 30 30 32 30 31 17 02";
const char* kWriteHeader1000 = "01 30 31 38 31 30 32 30 31 30 30 30 32 30 31 17 08";
const char* kPollData81 = "rx 06 02 81 00 03 81";
const char* kListRead = "value read for the register list";

std::string ListRead(const std::string& then) { return std::string(kListRead) + "; done list read; " + then; }

class ListExchange : public ::testing::TestWithParam<Scenario> {};

TEST_P(ListExchange, GoesAsOnTheLine) { RunScenario(GetParam()); }

const Scenario kListScenarios[] = {
    {"ReadsInTurnBetweenPollsAndATickPollsRightAfterTheRead",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"list=1000,1001", {}, "TFF", ""},  // the poll under way is not cut short
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {kPollData81, {kEnq}, "TFF", "lamps set; done poll; start list read", "lamps=10000001"},
      {"rx 4E 21 06", {kReadHeader1000}, "TFF", "read header sent"},
      {"rx 06 02 34 12 03 26", {kEnq}, "TFF", ListRead("start list read"), "list=R1000=1234"},
      {"rx 4E 21 06", {kReadHeader1001}, "TFF", "read header sent"},
      {"Tick", {}, "TFF", ""},
      {"rx 06 02 00 00 03 00", {kEnq}, "TFF", ListRead("start poll"), "list=R1001=0000"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 0F 00 03 0F", {kEnq}, "TFF", "lamps set; done poll; start list read", "lamps=11110000"},
      {"rx 4E 21 06", {kReadHeader1000}, "TFF", "read header sent"}}},
    {"AListReadNeverReachesTheReadBoxNorTheLamps",
     {{"list=1000", {kEnq}, "FFF", "start list read; open"},
      {"rx 4E 21 06", {kReadHeader1000}, "FFF", "read header sent"},
      // Under these flags the read rule would show a data reply in the read box.
      {kPollData81, {kEnq}, "FFF", ListRead("start list read"), "Text5="},
      {"rx 4E 21 06", {kReadHeader1000}, "FFF", "read header sent", "lamps=00000000"}}},
    {"AClickDuringAListReadWaitsForItAndGoesBeforeTheDeferredPoll",
     {{"list=1000", {kEnq}, "FFF", "start list read; open"},
      {"Tick", {}, "FFF", ""},
      {"Command3", {}, "FFF", "wait read"},
      {"rx 4E 21 06", {kReadHeader1000}, "FFF", "read header sent"},
      {"rx 06 02 34 12 03 26", {kEnq}, "FFT", ListRead("start read; hold"), "list=R1000=1234"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"rx 06 02 05 12 03 17",
       {kEnq},
       "TFF",
       "value shown in the read box; done read; start poll",
       "Text5=1205"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {kPollData81, {kEnq}, "TFF", "lamps set; done poll; start list read"}}},
    {"ARefusedCorruptedOrMissingListReadMarksItsRowAndTheListGoesOn",
     {{"list=1000,1001", {kEnq}, "FFF", "start list read; open"},
      // A reply that fits no step: the next read waits for a quiet line.
      {"rx 15", {}, "FFF", "ignored: refused (NAK); fail list read: refused", "list=R1000: refused"},
      {"+60", {kEnq}, "FFF", "start list read"},
      {"+150", {kEnq}, "FFF", "fail list read: no reply; start list read", "list=R1001: no reply"},
      {"rx 4E 21 06", {kReadHeader1000}, "FFF", "read header sent"},
      {"rx 06 02 34 12 03 99",
       {},
       "FFF",
       "ignored: check byte bad; fail list read: check byte bad",
       "list=R1000: check byte bad"},
      {"+60", {kEnq}, "FFF", "start list read"},
      {"rx 4E 21 06", {kReadHeader1001}, "FFF", "read header sent"}}},
    {"AClickIntoABoxHoldsThePollButNotTheList",
     {{"Text2", {}, "FFT", "hold"},
      {"list=1000", {kEnq}, "FFT", "start list read; open"},
      {"rx 4E 21 06", {kReadHeader1000}, "FFT", "read header sent"},  // the hold stays
      {"Tick", {}, "FFT", ""},
      {"rx 06 02 34 12 03 26", {kEnq}, "FFT", ListRead("start list read")},
      {"Command4", {}, "FFF", "release"},
      {"Tick", {}, "FFF", ""},
      {"+150", {kEnq}, "TFF", "fail list read: no reply; start poll", "list=R1000=1234; R1000: no reply"}}},
    {"TheListGoesOnWhileTheValueBoxIsEmptyThePollDoesNot",
     {{"Text1=", {}, "", ""},
      {"list=1000", {kEnq}, "FFF", "start list read; open"},
      {"Tick", {}, "FFF", ""},
      {"rx 4E 21 06", {"01 30 31 30 31 30 32 30 31 30 30 30 32 30 31 17 00"}, "FFF", "read header sent"},
      // The tick's poll, due, does not start; the list reads on.
      {"rx 06 02 34 12 03 26",
       {kEnq},
       "TFF",
       "value read for the register list; done list read; start list read"}}},
    {"ARowWriteIsTriedAgainAndReportsToItsRowNotTheBoxes",
     {{"listWrite=1000:1234", {kEnq}, "FFF", "start list write; open"},
      {"rx 4E 21 06", {kWriteHeader1000}, "FFF", "write header sent"},
      {"+150", {}, "FFF", "again list write: no reply"},
      {"+60", {kEnq}, "FFF", ""},
      {"rx 4E 21 06", {kWriteHeader1000}, "FFF", "write header sent"},
      {"rx 06", {"02 34 12 03 26"}, "FFF", "data block sent"},
      {"rx 06", {}, "FFF", "list write confirmed; done list write", "list=R1000 written"},
      {"rx 06", {}, "FFF", "ignored: ack outside a write", "Text1=00"},
      {"Tick", {kEnq}, "TFF", "start poll", "title="}}},
    {"ARowWriteTriedAgainLetsTheWaitingPollGoFirst",
     {{"listWrite=1000:1234", {kEnq}, "FFF", "start list write; open"},
      {"Tick", {}, "FFF", ""},
      {"+150", {}, "FFF", "again list write: no reply"},
      {"+60", {kEnq}, "TFF", "start poll"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 81 00 03 81", {kEnq}, "TFF", "lamps set; done poll", "lamps=10000001"},
      {"rx 4E 21 06", {kWriteHeader1000}, "TFF", "write header sent"}}},
    {"AListThatCannotBeSentTriesAgainAtTheNextTickOnly",
     {{"failOpen", {}, "", ""},
      {"list=1000",
       {},
       "FFF",
       "start list read; fail; fail list read: port failed",
       "list=R1000: port failed"},
      {"+1000", {}, "FFF", ""},
      {"Tick", {}, "TFF", "start poll; start list read; fail list read: port failed"},
      {"portOk", {}, "", ""},
      {"Tick", {kEnq}, "TFF", "start poll; open"}}},
    // A controller that stalls (a loaded machine, a busy controller) and then
    // answers everything it was sent, in order: the replies owed to reads that
    // have ended are never taken for the next read's. An enquiry going out while
    // replies are still owed would take an owed enquiry ack as its own, send its
    // header, and take the data owed to the read before as its value (here
    // R1002 = 1234, R1001's value). So after a read lost on the line, the next
    // exchange waits for the line to be quiet, as a command's retry does.
    // A master's job that goes only after another has succeeded (the second
    // word of a pair, a read-back) ends unsent when that one failed; a job taken
    // back before it started ends unsent too. Neither puts a byte on the line.
    {"AJobAfterOneThatFailedEndsUnsent",
     {{"failWrite", {}, "", ""},
      {"job=write 2000:0001", {}, "", ""},
      {"job=read 2000 after", {}, "", ""},
      {"job=read 1000", {}, "", ""},
      {"+0",
       {},
       "FFF",
       "start list write; open; fail; close; fail list write: port failed; "
       "start list read; open; fail; close; fail list read: port failed",
       "jobs=R2000: port failed; R2000: port failed; R1000: port failed"}}},
    {"AJobTakenBackEndsUnsent",
     {{"job=read 2000", {}, "", ""},
      {"job=read 1000", {}, "", ""},
      {"withdraw", {}, "", "", "jobs=R1000: not sent: withdrawn"},
      {"+0", {kEnq}, "FFF", "start list read; open"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent"},
      {"rx 06 02 34 12 03 26",
       {},
       "FFF",
       "value read for the register list; done list read",
       "jobs=R2000=1234"}}},
    {"RepliesOwedToEndedReadsAreNeverTakenForTheNextRead",
     {{"list=1002,1001", {kEnq}, "FFF", "start list read; open"},
      {"rx 4E 21 06", {kReadHeader1002}, "FFF", "read header sent"},
      // Silent from here: R1002's data reply is owed, then an enquiry ack for each enquiry.
      {"+210", {kEnq}, "FFF", "fail list read: no reply; start list read", "list=R1002: no reply"},
      {"+210", {kEnq}, "FFF", "fail list read: no reply; start list read", "list=R1001: no reply"},
      // It answers what it owes: R1002's value (5678), then the two enquiry acks.
      {"rx 06 02 78 56 03 2E",
       {},
       "FFF",
       "ignored: no exchange waits for this reply; fail list read: reply not understood",
       "list=R1002: reply not understood"},
      {"rx 4E 21 06", {}, "FFF", "ignored: no exchange waits for this reply"},
      {"rx 4E 21 06", {}, "FFF", "ignored: no exchange waits for this reply"},
      {"+60", {kEnq}, "FFF", "start list read"},
      {"rx 4E 21 06", {kReadHeader1001}, "FFF", "read header sent"},
      {"rx 06 02 34 12 03 26", {kEnq}, "FFF", ListRead("start list read"), "list=R1001=1234"}}},
};

INSTANTIATE_TEST_SUITE_P(Link, ListExchange, ::testing::ValuesIn(kListScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
