// The sample printer's description read through the grammar: no line is rejected or
// questioned, every keyword and item type of the format appears, and the parse state holds
// what the file says (items, values, defaults, paper geometry, records, command texts,
// fonts, judges, rule sections and command groups).
#include <map>
#include <set>
#include <string>
#include <vector>

#include "blob/desc_runtime.h"
#include "desc/desc_reader.h"
#include "model/model.h"
#include "desc/rule_compile.h"
#include "sample_fixture.h"

namespace {

std::u16string W(const WCHAR *s) { return s ? std::u16string(s) : std::u16string(); }
std::string Text(const char *s) { return s ? std::string(s) : std::string("<none>"); }

TEST_F(SampleDescTest, ParsesWithoutRejectedOrQuestionableLines)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s) << log_.Text();
  EXPECT_EQ(0u, s->rejectedLines) << log_.Text();
  EXPECT_TRUE(log_.All().empty()) << log_.Text();
}

TEST_F(SampleDescTest, FileVersionIsTheDriverVersion)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const MODEL_RECORD *model = CtxGetTemplate()->model;
  ASSERT_NE(nullptr, model);
  EXPECT_EQ(u"1.41", W(s->header->fileVersion));
  EXPECT_EQ(W(model->driverVersionText), W(s->header->fileVersion));
  WCHAR probed[16] = {};
  EXPECT_EQ(1u, DescReadTextFileVersion(kPath, probed));
  EXPECT_EQ(W(model->driverVersionText), W(probed));
}

// Every keyword of the format, option lines with and without a value name, and Default
// lines: read with the line reader, following OpenUI/CloseUI as the grammar does.
TEST_F(SampleDescTest, UsesEveryKeywordOfTheFormat)
{
  DESC_READER *r = DescReaderOpen(kPath);
  ASSERT_NE(nullptr, r);
  DESC_LINE *line = DescLineCreate();
  ASSERT_NE(nullptr, line);
  std::set<std::string> seen;
  std::string open;
  int malformed = 0, lines = 0;
  for (;;) {
    DWORD st = DescReadLine(line, r);
    if (st == DESC_READ_EOF || st == DESC_READ_NO_MEMORY) break;
    if (st == DESC_READ_MALFORMED) {
      ++malformed;
      continue;
    }
    ++lines;
    std::string kw = line->keyword.text;
    if (!open.empty() && kw == open) {
      seen.insert(line->option1.text[0] ? "<option line>" : "<IDList line>");
    } else if (!open.empty() && kw == "Default" + open) {
      seen.insert("<Default line>");
    } else {
      seen.insert(kw);
      if (kw == "OpenUI") open = line->option1.text + 1;
      if (kw == "CloseUI") open.clear();
    }
  }
  DescLineFree(line);
  DescReaderClose(r);
  EXPECT_EQ(0, malformed);
  EXPECT_GT(lines, 400);
  for (const char *kw :
       {"FileVersion",   "OpenUI",        "CloseUI",       "NumericValue", "StringValue",   "PageValue",
        "PageMMValue",   "SlotPaper",     "OptionCommand", "CommandGroup", "DeviceFonts",   "FontCartridge",
        "TTFS",          "CommandString", "Judge",         "Item",         "Action",        "Transact",
        "AlertAction",   "Alert",         "Exclusive",     "UIResDLLName", "ExcDepDLLName", "<option line>",
        "<IDList line>", "<Default line>"}) {
    EXPECT_TRUE(seen.count(kw)) << kw << " never used";
  }
}

TEST_F(SampleDescTest, UsesEveryItemType)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  std::set<WORD> bases;
  bool identity = false, unknownFlag = false, unknownAlone = false;
  for (const DESC_ITEM_NODE *n = s->header->items; n; n = n->next) {
    bases.insert(n->type & ~DESC_TYPE_FLAGS);
    identity |= (n->type & DESC_TYPE_IDENTITY) != 0;
    unknownFlag |= (n->type & DESC_TYPE_UNKNOWN) && (n->type & ~DESC_TYPE_FLAGS);
    unknownAlone |= n->type == DESC_TYPE_UNKNOWN;
  }
  for (WORD t : {DESC_TYPE_PICK_ONE, DESC_TYPE_PICK_MANY, DESC_TYPE_BOOLEAN, DESC_TYPE_NUMERIC, DESC_TYPE_STRING,
                 DESC_TYPE_PICK_PAGE, DESC_TYPE_PICK_SLOT, DESC_TYPE_FONT_TABLE})
    EXPECT_TRUE(bases.count(t)) << "type 0x" << std::hex << t << " never used";
  EXPECT_TRUE(identity);
  EXPECT_TRUE(unknownFlag);
  EXPECT_TRUE(unknownAlone);
}

