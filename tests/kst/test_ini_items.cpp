// Items in INI keys: each value type's text when read from a file or a section image, and
// when written back.
#include <gtest/gtest.h>

#include "kst_fixture.h"

namespace {

class IniItemsTest : public KstTest {
 protected:
  // Gives the item a key and a section for the test; put back at tear-down.
  OPTION_ITEM *Keyed(WORD id)
  {
    OPTION_ITEM *item = ItemFindById(ctx_, id);
    EXPECT_NE(nullptr, item);
    saved_.push_back({item, item->section, item->key});
    item->section = u"S";
    item->key = item->name;
    return item;
  }
  void TearDown() override
  {
    for (const Saved &s : saved_) {
      s.item->section = s.section;
      s.item->key = s.key;
    }
    KstTest::TearDown();
  }
  struct Saved {
    OPTION_ITEM *item;
    const WCHAR *section, *key;
  };
  std::vector<Saved> saved_;
};

TEST_F(IniItemsTest, ValueTypesReadAndWriteTheirText)
{
  struct Case {
    WORD id;
    const char *stored;   // text in the file
    LONG raw;             // value after reading it (numbers)
    const char *written;  // text written back
  } cases[] = {
      {ITEM_kdmPresetNo, "-1", -1, "-1"},  // signed byte
      {ITEM_kdmPresetNo, "15", 15, "15"},
      {ITEM_dmOrientation, "-2", -2, "-2"},  // signed word
      {ITEM_dmOrientation, "32767", 32767, "32767"},
      {ITEM_wdmWmUnit, "255", 255, "255"},            // unsigned byte
      {ITEM_dmSpecVersion, "65535", 65535, "65535"},  // unsigned word
      {ITEM_dmFields, "123456", 123456, "123456"},    // unsigned 32-bit
      {ITEM_dmFields, "-1", -1, "4294967295"},
      {ITEM_dmFields, "4294967295", -1, "4294967295"},
      {ITEM_kdmFuncSelectScale, "1", 1, "1"},  // bit of a 4-byte field
      {ITEM_kdmFuncSelectScale, "0", 0, "0"},
      {ITEM_kdmScaleCentering, "1", 1, "1"},  // bit of a byte
  };
  for (int mode = 0; mode < 2; ++mode) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(mode ? "image " : "file ") + c.stored);
      OPTION_ITEM *item = Keyed(c.id);
      std::string key = Narrow(item->name);
      std::string text = "[S]\r\nother=1\r\n" + key + "=" + c.stored + "\r\n";
      Write(kFile, text);
      ItemWriteRaw(ctx_, item, 99);
      LONG cursor = 0;
      const char *body = mode ? strstr(text.c_str(), "other") : nullptr;
      EXPECT_EQ(1, StoreReadItemFromIni(ctx_, item, kFile, body, &cursor));
      EXPECT_EQ(c.raw, ItemReadRaw(ctx_, item));
      if (mode) {
        EXPECT_EQ(text.size() - 5, (size_t)cursor);
      }

      INI_SECTION_BUFFER out;
      ASSERT_EQ(1, IniSectionBufferInit(&out));
      DWORD length = 0;
      DeleteFileW(kFile);
      EXPECT_EQ(1, StoreWriteItemToIni(printer_, ctx_, item, kFile, mode ? &out : nullptr, &length));
      std::string line = key + "=" + c.written + "\r\n";
      EXPECT_EQ(mode ? line : "[S]\r\n" + line, mode ? std::string(out.text, length) : Read(kFile));
      IniSectionBufferFree(&out);
    }
  }
}

// A number past what the item's field holds is never cut into it ("300" is no signed byte
// 44): it is corrected by the item's own rule, or, for an item that only its field bounds,
// clamped to the field. Text that is no number leaves the item as it was. Each is noted in
// the context's read report.
TEST_F(IniItemsTest, NumbersPastTheirFieldAreCorrectedNotCut)
{
  struct Case {
    WORD id;
    const char *stored;
    LONG before, after;
  } cases[] = {
      {ITEM_kdmPresetNo, "300", 5, -1},         // the preset number's rule: none
      {ITEM_dmOrientation, "70000", 2, 32767},  // signed word
      {ITEM_dmOrientation, "-70000", 2, -32768},
      {ITEM_wdmWmUnit, "256", 1, 255},  // unsigned byte
      {ITEM_wdmWmUnit, "-1", 1, 0},
      {ITEM_dmSpecVersion, "65537", 1024, 65535},  // unsigned word
      {ITEM_dmFields, "99999999999", 7, -1},       // unsigned 32-bit: 4294967295
      {ITEM_dmFields, "-2147483649", 7, 0},
      {ITEM_kdmFuncSelect25, "2", 0, 1},  // a bit holds 0 or 1
      {ITEM_kdmFuncSelect25, "-1", 1, 0},
      {ITEM_dmOrientation, "abc", 2, 2},  // no number
      {ITEM_dmOrientation, "1x", 2, 2},
      {ITEM_dmOrientation, "0x1", 2, 2},
  };
  KST_READ_REPORT report = {nullptr, 0, 0, 0};
  ctx_->state->readReport = &report;
  for (int mode = 0; mode < 2; ++mode) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(mode ? "image " : "file ") + c.stored);
      OPTION_ITEM *item = Keyed(c.id);
      std::string text = "[S]\r\n" + Narrow(item->name) + "=" + c.stored + "\r\n";
      Write(kFile, text);
      ItemWriteRaw(ctx_, item, c.before);
      report.corrected = 0;
      LONG cursor = 0;
      EXPECT_EQ(1, StoreReadItemFromIni(ctx_, item, kFile, mode ? text.c_str() + 5 : nullptr, &cursor));
      EXPECT_EQ(c.after, ItemReadRaw(ctx_, item));
      EXPECT_EQ(1u, report.corrected);
    }
  }
  ctx_->state->readReport = nullptr;
}

