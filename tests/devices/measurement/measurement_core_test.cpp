#include "devices/measurement/gpib_status.h"
#include "devices/measurement/reply_number.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReplyCase {
  std::string reply;
  bool stopAtVerticalTab;
  float amperes;
};

TEST(ParseReplyNumber, TakesTheFirstNumberOfTheReply) {
  const std::string overLong = "0.5" + std::string(96, '0') + "E-06";  // the exponent is the 100th character on
  const ReplyCase cases[] = {
      {"+1.234560E-07\n", true, 1.23456e-07f},
      {"NDCA+001.2345E-6", false, 1.2345e-06f},  // letters before the number skipped
      {"-2.50000E-06,+1.000000E+00,+9.91E+37", true, -2.5e-06f},
      {"1.5e-06", true, 1.5e-06f},    // lower-case exponent marker
      {"E-1.5", false, -1.5f},        // a marker before any digit is dropped
      {"OVERFLOW", false, 0.0f},      // no digits
      {"", true, 0.0f},
      {"\v+3.0E-07", true, 0.0f},     // the sourcemeter's reply ends at a vertical tab
      {"\v+3.0E-07", false, 3.0e-07f},
      {"\r+3.0E-07\r\n+9", true, 3.0e-07f},
      {"\n+3.0E-07", true, 0.0f},
      {overLong, true, 0.5f},         // at most 99 characters are collected
  };
  for (const ReplyCase& c : cases) {
    EXPECT_FLOAT_EQ(parseReplyNumber(c.reply.c_str(), c.stopAtVerticalTab), c.amperes)
        << "reply \"" << c.reply << "\" stop at VT " << c.stopAtVerticalTab;
  }
  // Whatever count the driver claims, the reply ends inside the buffer.
  EXPECT_EQ(replyEnd(12, 100), 12u);
  EXPECT_EQ(replyEnd(100, 100), 100u);
  EXPECT_EQ(replyEnd(126, 100), 100u);         // the system error of a missing driver
  EXPECT_EQ(replyEnd(0xFFFFFFFFul, 100), 100u);
}

TEST(ParseReplyNumber, UsbReadingKeepsAsciiAndNothingElseCanLookLikeANumber) {
  // A micro sign and a Hangul syllable: in a double-byte code page the
  // latter's trail byte can be an ASCII letter such as 'E'.
  const std::u16string reading = u"-1.234E-06\u00B5\uAC08+1";
  const std::string text = replyTextFromUtf16(reading.data(), reading.size());
  EXPECT_EQ(text, "-1.234E-06??+1");
  EXPECT_FLOAT_EQ(parseReplyNumber(text.c_str(), true), -1.234e-06f);
}

struct ReportCase {
  unsigned long status;
  long error;
  unsigned long count;
  const char* text;
};

TEST(GpibReport, NamesTheStatusBitsAndTheErrorCode) {
  const ReportCase cases[] = {
      {0x8000, 0, 126, "ibdev Error\nIbsta() = 0x8000  < ERR >\nIberr() = 0 EDVR <Driver error>\nIbcnt() = 126\n\n"},
      {0x2100, 2, 0, "ibdev Error\nIbsta() = 0x2100  < END CMPL >\nIberr() = 2 ENOL <No Listener>\nIbcnt() = 0\n\n"},
      // An unknown code gets no line end: the count follows on its line.
      {0xC100, 8, 3, "ibdev Error\nIbsta() = 0xc100  < ERR TIMO CMPL >\nIberr() = 8Ibcnt() = 3\n\n"},
      // Every bit, named in order; 0x0400 and 0x0200 have no name.
      {0xFFFF, 28, 1,
       "ibdev Error\nIbsta() = 0xffff  < ERR TIMO END SRQI RQS CMPL LOK REM CIC ATN TACS LACS DTAS DCAS >\n"
       "Iberr() = 28 EPWR <Power error>\nIbcnt() = 1\n\n"},
  };
  for (const ReportCase& c : cases) {
    EXPECT_EQ(formatGpibReport("ibdev Error", c.status, c.error, c.count), c.text);
  }
}

}  // namespace