TEST_F(SampleDescTest, ItemsVariantsAndIdentity)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(58u, CountItems(s));

  // Flagged types as written on the OpenUI lines.
  const struct {
    const char *item;
    WORD type;
  } kTypes[] = {
      {"KPD_IDC_OPTION_CHOICE_OPTION", DESC_TYPE_PICK_MANY},
      {"KPD_ConditionOption", DESC_TYPE_PICK_ONE | DESC_TYPE_UNKNOWN},
      {"KPD_IDC_MARGIN_CHOICE_POSITION", DESC_TYPE_PICK_ONE | DESC_TYPE_UNKNOWN},
      {"KPD_kdmFuncSelectStaple", DESC_TYPE_BOOLEAN | DESC_TYPE_UNKNOWN},
      {"KPD_kdmTime", DESC_TYPE_UNKNOWN},
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", DESC_TYPE_PICK_PAGE},
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", DESC_TYPE_PICK_SLOT},
      {"KPD_kdmTTFont", DESC_TYPE_FONT_TABLE},
      {"KPD_IDC_PAPER_EDIT_COPIES", DESC_TYPE_NUMERIC},
      {"KPD_kdmUserCode", DESC_TYPE_STRING},
      {"KPD_IDC_EDIT_CHOICE_DUPLEX", DESC_TYPE_BOOLEAN},
  };
  for (const auto &t : kTypes) {
    const DESC_ITEM_NODE *n = FindItem(s, t.item);
    ASSERT_NE(nullptr, n) << t.item;
    EXPECT_EQ(t.type, n->type) << t.item;
    EXPECT_EQ(ItemIdOf(t.item), n->itemId) << t.item;
  }

  // Variants copy their base and keep their own command texts; they take no direct slot.
  for (const char *name : {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", "KPD_IDC_SETUP_CHOICE_SOURCETRAY"}) {
    const DESC_ITEM_NODE *base = FindItem(s, name);
    const DESC_ITEM_NODE *v1 = FindItem(s, name, 1);
    ASSERT_TRUE(base && v1) << name;
    EXPECT_EQ(base->values, v1->values) << name;
    EXPECT_EQ(base->type, v1->type) << name;
    EXPECT_EQ(base->defaultValue, v1->defaultValue) << name;
    ASSERT_TRUE(base->command && v1->command) << name;
    EXPECT_NE(base->command, v1->command) << name;
    EXPECT_EQ(base, s->header->slotsLow[base->itemId - 1]) << name;
  }

  // The vertical resolution is an Identity item of the horizontal one.
  const DESC_ITEM_NODE *w = FindItem(s, "KPD_kdmDstResolutionW");
  ASSERT_NE(nullptr, w);
  const DESC_ITEM_NODE *h = FindItem(s, "KPD_kdmDstResolutionH", w->key);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(DESC_TYPE_IDENTITY | DESC_TYPE_PICK_ONE, h->type);
  EXPECT_EQ(w->values, h->values);
  EXPECT_EQ(39, h->itemId);
  EXPECT_EQ(h, s->header->slotsLow[39 - 1]);

  // Configuration and work items sit in their slot ranges.
  EXPECT_EQ(FindItem(s, "KPD_kdmSourceOptionTypeDuplex"), s->header->slotsExtended[10014 - 10001]);
  EXPECT_EQ(FindItem(s, "KPD_IDC_STAMP_CHAR_EDIT_CHAR"), s->header->slotsHigh[832 - 601]);
  // A pseudo-item names no stored item and takes no slot.
  EXPECT_EQ(0, FindItem(s, "KPD_ConditionOption")->itemId);
}

TEST_F(SampleDescTest, ValueListsAndDefaults)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const struct {
    const char *item;
    size_t values;
    const char *defaultValue;
  } kLists[] = {
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", 18, "IDS_PAPERSIZE_A4"},
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", 7, "IDS_PAPERSOURCE_AUTO"},
      {"KPD_IDC_SETUP_CHOICE_MEDIATYPE", 7, "IDS_MEDIATYPE_NORMAL"},
      {"KPD_RADIOLIST_1", 2, "IDS_ORIENTATION_PORTRAIT"},
      {"KPD_RADIOLIST_6", 2, "IDS_COLOR_COLOR"},
      {"KPD_kdmDstResolutionW", 2, "KDMRESOLUTION_600"},
      {"KPD_kdmStapleType", 12, "IDS_STAPLE_OFF"},
      {"KPD_kdmPunchType", 8, "IDS_PUNCH_OFF"},
      {"KPD_IDC_EDIT_CHOICE_DUPLEX_TYPE", 8, "IDS_DUPLEX_1"},
      {"KPD_kdmOutputTrayID", 4, "KDMDEFOUT_SYSDEFAULT"},
      {"KPD_IDC_SETUP_CHOICE_PRINTTYPE", 3, "IDS_PRINTTYPE_NORMAL"},
      {"KPD_kdmTTFont", 3, "KDMTTFONT_1"},
      {"KPD_kdmPrinterMemory", 3, "KDMPRINTERMEMORY_160"},
      {"KPD_IDC_OPTION_CHOICE_PAPERSIZE_TRAY2", 10, "IDS_PAPERSIZE_A3"},
      {"KPD_IDC_PAPER_CHOICE_PRINTSIZE", 11, "IDS_PRINTSIZE_SAME"},
      {"KPD_IDC_STAMP_CHAR_CHOICE_POSITION", 9, "WDMWMPOSI_4"},
      {"KPD_IDC_MARGIN_CHOICE_POSITION", 4, "KDMSHIFTDIR_1"},
  };
  for (const auto &l : kLists) {
    const DESC_ITEM_NODE *n = FindItem(s, l.item);
    ASSERT_NE(nullptr, n) << l.item;
    std::vector<const DESC_VALUE_NODE *> values = Values(n);
    EXPECT_EQ(l.values, values.size()) << l.item;
    ASSERT_LT(n->defaultValue, values.size()) << l.item;
    EXPECT_EQ(ValueId(l.defaultValue), values[n->defaultValue]->valueId) << l.item;
  }
  EXPECT_EQ(6u, Values(FindItem(s, "KPD_IDC_OPTION_CHOICE_OPTION")).size());

  // The description defaults other parts read, by item ID.
  const auto *blob = reinterpret_cast<const DESC_BLOB *>(s->header);
  const struct {
    WORD item;
    DWORD value;
  } kDefaults[] = {
      {8, 3009}, {13, 4007},  {7, 2042},  {38, 600},  {39, 600},  {12, 1},      {89, 100}, {58, 0},  {61, 1},
      {96, 0},   {1273, 118}, {10014, 1}, {10058, 1}, {10070, 0}, {10012, 160}, {209, 53}, {180, 1},
  };
  for (const auto &d : kDefaults) EXPECT_EQ(d.value, DescGetBlobItemDefault(d.item, blob)) << "item " << d.item;
}

// Sheet size in dots of a paper at a resolution, rounded as the file's areas are.
LONG Dots(LONG tenthsMm, LONG dpi) { return (tenthsMm * dpi * 2 + 254) / 508; }