TEST_F(IniItemsTest, TextItemsAndMissingValues)
{
  OPTION_ITEM *ansi = Keyed(ITEM_kdmHFString);   // 33 bytes
  OPTION_ITEM *wide = Keyed(ITEM_dmDeviceName);  // 64 bytes
  OPTION_ITEM *num = Keyed(ITEM_kdmContrast);
  std::string longText(40, 'x');
  Write(kFile, "[S]\r\nkdmHFString=" + longText + "\r\ndmDeviceName=Caf\xe9 printer\r\nkdmContrast=\r\n");
  EXPECT_EQ(1, StoreReadItemFromIni(ctx_, ansi, kFile, nullptr, nullptr));
  EXPECT_EQ(std::string(32, 'x'), Text(ITEM_kdmHFString));  // cut to the field
  EXPECT_EQ(1, StoreReadItemFromIni(ctx_, wide, kFile, nullptr, nullptr));
  WCHAR buf[40] = {};
  ItemReadText(ctx_, wide, buf);
  EXPECT_EQ(std::u16string(u"Caf\u00e9 printer"), std::u16string(buf));

  // Empty and missing values leave the item and answer 0.
  SetRaw(ITEM_kdmContrast, 7);
  EXPECT_EQ(0, StoreReadItemFromIni(ctx_, num, kFile, nullptr, nullptr));
  EXPECT_EQ(7, Raw(ITEM_kdmContrast));
  num->key = u"NoSuchKey";
  EXPECT_EQ(0, StoreReadItemFromIni(ctx_, num, kFile, nullptr, nullptr));
  // Nothing to do: a path that is not absolute or an item without key.
  EXPECT_EQ(1, StoreReadItemFromIni(ctx_, num, u"relative.ini", nullptr, nullptr));
  num->key = nullptr;
  EXPECT_EQ(1, StoreReadItemFromIni(ctx_, num, kFile, nullptr, nullptr));
  EXPECT_EQ(1, StoreWriteItemToIni(printer_, ctx_, num, kFile, nullptr, nullptr));
  EXPECT_EQ(7, Raw(ITEM_kdmContrast));

  // A text item is written as its text; an item without section uses the printer name.
  wide->section = nullptr;
  DeleteFileW(kFile);
  EXPECT_EQ(1, StoreWriteItemToIni(printer_, ctx_, wide, kFile, nullptr, nullptr));
  EXPECT_EQ("[KV Test]\r\ndmDeviceName=Caf\xe9 printer\r\n", Read(kFile));
}

// A text value with line breaks is written on its own line without them: a break would end
// the value early and make its rest a key of the section on the next read.
TEST_F(IniItemsTest, LineBreaksInTextValuesAreLeftOut)
{
  OPTION_ITEM *text = Keyed(ITEM_kdmHFString);
  struct Case {
    const char *value, *written;
  } cases[] = {
      {"a\r\nkdmContrast=9", "akdmContrast=9"},
      {"one\rtwo", "onetwo"},
      {"one\ntwo\n", "onetwo"},
      {"\r\n", ""},
      {"plain", "plain"},
  };
  for (int mode = 0; mode < 2; ++mode) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(mode ? "image " : "file ") + c.written);
      SetText(ITEM_kdmHFString, c.value);
      INI_SECTION_BUFFER out;
      ASSERT_EQ(1, IniSectionBufferInit(&out));
      DWORD length = 0;
      DeleteFileW(kFile);
      EXPECT_EQ(1, StoreWriteItemToIni(printer_, ctx_, text, kFile, mode ? &out : nullptr, &length));
      std::string line = std::string("kdmHFString=") + c.written + "\r\n";
      EXPECT_EQ(mode ? line : "[S]\r\n" + line, mode ? std::string(out.text, length) : Read(kFile));
      IniSectionBufferFree(&out);
      EXPECT_EQ(c.value, Text(ITEM_kdmHFString)) << "the item keeps its text";
    }
  }
  // Through a whole preset: the rest of the comment does not become the value of the key
  // that the reader looks for next.
  SetText(ITEM_wdmWmChar, "CLEAN");
  SetText(ITEM_wdmPresetComment, "first\r\nwdmWmChar=EVIL");
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  SetText(ITEM_wdmPresetComment, "");
  SetText(ITEM_wdmWmChar, "");
  ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0x20000, ctx_));
  EXPECT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ("CLEAN", Text(ITEM_wdmWmChar));
  EXPECT_EQ("firstwdmWmChar=EVIL", Text(ITEM_wdmPresetComment));
}

}  // namespace
