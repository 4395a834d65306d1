#include "probes/system/printer_rules.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PrinterAttributeNames, BitOrderAndUnknownBits) {
  std::string text;
  EXPECT_EQ(GetPrinterAttributeNames(0x244, text), ";Default;Local;DoCompleteFirst");
  text = "keep";
  EXPECT_EQ(GetPrinterAttributeNames(0x0001 | 0x8000 | 0x10000 | 0x80000000u, text), "keep;Queued;TS");
  text.clear();
  EXPECT_EQ(GetPrinterAttributeNames(0xFFFF, text),
            ";Queued;Direct;Default;Shared;Network;Hidden;Local;EnableDevq;KeepPrintedJobs;DoCompleteFirst"
            ";Offline;EnableBidi;RawOnly;Published;Fax;TS");
  text.clear();
  EXPECT_EQ(GetPrinterAttributeNames(0, text), "");
}

TEST(PrinterProviders, CaseSensitivePrefixes) {
  EXPECT_TRUE(isKnownProvider("Microsoft"));
  EXPECT_TRUE(isKnownProvider("HPE"));
  EXPECT_TRUE(isKnownProvider("Eastman Kodak Company"));
  EXPECT_TRUE(isKnownProvider("Xerox"));
  EXPECT_FALSE(isKnownProvider("hp"));
  EXPECT_FALSE(isKnownProvider("MICROSOFT"));
  EXPECT_FALSE(isKnownProvider("Eastman"));
  EXPECT_FALSE(isKnownProvider("CutePDF"));
  EXPECT_FALSE(isKnownProvider(""));
  EXPECT_FALSE(isKnownProvider(nullptr));
}

TEST(VirtualPrinterRule, AllConditionsNeeded) {
  EXPECT_TRUE(IsVirtualPrinterCandidate(false, false, false));
  EXPECT_FALSE(IsVirtualPrinterCandidate(true, false, false));
  EXPECT_FALSE(IsVirtualPrinterCandidate(false, true, false));
  EXPECT_FALSE(IsVirtualPrinterCandidate(false, false, true));
  EXPECT_TRUE(IsVirtualPrinter(0, true, 1499));
  EXPECT_FALSE(IsVirtualPrinter(0, true, 1500));
  EXPECT_FALSE(IsVirtualPrinter(1, true, 0));
  EXPECT_FALSE(IsVirtualPrinter(0, false, 0));
}

TEST(PrinterSizes, SecondCallBound) {
  EXPECT_FALSE(IsPrinterBufferSizeUsable(0));
  EXPECT_TRUE(IsPrinterBufferSizeUsable(1));
  EXPECT_TRUE(IsPrinterBufferSizeUsable(0xFFFFF));
  EXPECT_FALSE(IsPrinterBufferSizeUsable(0x100000));
  EXPECT_FALSE(IsPrinterBufferSizeUsable(0xFFFFFFFFu));
}

TEST(PrinterFields, PointersOutsideTheRecordAreNeverRead) {
  // A synthetic record: a pointer slot, then the strings it may point to.
  char record[64] = {};
  std::memcpy(record + 16, "HP Universal", 13);
  std::memcpy(record + 48, "unterminated0123", 16);  // runs to the end of the buffer

  PrinterField f = ClassifyPrinterField(record + 16, record, sizeof record);
  EXPECT_EQ(f.place, PrinterFieldPlace::Inside);
  EXPECT_EQ(f.length, 12u);

  EXPECT_EQ(ClassifyPrinterField(nullptr, record, sizeof record).place, PrinterFieldPlace::Null);
  EXPECT_EQ(ClassifyPrinterField(record, record, sizeof record).place, PrinterFieldPlace::Outside);
  EXPECT_EQ(ClassifyPrinterField(record + sizeof record, record, sizeof record).place, PrinterFieldPlace::Outside);
  char elsewhere[8] = "x";
  EXPECT_EQ(ClassifyPrinterField(elsewhere, record, sizeof record).place, PrinterFieldPlace::Outside);

  f = ClassifyPrinterField(record + 48, record, sizeof record);
  EXPECT_EQ(f.place, PrinterFieldPlace::Inside);
  EXPECT_EQ(f.length, 16u);  // stops at the buffer's end, not past it
  f = ClassifyPrinterField(record + 63, record, sizeof record);
  EXPECT_EQ(f.length, 1u);
}