TEST_F(SampleDescTest, PaperSizesAndPrintableAreas)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const DESC_ITEM_NODE *paper = FindItem(s, "KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  ASSERT_NE(nullptr, paper);
  const WORD portrait = ValueId("IDS_ORIENTATION_PORTRAIT"), landscape = ValueId("IDS_ORIENTATION_LANDSCAPE");
  const WORD areaKey = Key("KPD_IDC_INIT_CHOICE_PRINTAREA");

  auto page = [&](const char *v) { return reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(FindValue(paper, v)); };
  auto geometry = [](const DESC_PAGE_VALUE_NODE *p) {
    std::vector<const DESC_PAPER_GEOMETRY *> out;
    for (const DESC_PAPER_GEOMETRY *g = p ? p->geometry : nullptr; g; g = g->next) out.push_back(g);
    return out;
  };

  const DESC_PAGE_VALUE_NODE *a4 = page("IDS_PAPERSIZE_A4");
  ASSERT_NE(nullptr, a4);
  EXPECT_EQ(2100, a4->width);
  EXPECT_EQ(2970, a4->length);
  std::vector<const DESC_PAPER_GEOMETRY *> g = geometry(a4);
  ASSERT_EQ(8u, g.size());
  // The extended area first, while the print-area item has its second value.
  EXPECT_EQ(600, g[0]->resolution);
  EXPECT_EQ(portrait, g[0]->orientation);
  EXPECT_EQ(areaKey, g[0]->condKey);
  EXPECT_EQ(ValueId("KDMEXTPRINTAREA_1"), g[0]->condValue);
  EXPECT_EQ((std::vector<LONG>{47, 47, 4867, 6922, 47, 47}),
            (std::vector<LONG>{g[0]->x, g[0]->y, g[0]->w, g[0]->h, g[0]->a, g[0]->b}));
  EXPECT_EQ(0, g[2]->condKey);
  EXPECT_EQ((std::vector<LONG>{94, 99, 4773, 6818, 94, 99}),
            (std::vector<LONG>{g[2]->x, g[2]->y, g[2]->w, g[2]->h, g[2]->a, g[2]->b}));
  EXPECT_EQ(1200, g[7]->resolution);
  EXPECT_EQ(landscape, g[7]->orientation);
  EXPECT_EQ((std::vector<LONG>{198, 189, 13635, 9543, 198, 189}),
            (std::vector<LONG>{g[7]->x, g[7]->y, g[7]->w, g[7]->h, g[7]->a, g[7]->b}));

  // "True" as the condition value stands for 1.
  std::vector<const DESC_PAPER_GEOMETRY *> ledger = geometry(page("IDS_PAPERSIZE_LEDGER"));
  ASSERT_EQ(8u, ledger.size());
  EXPECT_EQ(areaKey, ledger[0]->condKey);
  EXPECT_EQ(1, ledger[0]->condValue);

  // Envelopes carry portrait areas only; landscape is answered by turning them.
  std::vector<const DESC_PAPER_GEOMETRY *> dl = geometry(page("IDS_PAPERSIZE_ENVDL"));
  ASSERT_EQ(2u, dl.size());
  EXPECT_EQ(portrait, dl[0]->orientation);
  EXPECT_EQ(portrait, dl[1]->orientation);
  EXPECT_EQ(600, dl[0]->resolution);
  EXPECT_EQ(1200, dl[1]->resolution);

  // Every area of every paper lies on its sheet at its resolution, and its offsets are
  // its origin; the custom size has neither size nor areas.
  size_t entries = 0;
  for (const DESC_VALUE_NODE *v : Values(paper)) {
    auto *p = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(v);
    if (v->valueId == ValueId("IDS_PAPERSIZE_USER")) {
      EXPECT_EQ(0, p->width);
      EXPECT_EQ(nullptr, p->geometry);
      continue;
    }
    EXPECT_GT(p->width, 0) << v->valueId;
    EXPECT_GE(p->length, p->width) << v->valueId;
    for (const DESC_PAPER_GEOMETRY *e : geometry(p)) {
      ++entries;
      ASSERT_TRUE(e->resolution == 600 || e->resolution == 1200) << v->valueId;
      ASSERT_TRUE(e->orientation == portrait || e->orientation == landscape) << v->valueId;
      LONG sheetW = Dots(p->width, e->resolution), sheetL = Dots(p->length, e->resolution);
      if (e->orientation == landscape) std::swap(sheetW, sheetL);
      EXPECT_GT(e->x, 0) << v->valueId;
      EXPECT_GT(e->y, 0) << v->valueId;
      EXPECT_EQ(sheetW, e->x + e->w + e->x) << v->valueId << " at " << e->resolution;
      EXPECT_EQ(sheetL, e->y + e->h + e->y) << v->valueId << " at " << e->resolution;
      EXPECT_EQ(e->x, e->a) << v->valueId;
      EXPECT_EQ(e->y, e->b) << v->valueId;
    }
  }
  EXPECT_EQ(72u, entries);
}

TEST_F(SampleDescTest, SourcesListTheirPapers)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const DESC_ITEM_NODE *source = FindItem(s, "KPD_IDC_SETUP_CHOICE_SOURCETRAY");
  const DESC_ITEM_NODE *paper = FindItem(s, "KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  ASSERT_TRUE(source && paper);
  std::set<WORD> papers;
  for (const DESC_VALUE_NODE *v : Values(paper)) papers.insert(v->valueId);
  const std::map<std::string, DWORD> kCounts = {{"IDS_PAPERSOURCE_AUTO", 11},  {"IDS_PAPERSOURCE_TRAY1", 6},
                                                {"IDS_PAPERSOURCE_TRAY2", 10}, {"IDS_PAPERSOURCE_TRAY3", 10},
                                                {"IDS_PAPERSOURCE_TRAY4", 10}, {"IDS_PAPERSOURCE_LCT", 2},
                                                {"IDS_PAPERSOURCE_MANUAL", 18}};
  for (const auto &[name, count] : kCounts) {
    auto *slot = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(FindValue(source, name.c_str()));
    ASSERT_NE(nullptr, slot) << name;
    ASSERT_EQ(count, slot->count) << name;
    for (DWORD i = 0; i < slot->count; ++i) EXPECT_TRUE(papers.count(slot->papers[i])) << name << " paper " << i;
  }
  auto *lct = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(FindValue(source, "IDS_PAPERSOURCE_LCT"));
  EXPECT_EQ(ValueId("IDS_PAPERSIZE_A4"), lct->papers[0]);
  EXPECT_EQ(ValueId("IDS_PAPERSIZE_LETTER"), lct->papers[1]);
}

TEST_F(SampleDescTest, NumericStringAndBooleanRecords)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  auto numeric = [&](const char *item) {
    const DESC_ITEM_NODE *n = FindItem(s, item);
    EXPECT_NE(nullptr, n) << item;
    return n ? static_cast<const DESC_NUMERIC_VALUE *>(n->values) : nullptr;
  };
  const DESC_NUMERIC_VALUE *copies = numeric("KPD_IDC_PAPER_EDIT_COPIES");
  ASSERT_NE(nullptr, copies);
  EXPECT_EQ(
      (std::vector<LONG>{0, 3, 1, 1, 999, 1, 10, 1, 1}),
      (std::vector<LONG>{copies->lead, copies->number1, (LONG)copies->defaultValue, (LONG)copies->minimum,
                         (LONG)copies->maximum, copies->divisor, copies->number6, copies->number7, copies->number8}));
  const DESC_NUMERIC_VALUE *margin = numeric("KPD_IDC_MARGIN_EDIT_MARGIN");
  ASSERT_NE(nullptr, margin);
  EXPECT_EQ(153, margin->lead);
  EXPECT_EQ(1417u, margin->maximum);
  EXPECT_EQ(10, margin->divisor);
  EXPECT_EQ(47, margin->number6);

  const struct {
    const char *item;
    WORD maxLength, charSet, display, defaultValue;
  } kStrings[] = {
      {"KPD_kdmUserCode", 8, 4, 0, 0},
      {"KPD_kdmUserID", 8, 8, 0x200, 0},
      {"KPD_kdmOwnerName", 16, 1, 0, 0},
      {"KPD_kdmJOBPassword", 8, 4, 0x100, 0},
      {"KPD_kdmStoredPassword", 8, 2, 0x100, 0},
      {"KPD_kdmMergeFileName", 8, 0x10, 0x400, 0},
      {"KPD_IDC_SAVE_PRESET_EDIT_PRESETNAME", 32, 1, 0, 118},
  };
  for (const auto &t : kStrings) {
    const DESC_ITEM_NODE *n = FindItem(s, t.item);
    ASSERT_TRUE(n && n->values) << t.item;
    auto *r = static_cast<const DESC_STRING_VALUE *>(n->values);
    EXPECT_EQ(t.maxLength, r->maxLength) << t.item;
    EXPECT_EQ(t.charSet, r->charSet) << t.item;
    EXPECT_EQ(t.display, r->display) << t.item;
    EXPECT_EQ(t.defaultValue, r->defaultValue) << t.item;
  }

  const struct {
    const char *item;
    DWORD defaultValue;
    const char *trueText, *falseText;
  } kBooleans[] = {
      {"KPD_IDC_EDIT_CHOICE_DUPLEX", 0, "ON", "OFF"},         {"KPD_IDC_PAPER_CHOICE_SORT", 1, "ON", "OFF"},
      {"KPD_kdmSourceOptionTypeDuplex", 1, nullptr, nullptr}, {"KPD_kdmOutputOptionTypeHDD", 0, nullptr, nullptr},
      {"KPD_kdmFuncSelectStaple", 0, nullptr, nullptr},
  };
  for (const auto &b : kBooleans) {
    const DESC_ITEM_NODE *n = FindItem(s, b.item);
    ASSERT_TRUE(n && n->values) << b.item;
    auto *r = static_cast<const DESC_BOOLEAN_VALUE *>(n->values);
    EXPECT_EQ(b.defaultValue, r->defaultValue) << b.item;
    EXPECT_EQ(Text(b.trueText), Text(r->trueText)) << b.item;
    EXPECT_EQ(Text(b.falseText), Text(r->falseText)) << b.item;
  }
}

TEST_F(SampleDescTest, CommandTexts)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const struct {
    const char *item;
    WORD variant;
    const char *first, *second;
  } kPairs[] = {
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", 0, "@PJL SET PAPER = ", " \r\n"},
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", 1, "@PJL SET PAGEPAPER = ", " \r\n"},
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", 1, "@PJL SET PAGESOURCE = ", " \r\n"},
      {"KPD_kdmUserCode", 0, "@PJL SET USERCODE = \"", "\" \r\n"},
      {"KPD_kdmTTFont", 0, "@PJL SET TRUETYPE = ", nullptr},
      {"KPD_kdmTime", 0, "@PJL SET TIME = ", " \r\n"},
  };
  for (const auto &p : kPairs) {
    const DESC_ITEM_NODE *n = FindItem(s, p.item, p.variant);
    ASSERT_TRUE(n && n->command) << p.item << " " << p.variant;
    EXPECT_EQ(Text(p.first), Text(n->command->first)) << p.item;
    EXPECT_EQ(Text(p.second), Text(n->command->second)) << p.item;
  }
  EXPECT_EQ(nullptr, FindItem(s, "KPD_IDC_EDIT_CHOICE_STAMP")->command);

  const struct {
    const char *item, *value, *text;
  } kValues[] = {
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_ENV10", "COM10"},
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_MANUAL", "MANUALFEED"},
      {"KPD_IDC_OPTION_CHOICE_OPTION", "IDS_OPTION_LCT", nullptr},
      {"KPD_IDC_OPTION_CHOICE_OPTION", "IDS_OPTION_DUPLEX", "DUPLEX"},
      {"KPD_kdmPrinterMemory", "KDMPRINTERMEMORY_64", nullptr},
      {"KPD_kdmTTFont", "KDMTTFONT_1", "SUBSTITUTE \r\n"},
      {"KPD_ConditionOption", "KPD_COND_FINISHER", nullptr},
  };
  for (const auto &v : kValues) {
    const DESC_VALUE_NODE *node = FindValue(FindItem(s, v.item), v.value);
    ASSERT_NE(nullptr, node) << v.value;
    EXPECT_EQ(Text(v.text), Text(node->command)) << v.value;
  }

  size_t strings = 0;
  for (const DESC_COMMAND_STRING *c = s->strings; c; c = c->next) {
    ++strings;
    ASSERT_NE(nullptr, c->text);
    EXPECT_EQ(strlen(c->text) + 1, c->length) << c->number;
  }
  EXPECT_EQ(13u, strings);
  const struct {
    DWORD number;
    const char *text;
  } kStrings[] = {
      {1, "\x1b%-12345X@PJL\r\n"},
      {2, "@PJL COMMENT KVML Sample Colour MFP (600/1200 dpi)\r\n"},
      {7, "\x1b%-12345X@PJL EOJ \r\n\x1b%-12345X"},
      {20, "@PJL SET DRIVERVERSION = \"1.41\" \r\n"},
  };
  for (const auto &t : kStrings) {
    const DESC_COMMAND_STRING *c = FindString(s, t.number);
    ASSERT_NE(nullptr, c) << t.number;
    EXPECT_EQ(std::string(t.text), Text(c->text)) << t.number;
  }
}

TEST_F(SampleDescTest, FontListsAndSubstitutions)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const DESC_HEADER *h = s->header;
  ASSERT_EQ(8u, h->deviceFontCount);
  EXPECT_EQ(1u, h->deviceFonts[0]->fontId);
  EXPECT_EQ("Courier", Text(h->deviceFonts[0]->name));
  EXPECT_EQ(8u, h->deviceFonts[7]->fontId);
  EXPECT_EQ("KV Dingbats", Text(h->deviceFonts[7]->name));
  ASSERT_EQ(4u, h->cartridgeFontCount);
  EXPECT_EQ(101u, h->cartridgeFonts[0]->fontId);
  EXPECT_EQ("KV Barcode 39", Text(h->cartridgeFonts[0]->name));
  EXPECT_EQ(104u, h->cartridgeFonts[3]->fontId);
  EXPECT_EQ("KV OCR-B", Text(h->cartridgeFonts[3]->name));

  const DESC_ITEM_NODE *tt = FindItem(s, "KPD_kdmTTFont");
  auto *sub = reinterpret_cast<const DESC_FONT_VALUE_NODE *>(FindValue(tt, "KDMTTFONT_1"));
  ASSERT_NE(nullptr, sub);
  ASSERT_EQ(6u, sub->count);
  EXPECT_EQ("Arial", Text(sub->names[0]));
  EXPECT_EQ("KV Sans", Text(sub->substitutes[0]));
  EXPECT_EQ("Times New Roman", Text(sub->names[2]));
  EXPECT_EQ("KV Serif", Text(sub->substitutes[2]));
  EXPECT_EQ("Wingdings", Text(sub->names[5]));
  EXPECT_EQ("KV Dingbats", Text(sub->substitutes[5]));
  EXPECT_EQ(0u, reinterpret_cast<const DESC_FONT_VALUE_NODE *>(FindValue(tt, "KDMTTFONT_0"))->count);

  EXPECT_EQ(u"kvmlr_us.dll", W(h->uiResDllName));
  EXPECT_EQ(u"kvmlrule.dll", W(h->excDepDllName));
}

// Condition code as (kind, operand) pairs.
using Code = std::vector<std::pair<WORD, WORD>>;
Code Item(WORD id) { return {{RULE_UNIT_ITEM, id}}; }
Code Lit(WORD v) { return {{RULE_UNIT_LITERAL, v}}; }
Code Op(WORD op) { return {{RULE_UNIT_OPERATOR, op}}; }
Code operator+(Code a, const Code &b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(SampleDescTest, JudgesCompileStrictlyLeftToRight)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const WORD eq = RULE_OP_EQ, ne = RULE_OP_NE, andOp = RULE_OP_AND, orOp = RULE_OP_OR, notOp = RULE_OP_NOT;
  const WORD end = RULE_OP_END;
  // Positions read as their "_LAND" values on a landscape sheet, so "off" is two values.
  const Code staple = Item(121) + Lit(ValueId("IDS_STAPLE_OFF")) + Op(ne) + Item(121) +
                      Lit(ValueId("IDS_STAPLE_OFF_LAND")) + Op(ne) + Op(andOp);
  const Code punch = Item(120) + Lit(ValueId("IDS_PUNCH_OFF")) + Op(ne) + Item(120) +
                     Lit(ValueId("IDS_PUNCH_OFF_LAND")) + Op(ne) + Op(andOp);
  auto paperIs = [&](const char *v) { return Item(8) + Lit(ValueId(v)) + Op(eq); };
  const Code large =
      paperIs("IDS_PAPERSIZE_A3") + paperIs("IDS_PAPERSIZE_B4") + Op(orOp) + paperIs("IDS_PAPERSIZE_LEDGER") + Op(orOp);
  const struct {
    DWORD number;
    Code code;
  } kJudges[] = {
      {7, Item(58) + Lit(1) + Op(eq) + Op(end)},
      {8, Item(58) + Lit(1) + Op(eq) + Op(notOp) + Op(end)},
      {9, staple + Op(end)},
      {10, staple + Op(notOp) + Op(end)},
      {13, staple + punch + Op(orOp) + Op(end)},
      {14, paperIs("IDS_PAPERSIZE_ENV10") + paperIs("IDS_PAPERSIZE_ENVDL") + Op(orOp) + paperIs("IDS_PAPERSIZE_ENVC5") +
               Op(orOp) + paperIs("IDS_PAPERSIZE_ENVMONARCH") + Op(orOp) + Op(end)},
      {20, Item(10012) + Lit(64) + Op(RULE_OP_LE) + Op(end)},
      {21, Item(38) + Lit(1200) + Op(RULE_OP_GE) + Op(end)},
      {22, Item(38) + Lit(1200) + Op(RULE_OP_GE) + Item(738) + Lit(1) + Op(eq) + Op(andOp) + Op(end)},
      {25, Item(209) + Lit(54) + Op(eq) + Item(207) + Lit(4) + Op(RULE_OP_LT) + Op(andOp) + Op(end)},
      {26, Item(12) + Lit(1) + Op(RULE_OP_LT) + Item(12) + Lit(999) + Op(RULE_OP_GT) + Op(orOp) + Op(end)},
      {37, Item(10058) + Lit(0) + Op(eq) + Op(notOp) + Op(end)},
      {40, Item(722) + Lit(1) + Op(eq) + Op(end)},
      {44, large + paperIs("IDS_PAPERSIZE_A4") + Op(orOp) + paperIs("IDS_PAPERSIZE_LETTER") + Op(orOp) + Op(notOp) +
               Op(end)},
  };
  for (const auto &j : kJudges) {
    const DESC_JUDGE *judge = FindJudge(s, j.number);
    ASSERT_NE(nullptr, judge) << j.number;
    Code got;
    for (DWORD i = 0; i < judge->length / sizeof(RULE_CODE_UNIT); ++i)
      got.push_back({judge->code[i].kind, judge->code[i].operand});
    EXPECT_EQ(j.code, got) << "Judge " << j.number;
  }
  size_t judges = 0;
  for (const DESC_JUDGE *j = s->judges; j; j = j->next) {
    ++judges;
    EXPECT_EQ(1u, RuleCheckCode(j->code)) << "Judge " << j->number;
    EXPECT_EQ(RuleCodeLength(j->code), j->length) << "Judge " << j->number;
  }
  EXPECT_EQ(50u, judges);
}

TEST_F(SampleDescTest, RuleSectionsResolveNamesAndNumbers)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(10u, CountSections(s, DESC_SECTION_ITEM));
  EXPECT_EQ(20u, CountSections(s, DESC_SECTION_ACTION));
  EXPECT_EQ(14u, CountSections(s, DESC_SECTION_TRANSACT));
  EXPECT_EQ(8u, CountSections(s, DESC_SECTION_ALERT_ACTION));
  EXPECT_EQ(8u, CountSections(s, DESC_SECTION_ALERT));

  // Item 1: a name gives the number alone, "Judge41" the full reference code.
  std::vector<const void *> src = Entries(FindSection(s, DESC_SECTION_ITEM, 1));
  ASSERT_EQ(4u, src.size());
  auto *lct = static_cast<const DESC_VALUE_RULE *>(src[2]);
  EXPECT_EQ(ValueId("IDS_PAPERSOURCE_LCT"), lct->valueId);
  EXPECT_EQ(3u, lct->hideJudge);
  EXPECT_EQ(DESC_REF_JUDGE | 41u, lct->disableJudge);
  auto *cond = static_cast<const DESC_VALUE_RULE *>(Entries(FindSection(s, DESC_SECTION_ITEM, 9))[0]);
  EXPECT_EQ(7101, cond->valueId);
  EXPECT_EQ(37u, cond->hideJudge);
  EXPECT_EQ(0u, cond->disableJudge);
  // Staple positions: the portrait set hides on a landscape sheet and the other way round.
  std::vector<const void *> staples = Entries(FindSection(s, DESC_SECTION_ITEM, 4));
  ASSERT_EQ(12u, staples.size());
  auto *saddle = static_cast<const DESC_VALUE_RULE *>(staples[5]);
  EXPECT_EQ(ValueId("IDS_STAPLE_49"), saddle->valueId);
  EXPECT_EQ(40u, saddle->hideJudge);
  EXPECT_EQ(DESC_REF_JUDGE | 44u, saddle->disableJudge);
  auto *saddleLand = static_cast<const DESC_VALUE_RULE *>(staples[11]);
  EXPECT_EQ(ValueId("IDS_STAPLE_49_LAND"), saddleLand->valueId);
  EXPECT_EQ(48u, saddleLand->hideJudge);

  // Actions: items, a dialog, literal values, value names and "Default".
  const struct {
    DWORD section;
    size_t entry;
    WORD target, kind;
    DWORD value;
  } kActions[] = {
      {1, 0, 63, 0, 1},    {5, 0, 53, 0, 32},    {8, 0, 54, 0, 4501}, {9, 1, 13, 0, 4004},
      {11, 1, 39, 0, 600}, {12, 0, 209, 0, 53},  {13, 0, 1032, 1, 0}, {15, 0, 12, 0, 1},
      {16, 0, 89, 0, 100}, {17, 0, 13, 0, 4007}, {19, 0, 1003, 1, 0}, {20, 0, 121, 0, 6470},
  };
  for (const auto &a : kActions) {
    std::vector<const void *> e = Entries(FindSection(s, DESC_SECTION_ACTION, a.section));
    ASSERT_LT(a.entry, e.size()) << "Action " << a.section;
    auto *act = static_cast<const DESC_ACTION *>(e[a.entry]);
    EXPECT_EQ(a.target, act->target) << "Action " << a.section;
    EXPECT_EQ(a.kind, act->kind) << "Action " << a.section;
    EXPECT_EQ(a.value, act->value) << "Action " << a.section;
  }

  std::vector<const void *> staple = Entries(FindSection(s, DESC_SECTION_TRANSACT, 1));
  ASSERT_EQ(4u, staple.size());
  EXPECT_EQ(9u, static_cast<const DESC_TRANSACTION *>(staple[0])->judge);
  EXPECT_EQ(1u, static_cast<const DESC_TRANSACTION *>(staple[0])->actions);
  EXPECT_EQ(DESC_REF_ACTION | 5u, static_cast<const DESC_TRANSACTION *>(staple[2])->actions);
  EXPECT_EQ(10u, static_cast<const DESC_TRANSACTION *>(staple[3])->judge);
  std::vector<const void *> paper = Entries(FindSection(s, DESC_SECTION_TRANSACT, 3));
  ASSERT_EQ(3u, paper.size());
  EXPECT_EQ(DESC_REF_JUDGE | 49u, static_cast<const DESC_TRANSACTION *>(paper[1])->judge);
  EXPECT_EQ(DESC_REF_JUDGE | 50u, static_cast<const DESC_TRANSACTION *>(paper[2])->judge);
  EXPECT_EQ(20u, static_cast<const DESC_TRANSACTION *>(paper[2])->actions);
  EXPECT_EQ(0u, static_cast<const DESC_TRANSACTION *>(Entries(FindSection(s, DESC_SECTION_TRANSACT, 4))[0])->judge);

  std::vector<const void *> manual = Entries(FindSection(s, DESC_SECTION_ALERT_ACTION, 2));
  ASSERT_EQ(3u, manual.size());
  const struct {
    WORD button;
    DESC_RULE_LINK transactions;
    WORD dialog, control;
  } kAnswers[] = {{6, 4, 0, 0}, {7, 13, 1001, 2028}, {2, 0, 1003, 2085}};
  for (size_t i = 0; i < 3; ++i) {
    auto *e = static_cast<const DESC_ALERT_ACTION *>(manual[i]);
    EXPECT_EQ(kAnswers[i].button, e->button) << i;
    EXPECT_EQ(kAnswers[i].transactions, e->transactions) << i;
    EXPECT_EQ(kAnswers[i].dialog, e->dialog) << i;
    EXPECT_EQ(kAnswers[i].control, e->control) << i;
  }
  EXPECT_EQ(
      DESC_REF_TRANSACT | 11u,
      static_cast<const DESC_ALERT_ACTION *>(Entries(FindSection(s, DESC_SECTION_ALERT_ACTION, 6))[0])->transactions);

  const struct {
    DWORD section;
    size_t entry;
    DESC_RULE_LINK judge;
    WORD message, icon, buttons, timing;
    DESC_RULE_LINK answers;
  } kAlerts[] = {
      {1, 0, 32, 171, 0x20, 1, 1, 1},
      {1, 1, 33, 187, 0x30, 3, 3, 2},
      {3, 0, 22, 179, 0x40, 0, 2, DESC_REF_ALERT_ACTION | 3u},
      {4, 0, 25, 169, 0x10, 5, 2, 4},
      {5, 0, 26, 167, 0x10, 0, 0, 5},
      {7, 0, 30, 183, 0x20, 4, 1, 7},
      {8, 0, 35, 178, 0x30, 2, 3, 8},
  };
  for (const auto &a : kAlerts) {
    std::vector<const void *> e = Entries(FindSection(s, DESC_SECTION_ALERT, a.section));
    ASSERT_LT(a.entry, e.size()) << "Alert " << a.section;
    auto *al = static_cast<const DESC_ALERT *>(e[a.entry]);
    EXPECT_EQ(a.judge, al->judge) << "Alert " << a.section;
    EXPECT_EQ(a.message, al->message) << "Alert " << a.section;
    EXPECT_EQ(a.icon, al->icon) << "Alert " << a.section;
    EXPECT_EQ(a.buttons, al->buttons) << "Alert " << a.section;
    EXPECT_EQ(a.timing, al->timing) << "Alert " << a.section;
    EXPECT_EQ(a.answers, al->answers) << "Alert " << a.section;
  }
}

TEST_F(SampleDescTest, ExclusiveBlocks)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  const struct {
    const char *key;
    DESC_RULE_LINK hide, disable, values, alerts, t1, t2;
  } kBlocks[] = {
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", 0, 0, 1, 2, 0, 0},
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", 0, 0, 2, 8, 3, DESC_REF_TRANSACT | 13u},
      {"KPD_IDC_SETUP_CHOICE_MEDIATYPE", 0, 0, 3, 0, 0, 0},
      {"KPD_IDC_EDIT_CHOICE_DUPLEX", 1, 31, 0, 1, 0, 0},
      {"KPD_IDC_EDIT_CHOICE_DUPLEX_TYPE", 1, 8, 10, 0, 0, 0},
      {"KPD_kdmStapleType", 2, 34, 4, 0, 1, 0},
      {"KPD_kdmPunchType", 2, 34, 5, 0, 2, 0},
      {"KPD_kdmOutputTrayID", 0, 0, 6, 0, 0, 0},
      {"KPD_ConditionOption", 0, 0, 9, 0, 0, 0},
      {"KPD_kdmDstResolutionW", 0, 0, DESC_REF_ITEM | 7u, DESC_REF_ALERT | 3u, 0, 0},
      {"KPD_IDC_SETUP_CHOICE_PRINTTYPE", 0, 0, 8, 4, 0, 0},
      {"KPD_kdmJOBPassword", DESC_REF_JUDGE | 45u, 0, 0, 0, 0, 0},
      {"KPD_kdmStoredPassword", DESC_REF_JUDGE | 45u, 0, 0, 0, 0, 0},
      {"KPD_IDC_PAPER_EDIT_COPIES", 0, 0, 0, 5, 10, 0},
      {"KPD_IDC_PAPER_EDIT_SCALE", 0, 0, 0, 6, 11, 0},
      {"KPD_IDC_EDIT_CHOICE_STAMP", 0, 0, 0, 7, 8, 0},
      {"KPD_kdmWmKind", 0, DESC_REF_JUDGE | 47u, 0, 0, 8, 0},
      {"KPD_ConvertDevmode", 0, 0, 0, 0, 12, 0},
  };
  std::vector<const DESC_RULE_BLOCK *> blocks;
  for (const DESC_RULE_BLOCK *b = s->exclusive; b; b = b->next) blocks.push_back(b);
  ASSERT_EQ(std::size(kBlocks), blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto &want = kBlocks[i];
    const DESC_RULE_BLOCK *b = blocks[i];
    EXPECT_EQ(Key(want.key), b->key) << want.key;
    EXPECT_EQ(want.hide, b->hideJudge) << want.key;
    EXPECT_EQ(want.disable, b->disableJudge) << want.key;
    EXPECT_EQ(want.values, b->valueRules) << want.key;
    EXPECT_EQ(want.alerts, b->alerts) << want.key;
    EXPECT_EQ(want.t1, b->transactions1) << want.key;
    EXPECT_EQ(want.t2, b->transactions2) << want.key;
  }
}

// A statement list as text: G<item>[/variant], S<number>, F, and C<judge>{then}{else}.
std::string Show(const DESC_STATEMENT *list);
std::string ShowBlock(const DESC_COMMAND_BLOCK *b)
{
  return std::to_string(b->judge & 0xFFFF) + "{" + Show(b->thenList) + "}{" + Show(b->elsePart) + "}";
}
std::string Show(const DESC_STATEMENT *list)
{
  std::string out;
  for (const DESC_STATEMENT *st : Statements(list)) {
    if (!out.empty()) out += " ";
    switch (st->kind) {
      case DESC_STMT_GROUP: {
        const SYMBOL_ENTRY *sym = ItemFindSymbolByKey(st->key);
        out += std::string("G") + (sym ? sym->name : "?");
        auto *g = reinterpret_cast<const DESC_STATEMENT_GROUP *>(st);
        if (g->variant) out += "/" + std::to_string(g->variant);
        break;
      }
      case DESC_STMT_STRING:
        out += "S" + std::to_string(reinterpret_cast<const DESC_STATEMENT_STRING *>(st)->length);
        break;
      case DESC_STMT_FONT: out += "F"; break;
      case DESC_STMT_COMMAND:
        out += "C" + ShowBlock(reinterpret_cast<const DESC_STATEMENT_COMMAND *>(st)->block);
        break;
      default: out += "?";
    }
  }
  return out;
}

TEST_F(SampleDescTest, CommandGroups)
{
  DESC_PARSE_STATE *s = Parse();
  ASSERT_NE(nullptr, s);
  for (const DESC_COMMAND_BLOCK *b : s->header->groups) {
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0u, b->judge);
    EXPECT_EQ(nullptr, b->elsePart);
  }
  const DESC_COMMAND_BLOCK *const *g = s->header->groups;
  EXPECT_EQ(
      "S1 S2 S20 GKPD_kdmTime GKPD_kdmDocumentName GKPD_kdmOwnerName GKPD_kdmUserID GKPD_kdmUserCode "
      "GKPD_IDC_SETUP_CHOICE_PRINTTYPE "
      "C23{S9 GKPD_kdmJOBPassword GKPD_kdmStoredPassword}{C24{S10 GKPD_kdmMergeFileName}{}} "
      "GKPD_IDC_PAPER_EDIT_COPIES GKPD_IDC_PAPER_CHOICE_SORT GKPD_RADIOLIST_1 GKPD_IDC_PAPER_CHOICE_PAPERSIZE "
      "GKPD_IDC_SETUP_CHOICE_SOURCETRAY GKPD_IDC_SETUP_CHOICE_MEDIATYPE GKPD_IDC_INIT_CHOICE_PRINTAREA "
      "GKPD_kdmDstResolutionW GKPD_RADIOLIST_6 GKPD_kdmTonerSave "
      "C7{GKPD_IDC_EDIT_CHOICE_DUPLEX GKPD_IDC_EDIT_CHOICE_DUPLEX_TYPE GKPD_IDC_MARGIN_EDIT_MARGIN "
      "GKPD_IDC_MARGIN_EDIT_MARGIN_TB}{S3} "
      "C2{S4 S5}{C9{GKPD_kdmStapleType C11{GKPD_kdmPunchType}{S5}}{C11{S4 GKPD_kdmPunchType}{S4 S5}}} "
      "GKPD_kdmOutputTrayID GKPD_kdmTTFont C0{F}{} S6",
      Show(g[DESC_GROUP_JOB_START]->thenList));
  EXPECT_EQ("S7", Show(g[DESC_GROUP_JOB_END]->thenList));
  EXPECT_EQ("S8", Show(g[DESC_GROUP_DOC_RESET]->thenList));
  EXPECT_EQ("S11 GKPD_IDC_PAPER_CHOICE_PAPERSIZE/1 GKPD_IDC_SETUP_CHOICE_SOURCETRAY/1",
            Show(g[DESC_GROUP_PAGE_START]->thenList));
  EXPECT_EQ("S12", Show(g[DESC_GROUP_PAGE_END]->thenList));

  // Every item a GroupType names is in the description with that variant, and every
  // CommandString a StringType names exists.
  std::vector<const DESC_STATEMENT *> todo;
  for (int i = 0; i < DESC_GROUP_COUNT; ++i) todo.push_back(g[i]->thenList);
  while (!todo.empty()) {
    const DESC_STATEMENT *list = todo.back();
    todo.pop_back();
    for (const DESC_STATEMENT *st : Statements(list)) {
      if (st->kind == DESC_STMT_GROUP) {
        auto *gt = reinterpret_cast<const DESC_STATEMENT_GROUP *>(st);
        bool found = false;
        for (const DESC_ITEM_NODE *n = s->header->items; n; n = n->next)
          found |= n->key == st->key && n->variant == static_cast<WORD>(gt->variant);
        EXPECT_TRUE(found) << "GroupType key " << st->key << " variant " << gt->variant;
      } else if (st->kind == DESC_STMT_STRING) {
        EXPECT_NE(nullptr, FindString(s, reinterpret_cast<const DESC_STATEMENT_STRING *>(st)->length));
      } else if (st->kind == DESC_STMT_COMMAND) {
        const DESC_COMMAND_BLOCK *b = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(st)->block;
        todo.push_back(b->thenList);
        todo.push_back(b->elsePart);
      }
    }
  }
}

}  // namespace
